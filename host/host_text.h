// Text at the host's edge: the plug-in speaks UTF-16 and BSTRs, the terminal
// and the file system speak UTF-8. A native BSTR is a malloc'd block: a 4-byte
// byte length, then the text (the BSTR points here), then a two-byte NUL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "plugin/lexoradx.h"

namespace host {

/// UTF-8 form of the NUL-terminated `text` (null reads as empty). An unpaired
/// surrogate becomes U+FFFD, as the plug-in's own path conversion does.
std::string utf16ToUtf8(const char16_t* text);
/// UTF-16 form of `bytes`; false (and `out` unspecified) when they are not
/// well-formed UTF-8 (overlong forms, surrogates and values past U+10FFFF
/// included).
bool utf8ToUtf16(std::string_view bytes, std::u16string& out);

/// `text` as the body of a JSON string: quote, backslash and the control
/// characters escaped, everything else (UTF-8 included) passed through.
std::string jsonEscape(std::string_view text);

/// A native BSTR holding `bytes`, its byte length counting them only, then the
/// two-byte NUL; null when memory runs out.
BSTR allocPageBstr(std::string_view bytes);
/// Frees a BSTR the plug-in handed over; null is accepted.
void freeBstr(BSTR text);

}  // namespace host
