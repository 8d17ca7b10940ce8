// URL and local audio path composition at the boundary with the host.
//
// Narrow text is UTF-8 bytes, wide text UTF-16; every input is NUL-terminated
// and may be null, which reads as empty. Each function returns a new string and
// leaves its inputs unchanged; none reports an error.
#pragma once

#include "textlib/kvstr.h"

/// Replaces `target` with `text` percent-encoded: the 71 unreserved bytes
/// (letters, digits and ! ' ( ) * - . _ ~) stay, every other byte becomes "%"
/// and two capital hex digits (a space is %20, never "+").
void percentEncode(__kvstrA& target, const char* text);

/// The position in `url` where its path begins: the first "/" after the host
/// (the "/" run right after "://" belongs to the host part). Null when `url`
/// has no "://" or no such "/".
const char* urlPathStart(const char* url);

/// Resolves `link` against `pageUrl`: a link with a scheme, host and path comes
/// back unchanged; any other is appended directly (no "/" inserted) to the page
/// URL's scheme and host.
__kvstrA joinUrl(const char* pageUrl, const char* link);

/// The local path for the audio file `link`: directoryPart(basePath), then
/// `folderName` and the platform's separator, then `prefix` and the link's
/// path (its first "/" dropped, every other "/" turned into "_"). Creates the
/// folder (one level) as a side effect. Characters that Windows rejects in a
/// file name ("\" : * ? " < > | and U+0001 to U+001F) become "_" as well in
/// the part taken from the link, so the name always stays inside the folder.
__kvstrW makeAudioPath(const char16_t* basePath, const char* link, const char16_t* folderName,
                       const char16_t* prefix);

/// The position in `path` after its last "/" or "\", else after its last ":",
/// else `path` itself; null for a null path. Both separators count everywhere.
const char16_t* fileNamePart(const char16_t* path);

/// The text of `path` before fileNamePart(path), its separator included.
__kvstrW directoryPart(const char16_t* path);

/// `text` with every occurrence of `find` replaced, scanning left to right;
/// occurrences do not overlap and replaced text is not scanned again. An empty
/// `find` replaces nothing.
__kvstrW replaceAll(const char16_t* text, const char16_t* find, const char16_t* replacement);
