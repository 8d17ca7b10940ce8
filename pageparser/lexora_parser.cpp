// Construction, destruction and the shared lookup of the page parser. The
// handlers live in start_tag.cpp, end_tag.cpp and text.cpp; assembly and the
// audio link listing in assembly.cpp.
#include "pageparser/lexora_parser.h"

#include <memory>
#include <new>

TLexoraParser::TLexoraParser(PageMarkup markup) : currentMarkup_(markup == PageMarkup::Current) {}

TLexoraParser::~TLexoraParser() = default;

// Comments never reach the store.
void TLexoraParser::onCommentBegin(const char16_t*) {}
void TLexoraParser::onCommentEnd(const char16_t*) {}
void TLexoraParser::onCommentText(const char16_t*, int32_t) {}

void TLexoraParser::setLanguage(const char16_t* text, int32_t length) {
  language_.assign(text, length);
  forgetLanguageLookups();
}

void TLexoraParser::clearLanguage() {
  language_ = __kvstrW();
  forgetLanguageLookups();
}

void TLexoraParser::forgetLanguageLookups() {
  currentInfo_ = nullptr;
  currentText_ = nullptr;
  languageSlot_ = -1;
}

void TLexoraParser::setSubsection(const char16_t* text, int32_t length) {
  subsection_.assign(text, length);
  currentText_ = nullptr;
}

void TLexoraParser::addLanguageSlot() {
  auto name = std::make_unique<__kvstrW>(language_);
  if (languages_.add(name.get()) != 0) throw std::bad_alloc();  // the array could not grow
  name.release();
  languageSlot_ = languages_.count() - 1;
}

TSectionText& TLexoraParser::currentSectionText() {
  // The answer is kept until language or subsection changes, so runs in a
  // row cost no lookups.
  if (!currentText_) currentText_ = &currentInfo().sections[subsection_];
  return *currentText_;
}

TLexoraParser::ParsedInfo& TLexoraParser::currentInfo() {
  // Found or inserted exactly where a lookup of entries[language] would be;
  // a big page has many languages, so each is looked up once, not per run.
  if (!currentInfo_) {
    currentInfo_ = &entries_[language_];
    // The slot the headline added names this record too: the entry text finds
    // it there without another search of a map that may hold thousands.
    if (languageSlot_ >= 0) rememberedSlotInfo(languageSlot_) = currentInfo_;
  }
  return *currentInfo_;
}
