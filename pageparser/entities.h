// Character references in section text: the five names lt, gt, amp, quot and
// nbsp (a plain space) and decimal references (modulo 65536). Everything else
// is copied through unchanged.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

/// Decodes [text, text + length), stopping early at a NUL. A reference may look
/// past `length` into the rest of the NUL-terminated line. Absent when empty.
__kvstrW decodeEntities(const char16_t* text, int32_t length);
/// `position` is just after an "&". Appends the referenced character to
/// `buffer` and returns the position after the reference, or null when no
/// reference starts there.
const char16_t* decodeEntity(__kvstrbufW& buffer, const char16_t* position);
/// `position` is just after "&#". The decimal value (mod 65536) up to the ";"
/// or the NUL, or -1 when the characters there do not form a reference.
int32_t parseDecimalReference(const char16_t* position);
