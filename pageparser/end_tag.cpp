// End tags undo what start tags set in tagState and spanKind. There are no
// depth counts: the first end tag of a kind clears its bit, and a heading end
// tag clears the whole word. Attributes of end tags are never looked at.
#include "pageparser/lexora_parser.h"

#include "pageparser/tag_kind.h"

void TLexoraParser::onEndTag(const char16_t* name, const char16_t* end) {
  // With nothing open there is nothing to close, and spanKind stays too. The
  // current markup's elements close only what they opened: with no edit link,
  // heading wrapper or player open, none of them changes anything.
  const bool currentMarkupOpen =
      currentMarkup_ && (editLinkDepth_ > 0 || inHeadingWrapper_ || inAudio_ || hiddenElement_ != TagKind::Other);
  if (tagState_ == 0 && !currentMarkupOpen) return;
  const TagKind kind = tagKind(name, end);
  if (currentMarkupOpen && closeCurrentMarkupElement(kind)) return;
  if (tagState_ == 0) return;

  if (const int32_t level = headingLevel(kind)) {
    if (level > deepestHeading_) return;
    if (currentMarkup_) takeHeadline();
    tagState_ = 0;
    return;
  }
  switch (kind) {
    case TagKind::Span:
      spanKind_ = SPAN_NONE;
      tagState_ &= ~TS_SPAN;
      return;
    case TagKind::Ol:
    case TagKind::Ul:
    case TagKind::Li:
    case TagKind::Dl:
    case TagKind::Dd:
    case TagKind::Table:
      if (!(sectionKind_ & SK_LISTS)) return;
      tagState_ &= ~listStateBit(kind);
      if (currentMarkup_ && (kind == TagKind::Ol || kind == TagKind::Ul)) popOpenList(kind);
      return;
    default:
      return;
  }
}

bool TLexoraParser::closeCurrentMarkupElement(TagKind kind) {
  if (hiddenElement_ != TagKind::Other) {
    // Nothing inside a hidden element closes anything but itself.
    if (kind == hiddenElement_ && hiddenDepth_-- == 0) hiddenElement_ = TagKind::Other;
    return true;
  }
  if (headingLevel(kind) != 0) {
    editLinkDepth_ = 0;  // a heading's end ends an edit link left open in it
    return false;
  }
  switch (kind) {
    case TagKind::Span:
      if (editLinkDepth_ == 0) return false;
      // A nested span's end only counts; the edit link's own ends as any span.
      return --editLinkDepth_ > 0;
    case TagKind::Div:
      inHeadingWrapper_ = false;
      return false;
    case TagKind::Audio:
      inAudio_ = false;
      return false;
    default:
      return false;
  }
}
