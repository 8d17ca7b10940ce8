// The page parser: turns one dictionary entry page into a store of language
// sections (pronunciation, first audio link, text of each list-bearing
// sub-section), then into the entry text and the list of audio links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "html/stream_parser.h"
#include "pageparser/language_store.h"
#include "pageparser/tag_kind.h"
#include "textlib/kvstr.h"

/// Marks a language section without an audio link in audioLinkAt's answer.
extern const char16_t kNoAudioMark[2];

/// The page markups the parser reads. Classic: edit links of class
/// "editsection" and headline spans of class "mw-headline" inside the
/// headings. Current: the classic markup and both later ones as well, whose
/// edit links have class "mw-editsection" with nested bracket spans, whose
/// headings may stand without a headline span inside a "mw-heading" wrapper
/// div, and whose audio comes from <source> elements of <audio> players.
/// Current mode also writes the entry as a reader sees the page: every
/// headline from h3 to h6 its own block, in page order, named by the whole
/// text of its heading.
enum class PageMarkup { Classic, Current };

/// Turns an audio link as the page writes it into the URL it names; the
/// caller knows the page's address.
using TLinkResolver = std::function<std::u16string(std::u16string_view link)>;

class TLexoraParser final : public THtmlStreamParser {
 public:
  // sectionKind values; SK_LISTS marks the list-bearing sub-sections, the only
  // ones whose list, line-break and table tags and text are recorded.
  static constexpr int32_t SK_LISTS = 0x1000;
  static constexpr int32_t SK_NONE = 0;
  static constexpr int32_t SK_LANGUAGE = 1;
  static constexpr int32_t SK_PRONUNCIATION = 2;
  static constexpr int32_t SK_SUBSECTION = 0x1003;
  static constexpr int32_t SK_SYNONYMS = 0x1004;
  static constexpr int32_t SK_ANTONYMS = 0x1005;

  // tagState: heading level (1 to 4, current markup 1 to 6) in the low bits,
  // one bit per open element kind (single bits, not depth counts).
  static constexpr uint32_t TS_LEVEL = 0xF;
  static constexpr uint32_t TS_SPAN = 0x10;
  static constexpr uint32_t TS_OL = 0x20;
  static constexpr uint32_t TS_LI = 0x40;
  static constexpr uint32_t TS_DL = 0x80;
  static constexpr uint32_t TS_DD = 0x100;
  static constexpr uint32_t TS_UL = 0x200;
  static constexpr uint32_t TS_TABLE = 0x1000;

  // spanKind: the class of the span last opened (a single value, not a stack).
  static constexpr int32_t SPAN_NONE = 0;
  static constexpr int32_t SPAN_IPA = 1;
  static constexpr int32_t SPAN_AUDIO = 2;
  static constexpr int32_t SPAN_HEADLINE = 3;

  /// Current mode keeps each audio link as `resolveAudioLink` gives it, so
  /// that the entry shows the URL that is downloaded; classic mode keeps the
  /// link as written.
  explicit TLexoraParser(PageMarkup markup = PageMarkup::Classic, TLinkResolver resolveAudioLink = nullptr);
  ~TLexoraParser();

  void onStartTag(const char16_t* name, const char16_t* end) override;
  void onEndTag(const char16_t* name, const char16_t* end) override;
  void onCommentBegin(const char16_t* p) override;
  void onCommentEnd(const char16_t* p) override;
  void onText(const char16_t* text, int32_t length) override;
  void onCommentText(const char16_t* p, int32_t length) override;

  /// Gives back what the section texts hold beyond their text, once the page
  /// is read: the entry is then written beside them.
  void trimSectionTexts();
  /// How many units the entry has (0 unless isEntryPage()): one block per h2
  /// headline, in page order. The count stops once past `limit`: a result
  /// above `limit` says only that the entry is longer than that.
  int64_t entryLength(int64_t limit = std::numeric_limits<int64_t>::max());
  /// Writes the entry to [out, out + room), no NUL added, so that it can be
  /// built in its final storage; stops when the room is full. Returns the
  /// units written: entryLength() when the room suffices. Spends the store:
  /// this is the last thing asked of the parser.
  int64_t moveResultInto(char16_t* out, int64_t room);
  /// The entry appended to `out`, for a caller that wants it in a buffer;
  /// spends the store as moveResultInto does. Throws std::bad_alloc for an
  /// entry the buffer cannot hold.
  void assembleResult(__kvstrbufW& out);
  /// The audio link of language slot `index` (page order): absent past the
  /// last slot, kNoAudioMark when the slot has none, else a copy of the link.
  __kvstrW audioLinkAt(int32_t index);
  /// Whether the page gives an entry. Classic: it had an edit-section span.
  /// Current: some language section gathered a sub-section text, a
  /// pronunciation or an audio link.
  bool isEntryPage();
  /// Whether a sub-section left blank stays out of the entry (current mode).
  bool leavesOutBlankSections() const { return currentMarkup_; }

