// The least a safe replacement of a file can do, for comparison: read it,
// write it to a temporary file, flush that, rename it over the file, and
// flush the directory. No parsing, no lock.
//   floor FILE
#include <fcntl.h>
#include <unistd.h>

#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string path = argv[1];
  const std::string directory = path.substr(0, path.rfind('/'));
  const std::string temporary = path + ".floor";
  std::string contents;
  char buffer[65536];
  const int in = open(path.c_str(), O_RDONLY);
  for (ssize_t got; (got = read(in, buffer, sizeof buffer)) > 0;) contents.append(buffer, got);
  close(in);
  contents += "AllowUnsupportedChar=1\n";
  const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (write(out, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size()))
    return 1;
  fsync(out);
  close(out);
  rename(temporary.c_str(), path.c_str());
  const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  fsync(dir);
  close(dir);
  return 0;
}
