// Construction, destruction and the shared lookup of the page parser. The
// handlers live in start_tag.cpp, end_tag.cpp and text.cpp; assembly and the
// audio link listing in assembly.cpp.
#include "pageparser/lexora_parser.h"

#include <string_view>
#include <utility>

TLexoraParser::TLexoraParser(PageMarkup markup, TLinkResolver resolveAudioLink)
    : currentMarkup_(markup == PageMarkup::Current),
      deepestHeading_(currentMarkup_ ? 6 : 4),
      resolveAudioLink_(currentMarkup_ ? std::move(resolveAudioLink) : nullptr) {}

TLexoraParser::~TLexoraParser() = default;

// Comments never reach the store.
void TLexoraParser::onCommentBegin(const char16_t*) {}
void TLexoraParser::onCommentEnd(const char16_t*) {}
void TLexoraParser::onCommentText(const char16_t*, int32_t) {}

namespace {
// Names and texts end at a NUL, as the strings that hold them would.
std::u16string_view untilNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }
std::u16string_view untilNul(const char16_t* text, int32_t length) {
  return untilNul(std::u16string_view(text, static_cast<size_t>(length)));
}
}  // namespace

void TLexoraParser::setLanguage(const char16_t* text, int32_t length) {
  languageId_ = store_.nameId(untilNul(text, length));
  language_ = store_.name(languageId_);
  currentText_ = nullptr;
}

void TLexoraParser::clearLanguage() {
  languageId_ = 0;
  language_ = {};
  currentText_ = nullptr;
}

void TLexoraParser::setSubsection(const char16_t* text, int32_t length) {
  subsection_.assign(untilNul(text, length));
  currentText_ = nullptr;
}

TSectionText& TLexoraParser::findCurrentSectionText() {
  // Classic: one text per name within a language. Current: every headline
  // opens a block of its own, even under a name met before.
  currentText_ = currentMarkup_ ? &store_.addSection(languageId_, subsection_)
                                : &store_.sectionText(languageId_, subsection_);
  return *currentText_;
}

void TLexoraParser::storeAudioLink(std::u16string_view url) {
  const std::u16string_view link = untilNul(url);
  if (language_.empty() || link.empty()) return;
  // Adding the record even when it ends up unchanged: a language with only
  // an audio link still gets one.
  TLanguageStore::Record& info = currentInfo();
  if (!info.audio.empty()) return;  // the first link of a section stays
  info.audio = store_.keep(resolveAudioLink_ ? std::u16string_view(resolveAudioLink_(link)) : link);
}

namespace {
bool isTranscription(std::u16string_view text) {
  return !text.empty() && (text[0] == u'/' || text[0] == u'[' || text[0] == u'\\');
}
}  // namespace

void TLexoraParser::storeIpa(const char16_t* text, int32_t length) {
  TLanguageStore::Record& info = currentInfo();
  const std::u16string_view run = untilNul(text, length);
  const bool replaces = currentMarkup_ && isTranscription(run) && !isTranscription(info.ipa);
  if (info.ipa.empty() || replaces) info.ipa = store_.keep(run);
}
