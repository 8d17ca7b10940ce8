#include "host/plugin_module.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "host/host_text.h"

namespace host {
namespace {

constexpr int kMaxDictionaries = 64;

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool isIndex(const std::string& text) {
  return !text.empty() && text.size() < 4 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

std::string editionCode(const std::string& baseUrl) {
  const auto scheme = baseUrl.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  return lowerCase(baseUrl.substr(start, baseUrl.find_first_of("./", start) - start));
}

/// dlsym hands back an object pointer; going through memcpy turns it into a
/// function pointer without the conversion that ISO C++ leaves undefined.
template <typename TFunction>
TFunction findExport(void* handle, const char* name) {
  void* symbol = dlsym(handle, name);
  TFunction function = nullptr;
  static_assert(sizeof function == sizeof symbol, "function and object pointers differ in size");
  std::memcpy(&function, &symbol, sizeof function);
  return function;
}

}  // namespace

TPluginModule::~TPluginModule() {
  if (handle_) dlclose(handle_);
}

bool TPluginModule::load(const std::string& path, std::string& error) {
  // A bare name would send dlopen through the library search path; the user
  // named a file, so it is loaded as one.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* cause = dlerror();
    error = cause ? cause : "cannot load " + path;
    return false;
  }
  enumerate_ = findExport<DxEnumerateFn>(handle_, "dxEnumerate");
  request_ = findExport<DxRequestFn>(handle_, "dxRequest");
  if (!enumerate_ || !request_) {
    error = path + ": not a LexoraDX module (dxEnumerate or dxRequest is missing)";
    return false;
  }
  return true;
}

std::vector<TDictionary> TPluginModule::dictionaries() const {
  std::vector<TDictionary> rows;
  for (int index = 0; index < kMaxDictionaries; ++index) {
    DictionaryInfo info{};
    if (enumerate_(index, &info) == 0) break;
    TDictionary row;
    row.index = index;
    row.id = utf16ToUtf8(info.id);
    row.displayName = utf16ToUtf8(info.displayName);
    row.baseUrl = info.baseUrl ? info.baseUrl : "";
    row.code = editionCode(row.baseUrl);
    rows.push_back(std::move(row));
  }
  return rows;
}

const TDictionary* findDictionary(const std::vector<TDictionary>& dictionaries,
                                  const std::string& name) {
  if (isIndex(name)) {
    const int index = std::stoi(name);
    for (const auto& row : dictionaries)
      if (row.index == index) return &row;
    return nullptr;
  }
  const std::string code = lowerCase(name);
  if (code.size() < 2) return nullptr;  // one letter would match half the ids
  for (const auto& row : dictionaries)
    if (endsWith(lowerCase(row.id), code)) return &row;
  return nullptr;
}

std::vector<const TDictionary*> chooseDictionaries(const std::vector<TDictionary>& dictionaries,
                                                   const std::vector<std::string>& names,
                                                   std::string& unknown) {
  std::vector<const TDictionary*> chosen;
  const auto add = [&chosen](const TDictionary* row) {
    if (std::find(chosen.begin(), chosen.end(), row) == chosen.end()) chosen.push_back(row);
  };
  for (const std::string& name : names.empty() ? std::vector<std::string>{"en"} : names) {
    if (lowerCase(name) == "all") {
      for (const auto& row : dictionaries) add(&row);
    } else if (const TDictionary* row = findDictionary(dictionaries, name)) {
      add(row);
    } else {
      unknown = name;
      return {};
    }
  }
  return chosen;
}

}  // namespace host