  // The state, read-only outside the handlers. language and subsection are
  // written only through the setters below, which keep the cached section
  // text right.
  int32_t sectionKind() const { return sectionKind_; }
  uint32_t tagState() const { return tagState_; }
  int32_t spanKind() const { return spanKind_; }
  bool hasEditSection() const { return hasEditSection_; }
  std::u16string_view language() const { return language_; }
  std::u16string_view subsection() const { return subsection_; }
  /// The language slots in page order and what the page gave each language.
  const TLanguageStore& store() const { return store_; }
  bool showAudio() const { return showAudio_; }
  bool showSectionNames() const { return showSectionNames_; }

 private:
  /// Keeps `url`, up to a NUL, as the audio link of the current language
  /// unless it has one.
  void storeAudioLink(std::u16string_view url);
  /// Keeps the run, up to a NUL, as the pronunciation of the current
  /// language unless it has one; in the current markup, a transcription
  /// (text beginning with "/", "[" or a backslash) also replaces a kept
  /// text that is none, such as a rhyme or a reconstructed form.
  void storeIpa(const char16_t* text, int32_t length);
  /// Appends a run of section text to `target`, decoding character references,
  /// under the line-feed rules; nothing while a table is open.
  void appendSectionText(TSectionText& target, const char16_t* text, int32_t length);
  void appendLineBreak(TSectionText& target);

  int32_t sectionKind_ = SK_NONE;
  uint32_t tagState_ = 0;
  int32_t spanKind_ = SPAN_NONE;
  bool hasEditSection_ = false;
  /// The ordered list's last item marker: a line feed, the item's number
  /// and "."; counted on in place, so an item costs no formatting.
  static constexpr int32_t kListItemMarkerRoom = 16;
  char16_t listItemMarker_[kListItemMarkerRoom] = {u'\n', u'0', u'.'};
  int32_t listItemMarkerLength_ = 3;
  /// Current markup: the ordered and unordered lists open in the sub-section,
  /// innermost last, each with the item marker the list around it had when
  /// it opened, so that an item is marked by its own list and the outer list
  /// counts on after a nested one. Lists nested deeper are counted only.
  struct TOpenList {
    TagKind kind;
    int32_t markerLength;
    char16_t marker[kListItemMarkerRoom];
  };
  static constexpr int32_t kMaxOpenLists = 16;
  TOpenList openLists_[kMaxOpenLists];
  int32_t openListDepth_ = 0;
  TLanguageStore store_;
  /// The store holds every language name once: language_ is store_.name(languageId_).
  int32_t languageId_ = 0;
  std::u16string_view language_;
  /// Sub-section names are kept only by the sections they name; most name
  /// none (a pronunciation, or a language of thousands of sub-sections).
  std::u16string subsection_;
  const bool showAudio_ = true;
  const bool showSectionNames_ = true;

  // Current-markup state; in classic mode it keeps its initial value.
  const bool currentMarkup_;
  /// The deepest heading level: h5 and h6 are no headings to the classic rules.
  const int32_t deepestHeading_;
  const TLinkResolver resolveAudioLink_;
  /// The open heading's text so far, references decoded, edit links left out.
  __kvstrbufW headline_;
  /// The open heading is a section headline: it holds a "mw-headline" span or
  /// stands in a "mw-heading" wrapper (others belong to the site's menus).
  bool headlineMarked_ = false;
  /// Spans open in the edit link, its own included (0: not in an edit link).
  /// Nothing inside an edit link reaches a headline or a section text.
  int32_t editLinkDepth_ = 0;
  /// Inside a "mw-heading" wrapper div, whose headings are headlines; the
  /// first div end tag ends it (the wrapper holds no div).
  bool inHeadingWrapper_ = false;
  /// Inside an <audio> element, whose <source> elements may give the link.
  bool inAudio_ = false;
  /// The element open whose content the reader never sees (Other: none): a
  /// style sheet or script, whose text holds no tags, or a footnote marker
  /// or numbered external link. Its tags and text are skipped up to its end
  /// tag; hiddenDepth_ counts the elements of its kind nested in it.
  TagKind hiddenElement_ = TagKind::Other;
  int32_t hiddenDepth_ = 0;
  /// The section text whose last piece was a run, and the line of the page
  /// that run lay on: a run on a later line that continues the text is
  /// joined to it with a blank, as a browser shows the line end between them.
  const TSectionText* lastRunIn_ = nullptr;
  int64_t lastRunLine_ = 0;

