// Start tags: the heading structure and span classes, audio links from buttons
// and from anchors in audio-link spans, and, inside list-bearing sub-sections
// only, lists, line breaks, tables and the page footer. Each tag's kind is
// decided once (tagKind); attributes are looked at only on the kinds that use
// them, their values whole and case-sensitively.
#include "pageparser/lexora_parser.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "pageparser/tag_kind.h"

namespace {
constexpr char16_t kUnorderedItemMarker[] = u"\n - ";
constexpr std::u16string_view kHeadingWrapperClass = u"mw-heading";
// The classes that matter, as views of known length, so that a class of
// another length is told apart by its length alone.
constexpr std::u16string_view kHeadlineClass = u"mw-headline";
constexpr std::u16string_view kEditSectionClass = u"editsection";
constexpr std::u16string_view kCurrentEditSectionClass = u"mw-editsection";
constexpr std::u16string_view kIpaClass = u"IPA";
constexpr std::u16string_view kCurrentIpaClass = u"API";
constexpr std::u16string_view kAudioLinkClass = u"unicode audiolink";
constexpr std::u16string_view kFooterClass = u"printfooter";
constexpr std::u16string_view kFootnoteMarkerClass = u"reference";
constexpr std::u16string_view kExternalLinkClass = u"external";
constexpr std::u16string_view kNumberedLinkClass = u"autonumber";

// Whether the start tag [name, end) ends in the end tag of the style sheet or
// script `kind` is: the tokenizer knows no raw text, so a "<" in a script
// ("if (a<b)") opens a tag that only the ">" of the script's end tag closes.
bool runsOnToEndTag(const char16_t* name, const char16_t* end, TagKind kind) {
  while (end > name && end[-1] <= u' ') --end;
  if (kind == TagKind::Style) return end - name >= 7 && tagTextStartsWith(end - 7, end, u"</style");
  return end - name >= 8 && tagTextStartsWith(end - 8, end, u"</script");
}

constexpr bool isClassSeparator(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

bool classListHas(std::u16string_view classList, std::u16string_view wanted) {
  // Most lists hold no occurrence at all, so the word is sought first and
  // its bounds checked after.
  for (size_t at = classList.find(wanted); at != std::u16string_view::npos; at = classList.find(wanted, at + 1)) {
    const size_t after = at + wanted.size();
    if ((at == 0 || isClassSeparator(classList[at - 1])) &&
        (after == classList.size() || isClassSeparator(classList[after]))) {
      return true;
    }
  }
  return false;
}

// Whether the link [name, end), whose text begins with "a href", names a
// path of the site or a place in the page: the first units of its quoted
// value tell, with no attribute parsed. Numbered links lead off the site.
bool hrefIsOnSite(const char16_t* name, const char16_t* end) {
  if (end - name < 10 || name[6] != u'=' || (name[7] != u'"' && name[7] != u'\'')) return false;
  return name[8] == u'#' || (name[8] == u'/' && name[9] != u'/');
}
}  // namespace

void TLexoraParser::onStartTag(const char16_t* name, const char16_t* end) {
  if (hiddenElement_ != TagKind::Other) {
    skipHiddenStartTag(name, end);
    return;
  }
  const TagKind kind = tagKind(name, end);
  switch (kind) {
    case TagKind::H1:
    case TagKind::H2:
    case TagKind::H3:
    case TagKind::H4:
    case TagKind::H5:
    case TagKind::H6:
      if (headingLevel(kind) <= deepestHeading_) openHeading(headingLevel(kind));
      break;
    case TagKind::Span:
      openSpan(name, end);
      break;
    case TagKind::Button:
      captureButtonAudio(name, end);
      break;
    case TagKind::AnchorHref:
      if (currentMarkup_) hideUnseenElement(kind, name, end);
      // Only anchors whose first attribute is href; the link is kept as
      // written (relative links are joined with the page URL when the files
      // are fetched).
      if (spanKind_ == SPAN_AUDIO && !language_.empty()) storeAudioLink(attributeValue(name, end, u"href"));
      break;
    case TagKind::Anchor:
    case TagKind::Sup:
    case TagKind::Style:
    case TagKind::Script:
      if (currentMarkup_) hideUnseenElement(kind, name, end);
      break;
    case TagKind::Div:
      openDiv(name, end);
      break;
    case TagKind::Audio:
      if (currentMarkup_) inAudio_ = true;
      break;
    case TagKind::Source:
      if (inAudio_) captureSourceAudio(name, end);  // inAudio_ is set in current markup only
      break;
    case TagKind::Ol:
    case TagKind::Ul:
    case TagKind::Li:
    case TagKind::Dl:
    case TagKind::Dd:
    case TagKind::Br:
    case TagKind::Table:
      if (sectionKind_ & SK_LISTS) openListElement(kind);
      break;
    case TagKind::Other:
      break;
  }
}

void TLexoraParser::openHeading(int32_t level) {
  // A heading left open is ended by the next one.
  if (currentMarkup_ && (tagState_ & TS_LEVEL) != 0) takeHeadline();
  // A heading level replaces the whole word: every span, list and table bit
  // goes with it.
  tagState_ = static_cast<uint32_t>(level);
  openListDepth_ = 0;
  if (level == 2) {
    clearLanguage();
    sectionKind_ = SK_NONE;
  }
  editLinkDepth_ = 0;  // a heading ends an edit link left open
  headline_.clear();
  headlineMarked_ = inHeadingWrapper_;
}

void TLexoraParser::openSpan(const char16_t* name, const char16_t* end) {
  // Spans nested in an edit link are only counted, so that its end is found.
  if (editLinkDepth_ > 0) {
    ++editLinkDepth_;
    return;
  }
  tagState_ |= TS_SPAN;
  // Looked at where it lies: most spans match none of these, and none needs a copy.
  const std::u16string_view spanClass = attributeValue(name, end, u"class");
  if (spanClass == kHeadlineClass) {
    spanKind_ = SPAN_HEADLINE;
    headlineMarked_ = true;
  } else if (!currentMarkup_ && spanClass == kEditSectionClass) {
    // Leaves spanKind alone, so the edit link's own text is not a headline.
    hasEditSection_ = true;
  } else if (currentMarkup_ && (spanClass == kCurrentEditSectionClass || spanClass == kEditSectionClass) &&
             inHeadingOrWrapper()) {
    // Its brackets sit in spans of their own, so it is followed as a whole.
    // Elsewhere the class marks no edit link and the span is an ordinary one.
    hasEditSection_ = true;
    editLinkDepth_ = 1;
  } else if (language_.empty()) {
    // Pronunciation and audio spans count only inside a language section.
  } else if (currentMarkup_ ? classListHas(spanClass, kIpaClass) || classListHas(spanClass, kCurrentIpaClass)
                            : spanClass == kIpaClass) {
    spanKind_ = SPAN_IPA;
  } else if (spanClass == kAudioLinkClass) {
    spanKind_ = SPAN_AUDIO;
  }
}

void TLexoraParser::captureButtonAudio(const char16_t* name, const char16_t* end) {
  // The URL runs from the first "http://" through the first ".ogg" after it;
  // whatever script surrounds it is discarded.
  if (language_.empty()) return;
  const std::u16string_view script = attributeValue(name, end, u"onclick");
  const size_t urlStart = script.find(u"http://");
  if (urlStart == std::u16string_view::npos) return;
  const size_t oggStart = script.find(u".ogg", urlStart);
  if (oggStart == std::u16string_view::npos) return;
  storeAudioLink(script.substr(urlStart, oggStart - urlStart + 4));
}

void TLexoraParser::openDiv(const char16_t* name, const char16_t* end) {
  // The class matters only to the current markup's heading wrapper and, in a
  // list-bearing sub-section, to the footer; it is parsed once for both.
  const bool footerMatters = (sectionKind_ & SK_LISTS) != 0;
  if (!currentMarkup_ && !footerMatters) return;
  const std::u16string_view divClass = attributeValue(name, end, u"class");
  if (currentMarkup_ && classListHas(divClass, kHeadingWrapperClass)) inHeadingWrapper_ = true;
  // The footer ends the article: nothing more is recorded until a headline
  // sets a list-bearing kind again.
  if (footerMatters && divClass == kFooterClass) sectionKind_ = SK_NONE;
}

void TLexoraParser::captureSourceAudio(const char16_t* name, const char16_t* end) {
  // The link is the path as written (protocol-relative ones are resolved with
  // the others when the files are fetched); tracking queries and fragments go.
  if (language_.empty()) return;
  const std::u16string_view link = attributeValue(name, end, u"src");
  const std::u16string_view path = link.substr(0, link.find_first_of(u"?#"));
  constexpr std::u16string_view kOgg = u".ogg";
  if (path.size() < kOgg.size() || path.substr(path.size() - kOgg.size()) != kOgg) return;
  storeAudioLink(path);
}

void TLexoraParser::skipHiddenStartTag(const char16_t* name, const char16_t* end) {
  // A style sheet or script holds no tags; another hidden element counts
  // only the elements of its own kind, to find its end.
  if (hiddenElement_ == TagKind::Style || hiddenElement_ == TagKind::Script) {
    if (runsOnToEndTag(name, end, hiddenElement_)) hiddenElement_ = TagKind::Other;
  } else if (tagKind(name, end) == hiddenElement_) {
    ++hiddenDepth_;
  }
}

void TLexoraParser::hideUnseenElement(TagKind kind, const char16_t* name, const char16_t* end) {
  bool unseen = false;
  switch (kind) {
    case TagKind::Style:
    case TagKind::Script:
      unseen = true;
      break;
    case TagKind::Sup:
      unseen = classListHas(attributeValue(name, end, u"class"), kFootnoteMarkerClass);
      break;
    case TagKind::Anchor:
    case TagKind::AnchorHref: {
      // Links are many: their class is read only where their text would be
      // recorded, and not for a link to a page of the site, its href first.
      if (!(sectionKind_ & SK_LISTS)) break;
      if (kind == TagKind::AnchorHref && hrefIsOnSite(name, end)) break;
      const std::u16string_view linkClass = attributeValue(name, end, u"class");
      unseen = classListHas(linkClass, kNumberedLinkClass) && classListHas(linkClass, kExternalLinkClass);
      kind = TagKind::Anchor;  // the kind of its end tag
      break;
    }
    default:
      break;
  }
  if (!unseen) return;
  hiddenElement_ = kind;
  hiddenDepth_ = 0;
}

void TLexoraParser::openListElement(TagKind kind) {
  tagState_ |= listStateBit(kind);
  switch (kind) {
    case TagKind::Ol:
      if (currentMarkup_) pushOpenList(kind);
      restartListItemMarker();
      break;
    case TagKind::Ul:
      if (currentMarkup_) pushOpenList(kind);
      break;
    case TagKind::Li:
      appendListItemMarker();
      break;
    case TagKind::Dd:
    case TagKind::Br:
      appendLineBreak(currentSectionText());
      break;
    default:
      break;
  }
}

void TLexoraParser::restartListItemMarker() {
  listItemMarker_[1] = u'0';
  listItemMarker_[2] = u'.';
  listItemMarkerLength_ = 3;
}

void TLexoraParser::advanceListItemMarker() {
  // The number between the line feed and the "." counts on digit by digit.
  char16_t* const first = listItemMarker_ + 1;
  char16_t* digit = listItemMarker_ + listItemMarkerLength_ - 2;
  while (digit >= first && *digit == u'9') *digit-- = u'0';
  if (digit >= first) {
    ++*digit;
    return;
  }
  // All nines: one digit more. No page holds enough items to fill the array.
  if (listItemMarkerLength_ == static_cast<int32_t>(std::size(listItemMarker_))) return;
  first[listItemMarkerLength_ - 1] = u'.';
  first[listItemMarkerLength_ - 2] = u'0';
  *first = u'1';
  ++listItemMarkerLength_;
}

void TLexoraParser::pushOpenList(TagKind kind) {
  if (openListDepth_ < kMaxOpenLists) {
    TOpenList& list = openLists_[openListDepth_];
    list.kind = kind;
    list.markerLength = listItemMarkerLength_;
    std::copy_n(listItemMarker_, listItemMarkerLength_, list.marker);
  }
  ++openListDepth_;
}

void TLexoraParser::popOpenList(TagKind kind) {
  // An end tag closes the innermost open list of its kind and every list
  // inside it; one of no open list closes nothing.
  int32_t depth = std::min(openListDepth_, kMaxOpenLists);
  while (depth > 0 && openLists_[depth - 1].kind != kind) --depth;
  if (depth == 0) {
    if (openListDepth_ > kMaxOpenLists) --openListDepth_;  // one of the lists counted only
    return;
  }
  const TOpenList& closed = openLists_[depth - 1];
  listItemMarkerLength_ = closed.markerLength;
  std::copy_n(closed.marker, closed.markerLength, listItemMarker_);
  openListDepth_ = depth - 1;
  for (int32_t i = 0; i < openListDepth_; ++i) tagState_ |= listStateBit(openLists_[i].kind);
}

void TLexoraParser::appendListItemMarker() {
  // In the current markup an item takes the marker of the innermost list.
  // Otherwise ordered lists win over unordered ones, so an item of a list
  // nested in the other kind is numbered. An item of neither kind adds
  // nothing and leaves the store untouched (no empty sub-section appears for
  // it).
  const bool ordered = currentMarkup_ && openListDepth_ > 0
                           ? openLists_[std::min(openListDepth_, kMaxOpenLists) - 1].kind == TagKind::Ol
                           : (tagState_ & TS_OL) != 0;
  if (ordered) {
    advanceListItemMarker();
    appendSectionText(currentSectionText(), listItemMarker_, listItemMarkerLength_);
  } else if (tagState_ & TS_UL) {
    appendSectionText(currentSectionText(), kUnorderedItemMarker,
                      static_cast<int32_t>(std::size(kUnorderedItemMarker) - 1));
  }
}
