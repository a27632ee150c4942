// Prints what unixODBC's own reader (SQLGetPrivateProfileString) sees in a
// data-source store, one "section<TAB>keyword<TAB>value" line per entry.
//
//   odbc_ini_dump /absolute/path/odbc.ini   that one file
//   odbc_ini_dump ODBC.INI                  the store as drivers see it
//
// A missing file prints nothing: unixODBC's reader would create it.
#include <malloc.h>
#include <odbcinst.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kBufferSize = 1 << 20;

std::vector<std::string> split_list(const std::vector<char>& buffer) {
  std::vector<std::string> names;
  for (const char* p = buffer.data(); *p != '\0'; p += std::strlen(p) + 1) names.emplace_back(p);
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: odbc_ini_dump FILE|ODBC.INI\n");
    return 2;
  }
  const char* file = argv[1];
  struct stat status;
  if (file[0] == '/' && stat(file, &status) != 0) return 0;

  // The reader parses the whole file on every call; keep the memory it
  // frees instead of handing it back to the system each time.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  std::vector<char> buffer(kBufferSize, '\0');
  std::vector<char> keywords(kBufferSize, '\0');
  std::vector<char> value(kBufferSize, '\0');
  if (SQLGetPrivateProfileString(nullptr, nullptr, "", buffer.data(), kBufferSize, file) < 0) {
    std::printf("!unreadable\n");  // the reader ignores the file
    return 0;
  }
  for (const std::string& section : split_list(buffer)) {
    keywords[0] = keywords[1] = '\0';
    SQLGetPrivateProfileString(section.c_str(), nullptr, "", keywords.data(), kBufferSize, file);
    for (const std::string& keyword : split_list(keywords)) {
      value[0] = '\0';
      SQLGetPrivateProfileString(section.c_str(), keyword.c_str(), "", value.data(), kBufferSize,
                                 file);
      std::printf("%s\t%s\t%s\n", section.c_str(), keyword.c_str(), value.data());
    }
  }
  return 0;
}
