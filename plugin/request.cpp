// The lookup request. Every object it makes lives on this call's stack, so
// each path out, an exception included, releases what it holds; the only
// lasting effects are the BSTRs written into the host's record, the voice-file
// folder and whatever the host's downloads stored.
#include "plugin/request.h"

#include <limits>
#include <string_view>

#include "pageparser/lexora_parser.h"
#include "platform/platform.h"
#include "plugin/config.h"
#include "plugin/dictionaries.h"
#include "plugin/url.h"
#include "textlib/kvstr.h"
#include "textlib/text_util.h"
#include "textlib/utf8.h"

namespace {

constexpr const char16_t* kVoiceFolder = u"VoiceFiles";
constexpr const char16_t* kFilePrefix = u"c1_";
/// The second argument of downloadFile, which this plug-in never fills.
constexpr const char16_t* kNoExtra = u"";
/// Failed downloads take no slot, so the calls are bounded apart from the
/// slots: a page that repeats one language heading would otherwise ask the
/// host for the same file once per repeat.
constexpr int32_t kMaxDownloadCalls = 2 * DX_MAX_AUDIO_FILES;

using FetchPageFn = decltype(HostCallbacks::fetchPage);
using DownloadFileFn = decltype(HostCallbacks::downloadFile);

// Owns the BSTR that fetchPage hands over and frees it on every path.
class TPageString {
 public:
  TPageString() = default;
  TPageString(const TPageString&) = delete;
  TPageString& operator=(const TPageString&) = delete;
  ~TPageString() { platform::SysFreeString(text_); }

  /// The variable the host's callback fills; null until then, so a host that
  /// reports success without setting it gives an empty page.
  BSTR* variable() { return &text_; }
  /// Lets go of the variable unread: after a failed fetch it holds nothing of
  /// the plug-in's.
  void abandon() { text_ = nullptr; }
  void clear() {
    platform::SysFreeString(text_);
    text_ = nullptr;
  }

  /// The page bytes before the first zero byte, never reading past the
  /// string's own byte length: a host may forget the terminating zero.
  int32_t byteCount() const {
    if (!text_) return 0;
    const uint32_t limit = platform::SysStringByteLen(text_);
    const size_t count = static_cast<size_t>(findByte(bytes(), bytes() + limit, 0) - bytes());
    constexpr size_t kMaxCount = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(count < kMaxCount ? count : kMaxCount);
  }
  const char* bytes() const { return reinterpret_cast<const char*>(text_); }

 private:
  BSTR text_ = nullptr;
};

// Every language heading writes its language's whole block again, so a page
// that repeats one heading many times over a long section asks for an entry
// that grows with the square of the page. Real entries stay below the page's
// own size; one this far beyond it is refused like a page without an entry.
int64_t maxEntryUnits(int64_t pageUnits) {
  constexpr int64_t kSlack = 1 << 20;
  return 4 * pageUnits + kSlack;
}

bool isCancelled(const LookupResult& result) { return result.cancelFlag && *result.cancelFlag != 0; }

__kvstrA pageUrlFor(const DictionaryInfo& dictionary, const char16_t* word) {
  __kvstrA wordBytes;
  toUtf8(wordBytes, word, -1);
  __kvstrA encoded;
  percentEncode(encoded, wordBytes.str());
  __kvstrA url(dictionary.baseUrl);
  url.append(encoded.str(), encoded.length());
  return url;
}

// Asks the host for the page; false when the host reports failure (the
// variable is then not read).
bool fetchPage(FetchPageFn fetch, const char* pageUrl, TPageString& page) {
  if (fetch(pageUrl, page.variable()) != 0) return true;
  page.abandon();
  return false;
}

// Whether `name` differs only in case from a name reported in the first
// `stored` slots: Windows would store its recording over that file. The same
// name again is the same file and is reported again.
bool isOtherCaseOfStoredName(const LookupResult& result, int32_t stored, const char16_t* name) {
  for (int32_t slot = 0; slot < stored; ++slot) {
    const auto* storedName = reinterpret_cast<const char16_t*>(result.audioFiles[slot]);
    if (platform::namesOneFile(storedName, name) && std::u16string_view(storedName) != name) return true;
  }
  return false;
}

// Asks the host to download the audio link of each language section, in page
// order, and reports each file that arrived in the next free slot. A link
// that resolves to no http or https URL, that leaves no file name, or whose
// name another file of this lookup holds in another case is passed over as a
// section without audio is. The stage ends at the first empty answer, once
// every slot is filled (the record has no room for more, and the host's
// cancel pointer follows the last slot) or after kMaxDownloadCalls calls,
// whichever comes first.
void runAudioStage(TLexoraParser& parser, const char* pageUrl, const char16_t* basePath,
                   DownloadFileFn downloadFile, LookupResult& result) {
  TVoiceFolder voiceFolder(basePath, kVoiceFolder);
  int32_t stored = 0;
  int32_t calls = 0;
  for (int32_t i = 0; stored < DX_MAX_AUDIO_FILES && calls < kMaxDownloadCalls; ++i) {
    const __kvstrW link = parser.audioLinkAt(i);
    if (link.empty()) return;
    if (*link.str() == kNoAudioMark[0]) continue;  // this section has no audio link

    __kvstrA linkBytes;
    toUtf8(linkBytes, link.str(), -1);
    const __kvstrA audioUrl = resolveUrl(pageUrl, linkBytes.str());
    if (!isWebUrl(audioUrl.str())) continue;
    const __kvstrW localPath = voiceFolder.audioPath(audioUrl.str(), kFilePrefix);
    if (localPath.empty()) continue;
    const char16_t* const fileName = fileNamePart(localPath.str());
    if (isOtherCaseOfStoredName(result, stored, fileName)) continue;
    ++calls;
    if (downloadFile(audioUrl.str(), kNoExtra, localPath.str()) != 0) continue;  // not arrived

    // A name that cannot be allocated is not reported; the slot keeps what
    // the host put there.
    if (BSTR name = platform::SysAllocString(fileName)) result.audioFiles[stored++] = name;
  }
}

}  // namespace

