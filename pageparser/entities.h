// Character references in section text: the five names lt, gt, amp, quot and
// nbsp (a plain space) and decimal references to any character (a pair of
// units above U+FFFF; U+FFFD for a surrogate or a value past U+10FFFF; nothing
// for 0 and CR). Everything else is copied through unchanged.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

/// Decodes [text, text + length), all of it readable, stopping early at a NUL.
/// A reference may look past `length` into the rest of the NUL-terminated
/// line. Absent when empty.
__kvstrW decodeEntities(const char16_t* text, int32_t length);
/// decodeEntities appending straight to `out`: each stretch between
/// references is copied in one piece.
void decodeEntitiesInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length);
/// `position` is just after an "&". Sets `character` to the referenced
/// character (0, which adds nothing, for a reference to 0 or to CR) and returns
/// the position after the reference, or returns null when no reference starts
/// there.
const char16_t* readEntity(const char16_t* position, char32_t& character);
/// readEntity, the character appended to `buffer`.
const char16_t* decodeEntity(__kvstrbufW& buffer, const char16_t* position);
/// `position` is just after "&#". The decimal value up to the ";" or the NUL
/// (any value past U+10FFFF as kBeyondUnicode), or -1 when the characters
/// there do not form a reference.
int32_t parseDecimalReference(const char16_t* position);

constexpr int32_t kBeyondUnicode = 0x110000;
/// Appends `character` to `out` as UTF-16: one unit, or a pair above U+FFFF.
/// 0 appends nothing.
void appendCharacter(__kvstrbufT<char16_t>& out, char32_t character);
