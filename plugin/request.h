// The lookup request: the whole work of dxRequest. It builds the page URL,
// lets the host fetch the page, parses it, has the entry text assembled and,
// with the audio stage on, lets the host download each pronunciation file
// into the voice-file folder.
#pragma once

#include <cstdint>

#include "plugin/lexoradx.h"

/// One lookup, the whole work of dxRequest, which passes its five arguments
/// on unchanged and returns this result (1 with result->entryText set, or 0).
/// A dictionary index outside the table, a null `result`, `callbacks` or
/// fetchPage gives 0 without a call; a null downloadFile skips the audio stage;
/// a null result->cancelFlag reads as not cancelled. At most 16 audio file
/// names are stored. Running out of memory throws std::bad_alloc after every
/// resource held here has been released; the export catches it.
int32_t runLookup(int32_t dictIndex, const char16_t* word, LookupResult* result, const char16_t* basePath,
                  HostCallbacks* callbacks);
