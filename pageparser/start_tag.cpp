// Start tags: the heading structure and span classes, audio links from buttons
// and from anchors in audio-link spans, and, inside list-bearing sub-sections
// only, lists, line breaks, tables and the page footer. Tag names are matched
// as case-insensitive prefixes (tagIs); attribute values whole and
// case-sensitively.
#include "pageparser/lexora_parser.h"

#include <iterator>
#include <string_view>

namespace {
constexpr char16_t kUnorderedItemMarker[] = u"\n - ";
constexpr std::u16string_view kHeadingWrapperClass = u"mw-heading";

bool textHolds(const char16_t* begin, const char16_t* end, std::u16string_view part) {
  return std::u16string_view(begin, static_cast<size_t>(end - begin)).find(part) !=
         std::u16string_view::npos;
}

bool classListHas(std::u16string_view classList, std::u16string_view wanted) {
  std::u16string_view rest = classList;
  while (!rest.empty()) {
    const size_t blank = rest.find_first_of(u" \t\n\f\r");
    if (rest.substr(0, blank) == wanted) return true;
    if (blank == std::u16string_view::npos) return false;
    rest.remove_prefix(blank + 1);
  }
  return false;
}
}  // namespace

void TLexoraParser::onStartTag(const char16_t* name, const char16_t* end) {
  // Each step runs whatever the step before it did.
  followHeadingsAndSpans(name, end);
  captureAnchorAudio(name, end);
  if (sectionKind_ & SK_LISTS) followListsAndTables(name, end);
}

void TLexoraParser::followHeadingsAndSpans(const char16_t* name, const char16_t* end) {
  // A heading level replaces the whole word: every span, list and table bit
  // goes with it.
  if (const int32_t level = headingLevel(name, end)) {
    tagState_ = static_cast<uint32_t>(level);
    if (level == 2) {
      clearLanguage();
      sectionKind_ = SK_NONE;
    }
    editLinkDepth_ = 0;  // a heading ends an edit link left open
    // A wrapped h2 to h4 is its own headline span, opened with it.
    if (inHeadingWrapper_ && level >= 2) {
      tagState_ |= TS_SPAN;
      spanKind_ = SPAN_HEADLINE;
    }
  } else if (tagIs(name, end, u"span")) {
    // Spans nested in an edit link are only counted, so that its end is found.
    if (editLinkDepth_ > 0) {
      ++editLinkDepth_;
      return;
    }
    tagState_ |= TS_SPAN;
    examineSpanClass(name, end);
  } else if (tagIs(name, end, u"button")) {
    captureButtonAudio(name, end);
  } else if (currentMarkup_) {
    followCurrentMarkupTags(name, end);
  }
}

void TLexoraParser::examineSpanClass(const char16_t* name, const char16_t* end) {
  // Looked at where it lies: most spans match none of these, and none needs a copy.
  const std::u16string_view spanClass = attributeValue(name, end, u"class");
  if (spanClass == u"mw-headline") {
    spanKind_ = SPAN_HEADLINE;
  } else if (spanClass == u"editsection") {
    // Leaves spanKind alone, so the edit link's own text is not a headline.
    hasEditSection_ = true;
  } else if (currentMarkup_ && spanClass == u"mw-editsection") {
    // Its brackets sit in spans of their own, so it is followed as a whole.
    hasEditSection_ = true;
    editLinkDepth_ = 1;
  } else if (language_.empty()) {
    // Pronunciation and audio spans count only inside a language section.
  } else if (spanClass == u"IPA" || (currentMarkup_ && spanClass == u"API")) {
    spanKind_ = SPAN_IPA;
  } else if (spanClass == u"unicode audiolink") {
    spanKind_ = SPAN_AUDIO;
  }
}

void TLexoraParser::captureButtonAudio(const char16_t* name, const char16_t* end) {
  // The URL runs from the first "http://" through the first ".ogg" after it;
  // whatever script surrounds it is discarded.
  const std::u16string_view script = attributeValue(name, end, u"onclick");
  const size_t urlStart = script.find(u"http://");
  if (urlStart == std::u16string_view::npos) return;
  const size_t oggStart = script.find(u".ogg", urlStart);
  if (oggStart == std::u16string_view::npos) return;
  storeAudioLink(script.substr(urlStart, oggStart - urlStart + 4));
}

void TLexoraParser::captureAnchorAudio(const char16_t* name, const char16_t* end) {
  // Only anchors whose first attribute is href; the link is kept as written
  // (relative links are joined with the page URL when the files are fetched).
  if (spanKind_ != SPAN_AUDIO || language_.empty() || !tagIs(name, end, u"a href")) return;
  storeAudioLink(attributeValue(name, end, u"href"));
}

void TLexoraParser::followCurrentMarkupTags(const char16_t* name, const char16_t* end) {
  if (tagIs(name, end, u"div")) {
    // Most divs do not name the class at all; only those that might are parsed.
    if (textHolds(name, end, kHeadingWrapperClass) &&
        classListHas(attributeValue(name, end, u"class"), kHeadingWrapperClass)) {
      inHeadingWrapper_ = true;
    }
  } else if (tagIs(name, end, u"audio")) {
    inAudio_ = true;
  } else if (inAudio_ && tagIs(name, end, u"source")) {
    captureSourceAudio(name, end);
  }
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

void TLexoraParser::followListsAndTables(const char16_t* name, const char16_t* end) {
  if (tagIs(name, end, u"ol")) {
    tagState_ |= TS_OL;
    listItemNumber_ = 0;
  } else if (tagIs(name, end, u"ul")) {
    tagState_ |= TS_UL;
  } else if (tagIs(name, end, u"li")) {
    tagState_ |= TS_LI;
    appendListItemMarker();
  } else if (tagIs(name, end, u"dl")) {
    tagState_ |= TS_DL;
  } else if (tagIs(name, end, u"dd")) {
    tagState_ |= TS_DD;
    appendLineBreak(currentSectionText());
  } else if (tagIs(name, end, u"br")) {
    appendLineBreak(currentSectionText());
  } else if (tagIs(name, end, u"table")) {
    tagState_ |= TS_TABLE;
  } else if (tagIs(name, end, u"div")) {
    // The footer ends the article: nothing more is recorded until a headline
    // sets a list-bearing kind again.
    if (attributeValue(name, end, u"class") == u"printfooter") sectionKind_ = SK_NONE;
  }
}

void TLexoraParser::appendListItemMarker() {
  // Ordered lists win over unordered ones, so an item of a list nested in the
  // other kind is numbered. An item of neither kind adds nothing and leaves
  // the store untouched (no empty sub-section appears for it).
  if (tagState_ & TS_OL) {
    ++listItemNumber_;
    char16_t marker[16] = {u'\n'};  // line feed, up to 11 digits and sign, ".", NUL
    char16_t* dot = formatDecimal(listItemNumber_, marker + 1);
    dot[0] = u'.';
    dot[1] = 0;
    appendSectionText(currentSectionText(), marker, static_cast<int32_t>(dot + 1 - marker));
  } else if (tagState_ & TS_UL) {
    appendSectionText(currentSectionText(), kUnorderedItemMarker,
                      static_cast<int32_t>(std::size(kUnorderedItemMarker) - 1));
  }
}
