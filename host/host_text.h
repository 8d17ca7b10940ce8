// Text at the host's edge: the plug-in speaks UTF-16 and BSTRs, the terminal
// and the file system speak UTF-8. A native BSTR is a malloc'd block: a 4-byte
// byte length, then the text (the BSTR points here), then a two-byte NUL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "plugin/lexoradx.h"
#include "unicode/utf.h"

namespace host {

/// The strict conversions the platform layer uses for paths too: unpaired
/// surrogates become U+FFFD, and utf8ToUtf16 answers false for bytes that are
/// not well-formed UTF-8.
using unicode::utf16ToUtf8;
using unicode::utf8ToUtf16;

/// `text` as the body of a JSON string: quote, backslash and the control
/// characters escaped, everything else (UTF-8 included) passed through.
std::string jsonEscape(std::string_view text);

/// A native BSTR holding `bytes`, its byte length counting them only, then the
/// two-byte NUL; null when memory runs out.
BSTR allocPageBstr(std::string_view bytes);
/// Frees a BSTR the plug-in handed over; null is accepted.
void freeBstr(BSTR text);

}  // namespace host
