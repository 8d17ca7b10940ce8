// The plug-in's own UTF-8 codec: no code page, no locale. Malformed input is
// replaced rather than rejected, so both directions always give well-formed
// text: a lone surrogate is encoded as U+FFFD, and each maximal invalid part
// of the bytes (a byte that leads nothing, or the start of a sequence that a
// byte of the wrong range, a NUL or the end cuts) decodes to one U+FFFD, the
// byte after it read afresh. Overlong forms, encoded surrogates and values
// above U+10FFFF are invalid.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

/// Replaces `target` with the UTF-8 form of `text`. `count` bounds the input in
/// code units; a negative count means up to the NUL. A null text or a zero
/// count empties `target` without freeing its array.
void toUtf8(__kvstrA& target, const char16_t* text, int32_t count);
/// Replaces `target` with the UTF-16 form of `bytes`, exactly sized; `count`
/// as for toUtf8. Returns the units of the new text.
int32_t fromUtf8(__kvstrW& target, const char* bytes, int32_t count);

/// Writes the UTF-8 form of at most `count` units of `text` (stopping at a NUL;
/// a negative count means up to the NUL) to `out`, then a NUL. `out` must hold
/// 3 * count + 1 bytes (a pair takes 4 for 2 units). Returns the bytes written
/// before the NUL.
int32_t encodeUtf8(const char16_t* text, int32_t count, char* out);
/// Writes the UTF-16 form of at most `count` bytes of `bytes` (stopping at a
/// NUL; a negative count means up to the NUL) to `out`, then a NUL. `out` must
/// hold count + 1 units (no byte yields more than one unit). Returns the units
/// written before the NUL.
int32_t decodeUtf8(const char* bytes, int32_t count, char16_t* out);
/// Decodes the character at `position` of a NUL-terminated text. Returns 0 at
/// the end of the text, the unit for a BMP character (U+FFFD for an invalid
/// part, a sequence cut by the NUL included), or the surrogate pair packed
/// high << 16 | low. `*next` receives the position after the bytes used (the
/// NUL itself at the end).
uint32_t decodeUtf8Char(const char* position, const char** next);
