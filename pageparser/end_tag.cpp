// End tags undo what start tags set in tagState and spanKind. There are no
// depth counts: the first end tag of a kind clears its bit, and a heading end
// tag clears the whole word. Attributes of end tags are never looked at.
#include "pageparser/lexora_parser.h"

void TLexoraParser::onEndTag(const char16_t* name, const char16_t* end) {
  // With nothing open there is nothing to close, and spanKind stays too.
  if (tagState == 0) return;

  if (headingLevel(name, end) != 0) {
    tagState = 0;
  } else if (tagIs(name, end, u"span")) {
    spanKind = SPAN_NONE;
    tagState &= ~TS_SPAN;
  }

  if (!(sectionKind & SK_LISTS)) return;
  if (tagIs(name, end, u"ol")) {
    tagState &= ~TS_OL;
  } else if (tagIs(name, end, u"ul")) {
    tagState &= ~TS_UL;
  } else if (tagIs(name, end, u"li")) {
    tagState &= ~TS_LI;
  } else if (tagIs(name, end, u"dl")) {
    tagState &= ~TS_DL;
  } else if (tagIs(name, end, u"dd")) {
    tagState &= ~TS_DD;
  } else if (tagIs(name, end, u"table")) {
    tagState &= ~TS_TABLE;
  }
}
