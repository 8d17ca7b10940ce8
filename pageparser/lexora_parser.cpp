// Construction, destruction and the shared lookup of the page parser. The
// handlers live in start_tag.cpp, end_tag.cpp and text.cpp; assembly and the
// audio link listing in assembly.cpp.
#include "pageparser/lexora_parser.h"

TLexoraParser::TLexoraParser() = default;

// Members go in reverse declaration order: entries (every ParsedInfo with its
// sections, audio and ipa, and each key), then languages with the strings it
// owns, then subsection, then language; the stream parser's parts last.
TLexoraParser::~TLexoraParser() = default;

// Comments never reach the store.
void TLexoraParser::onCommentBegin(const char16_t*) {}
void TLexoraParser::onCommentEnd(const char16_t*) {}
void TLexoraParser::onCommentText(const char16_t*, int32_t) {}

TSectionText& TLexoraParser::currentSectionText() {
  // operator[] finds or inserts an empty record and an empty text, never
  // replacing what is there; an empty language or subsection is a key like any
  // other. The answer is kept until language or subsection changes, so runs
  // in a row cost no lookups; the insertion happens at the first run or
  // marker either way.
  if (!currentText_) currentText_ = &currentInfo().sections[subsection];
  return *currentText_;
}

TLexoraParser::ParsedInfo& TLexoraParser::currentInfo() {
  // Found or inserted exactly where a lookup of entries[language] would be;
  // a big page has many languages, so each is looked up once, not per run.
  if (!currentInfo_) {
    currentInfo_ = &entries[language];
    // The slot the headline added names this record too: the entry text finds
    // it there without another search of a map that may hold thousands.
    if (languageSlot_ >= 0) rememberedSlotInfo(languageSlot_) = currentInfo_;
  }
  return *currentInfo_;
}
