// The lookup request: the whole work of dxRequest. It builds the page URL,
// lets the host fetch the page, parses it, has the entry text assembled and,
// with the audio stage on, lets the host download each pronunciation file
// into the voice-file folder.
#pragma once

#include <cstdint>

#include "plugin/lexoradx.h"

/// How a lookup ended. dxRequest answers 1 for Found (result->entryText set)
/// and 0 for every other outcome.
enum class LookupOutcome {
  Found,
  /// A dictionary index outside the table, or a null `result`, `callbacks` or
  /// fetchPage: nothing was called.
  BadArguments,
  FetchFailed,
  /// The host's cancel value was set after the fetch or after the audio stage.
  Cancelled,
  NoEntry,
  /// The entry would be far beyond the page's size, or past what a string holds.
  EntryTooLarge,
  OutOfMemory,
};

/// One lookup, the whole work of dxRequest, which passes its five arguments
/// on unchanged. A null downloadFile skips the audio stage; a null
/// result->cancelFlag reads as not cancelled. At most 16 audio file names are
/// stored. Running out of memory throws std::bad_alloc after every resource
/// held here has been released; the export catches it.
LookupOutcome runLookup(int32_t dictIndex, const char16_t* word, LookupResult* result, const char16_t* basePath,
                  HostCallbacks* callbacks);
