// Text at the host's edge: the plug-in speaks UTF-16 and BSTRs, the terminal
// and the file system speak UTF-8. A native BSTR is a malloc'd block: a 4-byte
// byte length, then the text (the BSTR points here), then a two-byte NUL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/lexoradx.h"
#include "unicode/utf.h"

namespace host {

/// The strict conversions the platform layer uses for paths too: unpaired
/// surrogates become U+FFFD, and utf8ToUtf16 answers false for bytes that are
/// not well-formed UTF-8.
using unicode::utf16ToUtf8;
using unicode::utf8ToUtf16;

/// `text` as the body of a JSON string: quote, backslash, the C0 controls,
/// DEL and the C1 controls escaped, everything else (UTF-8 included) passed
/// through.
std::string jsonEscape(std::string_view text);

/// `text` as it may reach a terminal: tab and line feed stay, the other C0
/// controls and DEL show in caret notation ("^[", "^?"), the C1 controls as
/// "\x9b", and a byte that begins no well-formed UTF-8 sequence as U+FFFD.
/// A page can then neither move the cursor nor talk to the terminal.
std::string visibleText(std::string_view text);

/// The other spellings to try for a word that has no page: its first letter
/// in lower case, then all of it, each only when it differs from the ones
/// before ("CAT" gives "cAT", "cat"; "cat" gives none).
std::vector<std::string> lowerCaseForms(const std::string& word);

/// The page as a native BSTR, built as its bytes arrive, so that the host
/// holds the page once: in the string it hands to the plug-in. Its byte
/// length counts the page only, and the two-byte NUL after it supplies the
/// zero byte at which the plug-in stops reading.
class TPageBstr {
 public:
  TPageBstr() = default;
  TPageBstr(const TPageBstr&) = delete;
  TPageBstr& operator=(const TPageBstr&) = delete;
  ~TPageBstr();

  /// Appends `size` bytes; false, and nothing appended, when memory runs
  /// out. It never throws: the bytes may come through a C library's callback.
  bool append(const char* data, std::size_t size);
  /// The bytes so far; valid until the next append, clear or release.
  std::string_view bytes() const { return {block_ ? block_ + 4 : "", size_}; }
  /// Drops the bytes so far and keeps the room.
  void clear() { size_ = 0; }
  /// The string of the bytes so far, now the caller's (free it with freeBstr),
  /// or null when memory runs out; the builder is empty again.
  BSTR release();

 private:
  /// Makes room for `more` bytes, the prefix and the NUL; false when it cannot.
  bool reserve(std::size_t more);

  char* block_ = nullptr;  // the 4-byte length, the bytes, room for the NUL
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};
/// Frees a BSTR the plug-in handed over; null is accepted.
void freeBstr(BSTR text);

}  // namespace host