  /// language := [text, text + length) up to a NUL; the next run looks its
  /// section text up again, and it names no slot until addLanguageSlot.
  void setLanguage(const char16_t* text, int32_t length);
  /// language := the empty name, with the same effect on the lookup.
  void clearLanguage();
  /// subsection := [text, text + length) up to a NUL; the next run looks its
  /// section text up again.
  void setSubsection(const char16_t* text, int32_t length);
  /// Appends a slot naming the current language.
  void addLanguageSlot() { store_.addSlot(languageId_); }

  /// The current section text: sub-section `subsection` of the record of
  /// `language`, both added empty when absent. The one way to the text a run
  /// or marker is appended to.
  TSectionText& currentSectionText() {
    // The answer is kept until language or subsection changes, so runs in a
    // row cost no lookups.
    return currentText_ ? *currentText_ : findCurrentSectionText();
  }
  /// Looks the current section text up, adding it when absent, and keeps it.
  TSectionText& findCurrentSectionText();
  /// The record of the current language, added empty when absent.
  TLanguageStore::Record& currentInfo() { return store_.record(languageId_); }

  /// The text currentSectionText found last, or null. Section texts never
  /// move, so the pointer stays valid while language and subsection stay as
  /// they were.
  TSectionText* currentText_ = nullptr;

  // Start-tag steps, one per tag kind that needs more than a bit set.
  void openHeading(int32_t level);
  void openSpan(const char16_t* name, const char16_t* end);
  /// Current markup: whether an edit-link span opened now stands in a
  /// heading or its wrapper, the only places where it is one.
  bool inHeadingOrWrapper() const { return (tagState_ & TS_LEVEL) != 0 || inHeadingWrapper_; }
  void captureButtonAudio(const char16_t* name, const char16_t* end);
  void openDiv(const char16_t* name, const char16_t* end);
  void captureSourceAudio(const char16_t* name, const char16_t* end);
  void openListElement(TagKind kind);
  /// Current markup: called with the first unit of a run on a later line
  /// of the page than the run `target` ends with; appends the blank that
  /// joins them, where one is due.
  void joinContinuedLine(TSectionText& target, char16_t next);
  /// Current markup: starts skipping the element this start tag opens when
  /// the reader never sees it.
  void hideUnseenElement(TagKind kind, const char16_t* name, const char16_t* end);
  /// A start tag inside the hidden element.
  void skipHiddenStartTag(const char16_t* name, const char16_t* end);
  /// The tagState bit a list or table element sets while open; 0 for others.
  static constexpr uint32_t listStateBit(TagKind kind);
  void restartListItemMarker();
  void advanceListItemMarker();
  void appendListItemMarker();
  /// Current markup: an ordered or unordered list opens or closes.
  void pushOpenList(TagKind kind);
  void popOpenList(TagKind kind);
  /// Current markup: what an end tag closes beyond the classic rules; true
  /// when the tag is done with (a span inside the edit link, any tag inside
  /// a hidden element).
  bool closeCurrentMarkupElement(TagKind kind);

  // Text-run rows for a span in an h2, h3 or h4 heading.
  void takeLanguageHeadline(const char16_t* text, int32_t length);
  void takeSubsectionHeadline(const char16_t* text, int32_t length);
  void takeMinorHeadline(const char16_t* text, int32_t length);
  // Current markup: the heading's whole text, taken when the heading ends.
  void takeHeadline();
  void openSubsection(std::u16string_view name);
  /// Orders the store's sections as the entry writes them.
  void arrangeSections();
};

constexpr uint32_t TLexoraParser::listStateBit(TagKind kind) {
  switch (kind) {
    case TagKind::Ol: return TS_OL;
    case TagKind::Ul: return TS_UL;
    case TagKind::Li: return TS_LI;
    case TagKind::Dl: return TS_DL;
    case TagKind::Dd: return TS_DD;
    case TagKind::Table: return TS_TABLE;
    default: return 0;  // a line break opens nothing
  }
}
