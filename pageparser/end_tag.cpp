// End tags undo what start tags set in tagState and spanKind. There are no
// depth counts: the first end tag of a kind clears its bit, and a heading end
// tag clears the whole word. Attributes of end tags are never looked at.
#include "pageparser/lexora_parser.h"

void TLexoraParser::onEndTag(const char16_t* name, const char16_t* end) {
  if (currentMarkup_ && closeCurrentMarkupElement(name, end)) return;
  // With nothing open there is nothing to close, and spanKind stays too.
  if (tagState_ == 0) return;

  if (headingLevel(name, end) != 0) {
    tagState_ = 0;
  } else if (tagIs(name, end, u"span")) {
    spanKind_ = SPAN_NONE;
    tagState_ &= ~TS_SPAN;
  }

  if (!(sectionKind_ & SK_LISTS)) return;
  if (tagIs(name, end, u"ol")) {
    tagState_ &= ~TS_OL;
  } else if (tagIs(name, end, u"ul")) {
    tagState_ &= ~TS_UL;
  } else if (tagIs(name, end, u"li")) {
    tagState_ &= ~TS_LI;
  } else if (tagIs(name, end, u"dl")) {
    tagState_ &= ~TS_DL;
  } else if (tagIs(name, end, u"dd")) {
    tagState_ &= ~TS_DD;
  } else if (tagIs(name, end, u"table")) {
    tagState_ &= ~TS_TABLE;
  }
}

bool TLexoraParser::closeCurrentMarkupElement(const char16_t* name, const char16_t* end) {
  if (tagIs(name, end, u"span")) {
    if (editLinkDepth_ == 0) return false;
    // A nested span's end only counts; the edit link's own ends as any span.
    return --editLinkDepth_ > 0;
  }
  if (headingLevel(name, end) != 0) {
    editLinkDepth_ = 0;
    // A wrapped heading's headline span closes with it, as the end of a
    // headline span does.
    if (inHeadingWrapper_ && tagState_ != 0) spanKind_ = SPAN_NONE;
  } else if (tagIs(name, end, u"div")) {
    inHeadingWrapper_ = false;
  } else if (tagIs(name, end, u"audio")) {
    inAudio_ = false;
  }
  return false;
}
