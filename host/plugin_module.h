// The plug-in module as a dictionary application sees it: a file loaded at run
// time whose two exports are found by name. Nothing of the plug-in is linked.
#pragma once

#include <string>
#include <vector>

#include "plugin/lexoradx.h"

namespace host {

/// One row of the module's dictionary table, copied out as UTF-8.
struct TDictionary {
  int index = 0;
  std::string id;
  std::string code;  ///< the edition's language ("en"): the first label of the base URL's host
  std::string displayName;
  std::string baseUrl;
};

class TPluginModule {
 public:
  TPluginModule() = default;
  ~TPluginModule();
  TPluginModule(const TPluginModule&) = delete;
  TPluginModule& operator=(const TPluginModule&) = delete;

  /// Loads the module at `path` and finds dxEnumerate and dxRequest; false
  /// with `error` set (the loader's own message) when either step fails.
  bool load(const std::string& path, std::string& error);

  /// Every dictionary, asking dxEnumerate for index 0, 1, ... until it returns
  /// 0 (at most 64 rows, so a table without its end cannot loop forever).
  std::vector<TDictionary> dictionaries() const;

  DxRequestFn request() const { return request_; }

 private:
  void* handle_ = nullptr;
  DxEnumerateFn enumerate_ = nullptr;
  DxRequestFn request_ = nullptr;
};

/// The dictionary that `name` selects: an index from --list, or a language
/// code matched against the end of each id ("en" picks "!LexoraEN"), case
/// ignored. Null when none matches.
const TDictionary* findDictionary(const std::vector<TDictionary>& dictionaries,
                                  const std::string& name);

/// The dictionaries that `names` select in order, each once; "all" selects
/// every one, and no name at all the English one. Empty, with `unknown` set
/// to the name, when a name selects none.
std::vector<const TDictionary*> chooseDictionaries(const std::vector<TDictionary>& dictionaries,
                                                   const std::vector<std::string>& names,
                                                   std::string& unknown);

}  // namespace host
