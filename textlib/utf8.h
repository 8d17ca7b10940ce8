// The plug-in's own UTF-8 codec: no code page, no locale. Malformed input is
// converted by fixed rules rather than rejected: an unpaired high surrogate is
// dropped with the unit after it, continuation bytes are not validated, and a
// sequence cut by the end of the input contributes zero bits and ends it.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

/// Replaces `target` with the UTF-8 form of `text`. `count` bounds the input in
/// code units; a negative count means up to the NUL. A null text or a zero
/// count empties `target` without freeing its array.
void toUtf8(__kvstrA& target, const char16_t* text, int32_t count);
/// Replaces `target` with the UTF-16 form of `bytes`, exactly sized; `count`
/// as for toUtf8.
void fromUtf8(__kvstrW& target, const char* bytes, int32_t count);

/// Writes the UTF-8 form of at most `count` units of `text` (stopping at a NUL;
/// a negative count means up to the NUL) to `out`, then a NUL. `out` must hold
/// 3 * count + 1 bytes (a pair takes 4 for 2 units). Returns the bytes written
/// before the NUL.
int32_t encodeUtf8(const char16_t* text, int32_t count, char* out);
/// Writes the UTF-16 form of at most `count` bytes of `bytes` (stopping at a
/// NUL; a negative count means up to the NUL) to `out`, then a NUL. `out` must
/// hold 2 * count + 1 units (a stray lead byte cut by the end can yield a
/// pair). Returns the units written before the NUL.
int32_t decodeUtf8(const char* bytes, int32_t count, char16_t* out);
/// Decodes the character at `position` of a NUL-terminated text. Returns 0 at
/// the end of the text (or at a sequence cut short by it), the unit for a BMP
/// character, or the surrogate pair packed high << 16 | low. `*next` receives
/// the position after the bytes used (the NUL itself at the end).
uint32_t decodeUtf8Char(const char* position, const char** next);
