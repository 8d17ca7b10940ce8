// The table of dictionaries that the module offers. Its index is the
// dictionary index of both exports; a row with a null name ends it.
#pragma once

#include <cstdint>

#include "plugin/lexoradx.h"

/// Number of dictionaries before the terminating row.
constexpr int32_t kDictionaryCount = 3;

/// The three rows and then a row whose fields are all zero.
extern const DictionaryInfo kDictionaries[kDictionaryCount + 1];

/// Row `index` when it names a dictionary (0 to kDictionaryCount - 1), else
/// null: the table carries no bound of its own, so every reader goes through here.
const DictionaryInfo* dictionaryAt(int32_t index);
