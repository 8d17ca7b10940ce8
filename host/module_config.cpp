#include "host/module_config.h"

#include <cctype>
#include <cstdlib>

#include "host/host_files.h"

namespace host {
namespace {

constexpr std::size_t kLargestConfig = 64 * 1024;

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::string moduleConfigPath(const std::string& modulePath) {
  const auto slash = modulePath.rfind('/');
  const auto dot = modulePath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? modulePath.substr(0, dot) : modulePath) + ".ini";
}

long configNumber(std::string_view text, std::string_view key, long fallback) {
  bool inConfig = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.front() == '[') {
      inConfig = line.back() == ']' && sameIgnoringCase(trimmed(line.substr(1, line.size() - 2)), "config");
      continue;
    }
    const auto equals = line.find('=');
    if (!inConfig || equals == std::string_view::npos || !sameIgnoringCase(trimmed(line.substr(0, equals)), key))
      continue;
    const std::string value(trimmed(line.substr(equals + 1)));
    return value.empty() ? fallback : std::strtol(value.c_str(), nullptr, 10);
  }
  return fallback;
}

bool readsCurrentMarkup(const std::string& modulePath) {
  std::string text, error;
  if (!readWholeFile(moduleConfigPath(modulePath), kLargestConfig, text, error)) return false;
  return configNumber(text, "CurrentMarkup", 0) != 0;
}

}  // namespace host
