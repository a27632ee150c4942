#include "arguments.h"

#include <cstdio>

namespace tolvane {
namespace {

// Characters the ODBC installer reserves in data source names.
constexpr std::string_view kReservedInDataSourceName = "[]{}(),;?*=!@\\";

bool is_control(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7f;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string hex(char c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02x", static_cast<unsigned char>(c));
  return buffer;
}

std::string describe_control(char c) {
  if (c == '\n' || c == '\r') return "a line break (" + hex(c) + ")";
  return "a control character (" + hex(c) + ")";
}

std::optional<std::string> blank_problem(std::string_view text) {
  if (is_blank(text.front())) return "starts with a blank";
  if (is_blank(text.back())) return "ends with a blank";
  return std::nullopt;
}

std::optional<std::string> data_source_problem(std::string_view name) {
  if (name.empty()) return "is empty";
  for (char c : name) {
    if (is_control(c)) return "contains " + describe_control(c);
    if (kReservedInDataSourceName.find(c) != std::string_view::npos)
      return std::string("contains '") + c + "', which ODBC reserves in data source names";
  }
  return blank_problem(name);
}

std::optional<std::string> keyword_problem(std::string_view keyword) {
  if (keyword.empty()) return "is empty";
  for (char c : keyword) {
    if (is_control(c)) return "contains " + describe_control(c);
    if (c == '=') return "contains '=', which separates a keyword from its value";
  }
  switch (keyword.front()) {
    case '[':
      return "starts with '[', so it would be read back as a section header";
    case '#':
    case ';':
      return std::string("starts with '") + keyword.front() +
             "', so it would be read back as a comment";
  }
  return blank_problem(keyword);
}

std::optional<std::string> value_problem(std::string_view value, const StoreLimits& limits) {
  for (char c : value)
    if (is_control(c) && c != '\t') return "contains " + describe_control(c);
  if (limits.value_blanks_dropped && !value.empty()) {
    if (auto problem = blank_problem(value))
      return *problem + ", which the store drops when it reads the value back";
  }
  return std::nullopt;
}

std::string too_long(std::string_view what, std::size_t length, std::size_t limit) {
  return std::string(what) + " would be written as a line of " + std::to_string(length) +
         " bytes; the store's reader takes lines of at most " + std::to_string(limit) + " bytes";
}

}  // namespace

std::string quoted(std::string_view text) {
  std::string result = "\"";
  for (char c : text) result += is_control(c) ? hex(c) : std::string(1, c);
  return result + '"';
}

std::optional<std::string> argument_problem(std::string_view data_source, std::string_view keyword,
                                            std::string_view value, const StoreLimits& limits) {
  if (auto problem = data_source_problem(data_source))
    return "invalid data source name " + quoted(data_source) + ": it " + *problem;
  if (auto problem = keyword_problem(keyword))
    return "invalid keyword " + quoted(keyword) + ": it " + *problem;
  if (auto problem = value_problem(value, limits))
    return "invalid value " + quoted(value) + ": it " + *problem;
  if (limits.max_line_length != 0) {
    const std::size_t header = data_source.size() + 2;  // [name]
    if (header > limits.max_line_length)
      return too_long("the data source name", header, limits.max_line_length);
    const std::size_t entry = keyword.size() + 1 + value.size();  // keyword=value
    if (entry > limits.max_line_length)
      return too_long("the keyword and value", entry, limits.max_line_length);
  }
  return std::nullopt;
}

}  // namespace tolvane
