// Character references in section text, by one of two sets of rules. The
// classic ones know the five names lt, gt, amp, quot and nbsp (a plain space)
// and decimal references to any character (a pair of units above U+FFFF;
// U+FFFD for a surrogate or a value past U+10FFFF; nothing for 0 and CR). The
// browser's know every named reference of HTML5 and decimal and hexadecimal
// references, read as a browser reads them in text. Anything that is not a
// reference is copied through unchanged.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

/// Decodes [text, text + length), all of it readable, stopping early at a NUL.
/// A reference may look past `length` into the rest of the NUL-terminated
/// line. Absent when empty. The lookup decodes with decodeEntitiesInto; this
/// one has no caller of its own.
__kvstrW decodeEntities(const char16_t* text, int32_t length);
/// decodeEntities appending straight to `out`: each stretch between
/// references is copied in one piece.
void decodeEntitiesInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length);
/// decodeEntitiesInto by the browser's rules: the longest name of the HTML5
/// list (those a page may write without ";" matched without it too), and
/// "&#" with decimal or "&#x" with hexadecimal digits, the ";" optional. A
/// numeric reference gives U+FFFD for 0, a surrogate or a value past
/// U+10FFFF, the Windows-1252 character for 0x80 to 0x9F, and nothing for CR.
void decodeHtmlReferencesInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length);
