// The lookup request (in progress).
#pragma once

#include <cstdint>

#include "plugin/lexoradx.h"

/// One lookup, the whole work of dxRequest, which passes its five arguments
/// on unchanged and returns this result (1 with result->entryText set, or 0).
int32_t runLookup(int32_t dictIndex, const char16_t* word, LookupResult* result, const char16_t* basePath,
                  HostCallbacks* callbacks);
