#include "tolvane.h"

#include <string>

#include "arguments.h"

namespace tolvane {
namespace {

constexpr const char* kUsageLines[] = {
    "Tolvane \"Data Source Name\" Keyword Value",
    "For  example: ",
    "Tolvane \"My DSN\" AllowUnsupportedChar 1",
};

// The name the installer knows the data-source store by.
constexpr const char* kDataSourceStore = "ODBC.INI";

}  // namespace

int run(int argc, const char* const* argv, Installer& installer, std::ostream& out,
        std::ostream& err) {
  if (argc - 1 < 3) {
    for (const char* line : kUsageLines) out << line << std::endl;
    return kUsage;
  }
  const std::string data_source = argv[1];
  const std::string keyword = argv[2];
  const std::string value = argv[3];

  if (auto problem = argument_problem(data_source, keyword, value, installer.limits())) {
    err << "Tolvane: " << *problem << std::endl;
    return kRefusedArgument;
  }
  const WriteResult result = installer.write(data_source, keyword, value, kDataSourceStore);
  if (!result.ok) {
    err << "Tolvane: cannot set " << keyword << " of data source " << quoted(data_source) << " in "
        << result.where << ": " << result.reason << std::endl;
    return kWriteFailed;
  }
  return kSuccess;
}

}  // namespace tolvane