LookupOutcome runLookup(int32_t dictIndex, const char16_t* word, LookupResult* result, const char16_t* basePath,
                  HostCallbacks* callbacks) {
  const DictionaryInfo* dictionary = dictionaryAt(dictIndex);
  if (!dictionary || !result || !callbacks || !callbacks->fetchPage) return LookupOutcome::BadArguments;

  const __kvstrA pageUrl = pageUrlFor(*dictionary, word);
  TPageString page;  // decoded by the parser a block at a time, so it outlives the parse
  if (!fetchPage(callbacks->fetchPage, pageUrl.str(), page)) return LookupOutcome::FetchFailed;
  if (isCancelled(*result)) return LookupOutcome::Cancelled;

  // The page's bytes are the one copy of the page: the parser decodes and
  // tokenizes a block of lines at a time, and the bytes go once the last
  // block is decoded. The store holds copies of all it keeps.
  TLexoraParser parser(currentMarkupEnabled() ? PageMarkup::Current : PageMarkup::Classic,
                       [&pageUrl](std::u16string_view link) { return resolveLinkText(pageUrl.str(), link); });
  parser.setUtf8Input(page.bytes(), page.byteCount(), [&page] { page.clear(); });
  parser.parse();
  parser.trimSectionTexts();
  const int64_t pageUnits = parser.decodedUnits();
  const int64_t maxUnits = maxEntryUnits(pageUnits);
  const int64_t entryUnits = parser.entryLength(maxUnits);
  if (entryUnits > maxUnits) return LookupOutcome::EntryTooLarge;
  if (entryUnits == 0) return LookupOutcome::NoEntry;
  // A string cannot hold more; such an entry is refused before any download.
  if (entryUnits >= std::numeric_limits<int32_t>::max()) return LookupOutcome::EntryTooLarge;

  // Once started, the stage runs through every link; the cancel value is
  // looked at only after it.
  if (audioEnabled() && callbacks->downloadFile) {
    runAudioStage(parser, pageUrl.str(), basePath, callbacks->downloadFile, *result);
  }
  if (isCancelled(*result)) return LookupOutcome::Cancelled;

  BSTR text = platform::SysAllocStringLen(nullptr, static_cast<uint32_t>(entryUnits));
  if (!text) return LookupOutcome::OutOfMemory;  // no entry rather than an empty one
  char16_t* const room = reinterpret_cast<char16_t*>(text);
  parser.moveResultInto(room, entryUnits);  // the count is exact: it fills the room
  result->entryText = text;
  return LookupOutcome::Found;
}
