// Sample pages for the page parser's tests and one parser run over each, fed
// as the lookup feeds it: the page's UTF-8 bytes, decoded by the parser.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pageparser/lexora_parser.h"
#include "textlib/utf8.h"

using P = TLexoraParser;

// Heading markup as the wiki writes it: an edit link, then the headline span.
inline std::u16string h2(const std::u16string& name) {
  return u"<h2><span class=\"editsection\">[<a href=\"/w/edit\">edit</a>]</span> "
         u"<span class=\"mw-headline\">" + name + u"</span></h2>\n";
}
inline std::u16string h3(const std::u16string& name) {
  return u"<h3><span class=\"mw-headline\">" + name + u"</span></h3>\n";
}
inline std::u16string h4(const std::u16string& name) {
  return u"<h4><span class=\"mw-headline\">" + name + u"</span></h4>\n";
}

// One parser run over a page, its bytes kept alive beside it.
struct ParsedPage {
  explicit ParsedPage(const std::u16string& html, PageMarkup markup = PageMarkup::Classic)
      : parser(markup) {
    toUtf8(bytes, html.c_str(), static_cast<int32_t>(html.size()));
    parser.setUtf8Input(bytes.str(), bytes.length());
    parser.parse();
  }
  const TLanguageStore::Record* record(const char16_t* language) const {
    return parser.store().findRecord(parser.store().findName(language));
  }
  /// The text of the language's first sub-section of that name; current-mode
  /// sections are found by walking them in page order.
  std::u16string section(const char16_t* language, const char16_t* name) {
    const TLanguageStore& store = parser.store();
    if (const TSectionText* found = store.findSectionText(store.findName(language), name)) return found->str();
    parser.entryLength();  // gathers the sections for the walk
    std::u16string first = u"<absent>";
    if (const TLanguageStore::Record* info = record(language)) {
      store.forEachSection(*info, [&](std::u16string_view sectionName, const TSectionText& found) {
        if (sectionName == name && first == u"<absent>") first = found.str();
      });
    }
    return first;
  }
  size_t sectionCount(const char16_t* language) const { return record(language)->sectionCount; }
  std::u16string ipa(const char16_t* language) const {
    return record(language) ? std::u16string(record(language)->ipa) : u"<absent>";
  }
  std::u16string audio(const char16_t* language) const {
    return record(language) ? std::u16string(record(language)->audio) : u"<absent>";
  }
  /// The entry as the lookup builds it; the store is spent afterwards.
  std::u16string entry() {
    std::u16string out(static_cast<size_t>(parser.entryLength()), u'\0');
    parser.moveResultInto(out.data(), static_cast<int64_t>(out.size()));
    return out;
  }
  std::u16string languages() const {  // joined with "|"
    std::u16string all;
    for (int32_t i = 0; i < parser.store().slotCount(); ++i) {
      if (i) all += u"|";
      all += parser.store().name(parser.store().slotName(i));
    }
    return all;
  }

  __kvstrA bytes;
  TLexoraParser parser;
};

// A list-bearing sub-section Noun in the language section English.
inline std::u16string inNoun(const std::u16string& html) { return h2(u"English") + h3(u"Noun") + html; }

#define ROW(cases, c) SCOPED_TRACE(testing::Message() << "row " << (&(c) - (cases)))
