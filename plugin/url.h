// URL and local audio path composition at the boundary with the host.
//
// Narrow text is UTF-8 bytes, wide text UTF-16; every input is NUL-terminated
// and may be null, which reads as empty. Each function returns a new string and
// leaves its inputs unchanged; none reports an error.
#pragma once

#include <string>
#include <string_view>

#include "textlib/kvstr.h"

/// Replaces `target` with `text` percent-encoded: the 71 unreserved bytes
/// (letters, digits and ! ' ( ) * - . _ ~) stay, every other byte becomes "%"
/// and two capital hex digits (a space is %20, never "+").
void percentEncode(__kvstrA& target, const char* text);

/// The position in `url` where its path begins: the first "/" after the host
/// (the "/" run right after "://" belongs to the host part). Null when `url`
/// has no "://" or no such "/".
const char* urlPathStart(const char* url);

/// Whether `url` is an http or https URL (scheme in any case) naming a host:
/// the only URLs offered to the host for download, since a host may hand any
/// other scheme (file:, a drive letter) to handlers that reach local files.
bool isWebUrl(const char* url);

/// Resolves `link`, found on the page at `pageUrl`, to the URL it names, as a
/// reference is resolved against its base URL: a link with a scheme stands as
/// written; "//host/path" takes the page's scheme; "/path" the page's scheme
/// and host; any other path is read from the folder of the page's path, its
/// "." and ".." segments resolved. A path the link gives whole is kept as
/// written (its server resolves it). The link's query and fragment stay.
__kvstrA resolveUrl(const char* pageUrl, const char* link);
/// resolveUrl for a link in UTF-16, as the page parser keeps it.
std::u16string resolveLinkText(const char* pageUrl, std::u16string_view link);

/// The voice-file folder of one lookup: directoryPart(basePath), then
/// `folderName`. It is made (one level) once, when the first audio path is
/// asked for, so a lookup without audio leaves no folder behind and one with
/// many files asks the file system once.
class TVoiceFolder {
 public:
  TVoiceFolder(const char16_t* basePath, const char16_t* folderName);

  /// The local path for the audio file at `url` (a resolved URL, so that one
  /// recording has one name however the page links it): the folder and the
  /// platform's separator, then `prefix` and the URL's path (the whole text
  /// when urlPathStart finds none; its first "/" dropped, every other "/"
  /// turned into "_"). Characters that Windows rejects in a file name ("\" :
  /// * ? " < > | and U+0001 to U+001F) become "_" as well in the part taken
  /// from the URL, so the name always stays inside the folder. The name is
  /// then fitted to what Windows keeps: its trailing dots and blanks cut and,
  /// past 255 units, cut to 255 before its ".ogg". Empty, with no folder
  /// made, when no name is left.
  __kvstrW audioPath(const char* url, const char16_t* prefix);

 private:
  __kvstrW folder_;  // directoryPart(basePath) and the folder name; empty: none
  bool made_ = false;
};

/// The position in `path` after its last "/" or "\", else after its last ":",
/// else `path` itself; null for a null path. Both separators count everywhere.
const char16_t* fileNamePart(const char16_t* path);

/// The text of `path` before fileNamePart(path), its separator included.
__kvstrW directoryPart(const char16_t* path);

/// `text` with every occurrence of `find` replaced, scanning left to right;
/// occurrences do not overlap and replaced text is not scanned again. An empty
/// `find` replaces nothing.
__kvstrW replaceAll(const char16_t* text, const char16_t* find, const char16_t* replacement);
