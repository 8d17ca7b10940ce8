// Text runs: headline runs (a span in an h2, h3 or h4 heading; in current
// markup, every run of a heading, taken whole when it ends) name language
// sections and sub-sections and move sectionKind; other runs may be the
// pronunciation and, in list-bearing sub-sections, section text. Every piece of
// section text, markers and line breaks included, enters the store through
// appendSectionText, which owns the line-feed and table rules.
#include "pageparser/lexora_parser.h"

#include <algorithm>
#include <string_view>

#include "pageparser/entities.h"

namespace {
constexpr uint32_t kSpanInH2 = 2 | TLexoraParser::TS_SPAN;
constexpr uint32_t kSpanInH3 = 3 | TLexoraParser::TS_SPAN;
constexpr uint32_t kSpanInH4 = 4 | TLexoraParser::TS_SPAN;

// The units that already show a blank where a line end would: those a
// browser collapses into it, and the no-break space.
constexpr bool showsAsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == 0xA0; }

bool runEquals(const char16_t* text, int32_t length, std::u16string_view literal) {
  return std::u16string_view(text, static_cast<size_t>(length)) == literal;
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r'; }

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A pronunciation headline of any edition, alone or numbered ("Pronunciation 2").
bool isPronunciationHeadline(std::u16string_view name) {
  using namespace std::string_view_literals;
  if (name.empty() || (name.front() != u'P' && name.front() != u'\u767a')) return false;
  for (const std::u16string_view label : {u"Pronunciation"sv, u"Prononciation"sv, u"\u767a\u97f3"sv}) {
    if (name.substr(0, label.size()) != label) continue;
    std::u16string_view number = name.substr(label.size());
    if (number.empty()) return true;
    if (number.front() != u' ' || number.size() == 1) continue;
    number.remove_prefix(1);
    if (std::all_of(number.begin(), number.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) return true;
  }
  return false;
}
}  // namespace

void TLexoraParser::onText(const char16_t* text, int32_t length) {
  if (length <= 0) return;  // the tokenizer reports no empty runs
  // An edit link's brackets and text; a style sheet, script, footnote marker
  // or numbered link.
  if (editLinkDepth_ > 0 || hiddenElement_ != TagKind::Other) return;
  if (currentMarkup_ && (tagState_ & TS_LEVEL) != 0) {
    // Every run of a heading is part of its headline, taken when it ends.
    decodeHtmlReferencesInto(headline_, text, length);
    return;
  }
  if (sectionKind_ == SK_NONE && tagState_ == 0) return;

  // A run in a heading span is its row's business alone, whether or not the
  // row's condition holds: it is never pronunciation or section text.
  switch (tagState_) {
    case kSpanInH2:
      if (spanKind_ == SPAN_HEADLINE) takeLanguageHeadline(text, length);
      return;
    case kSpanInH3:
      if (spanKind_ == SPAN_HEADLINE && !language_.empty()) takeSubsectionHeadline(text, length);
      return;
    case kSpanInH4:
      if (spanKind_ == SPAN_HEADLINE) takeMinorHeadline(text, length);
      return;
    default:
      break;
  }

  // The first IPA run of a language section stays; references are kept as
  // written.
  if (spanKind_ == SPAN_IPA && !language_.empty()) storeIpa(text, length);
  // spanKind is not consulted here: an IPA run in a list-bearing sub-section is
  // section text too.
  if (!(sectionKind_ & SK_LISTS)) return;
  TSectionText& target = currentSectionText();
  appendSectionText(target, text, length);
  if (currentMarkup_) {
    lastRunIn_ = &target;
    lastRunLine_ = lineNumber();
  }
}

void TLexoraParser::takeLanguageHeadline(const char16_t* text, int32_t length) {
  // Every run counts, so a headline split by an inline element appends each
  // part to languages and leaves the last one as the language.
  setLanguage(text, length);
  addLanguageSlot();
  sectionKind_ = language_.empty() ? SK_NONE : SK_LANGUAGE;
}

void TLexoraParser::takeSubsectionHeadline(const char16_t* text, int32_t length) {
  setSubsection(text, length);
  if (subsection_ == u"Pronunciation") {
    sectionKind_ = SK_PRONUNCIATION;
  } else {
    sectionKind_ = subsection_.empty() ? SK_LANGUAGE : SK_SUBSECTION;
  }
}

void TLexoraParser::takeMinorHeadline(const char16_t* text, int32_t length) {
  diagnostics().appendOutputLine("head:", text, length);  // traced even outside any language_ section
  if (language_.empty()) return;
  if (runEquals(text, length, u"Synonyms")) {
    sectionKind_ = SK_SYNONYMS;
    setSubsection(text, length);
  } else if (runEquals(text, length, u"Antonyms")) {
    sectionKind_ = SK_ANTONYMS;
    setSubsection(text, length);
  } else {
    // Translations and the like: stop recording, keep the sub-section name.
    sectionKind_ = SK_LANGUAGE;
  }
}

void TLexoraParser::takeHeadline() {
  const auto level = static_cast<int32_t>(tagState_ & TS_LEVEL);
  const bool marked = headlineMarked_;
  headlineMarked_ = false;
  if (!marked || level < 2) return;
  const std::u16string_view whole(headline_.str(), static_cast<size_t>(headline_.length()));
  const std::u16string_view name = trimmed(whole);
  const auto nameLength = static_cast<int32_t>(name.size());
  if (level >= 4) diagnostics().appendOutputLine("head:", name.data(), nameLength);
  if (level == 2) {
    if (!name.empty()) takeLanguageHeadline(name.data(), nameLength);
  } else if (!language_.empty()) {
    openSubsection(name);
  }
}

void TLexoraParser::openSubsection(std::u16string_view name) {
  if (isPronunciationHeadline(name)) {
    // Its transcription is taken; its text is not recorded.
    sectionKind_ = SK_PRONUNCIATION;
  } else if (name.empty()) {
    sectionKind_ = SK_LANGUAGE;
  } else {
    setSubsection(name.data(), static_cast<int32_t>(name.size()));
    sectionKind_ = SK_SUBSECTION;
  }
}

void TLexoraParser::appendSectionText(TSectionText& target, const char16_t* text, int32_t length) {
  if (tagState_ & TS_TABLE) return;

  // Leading line feeds never begin a section text, and a text that already
  // ends with one absorbs exactly one more. The raw text is looked at: a line
  // feed written as a character reference stays.
  if (target.empty()) {
    while (length > 0 && *text == u'\n') {
      ++text;
      --length;
    }
  } else if (length > 0 && *text == u'\n' && target.endsWith(u'\n')) {
    ++text;
    --length;
  }
  if (length <= 0) return;
  if (lastRunIn_) {
    // A run on a later line continues the text its last run ended. Any piece
    // appended ends the join: markers and line breaks begin lines of the
    // entry, and onText names the text again after a run.
    if (lastRunIn_ == &target && lastRunLine_ != lineNumber()) joinContinuedLine(target, *text);
    lastRunIn_ = nullptr;
  }

  // Most runs hold no reference (nor a NUL) and go in as one piece.
  if (findEitherUnit(text, text + length, u'&', 0) == text + length) {
    target.appendUnits(text, length);
  } else if (currentMarkup_) {
    decodeHtmlReferencesInto(target, text, length);
  } else {
    decodeEntitiesInto(target, text, length);
  }
}

void TLexoraParser::joinContinuedLine(TSectionText& target, char16_t next) {
  // The line end between two runs shows as one blank, none where a blank
  // already stands or a line of the entry begins.
  if (!target.empty() && !showsAsBlank(target.str()[target.length() - 1]) && !showsAsBlank(next)) target.append(u' ');
}

void TLexoraParser::appendLineBreak(TSectionText& target) { appendSectionText(target, u"\n", 1); }
