#include "bench/pages.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string readSample(const char* relative) {
  std::ifstream in(std::string(DX_SOURCE_DIR) + "/samples/" + relative, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("missing sample page ") + relative);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Where a sample's first language section begins, and where its headline
// (the language's name) is written after that.
struct SampleLayout {
  const char* path;          ///< below samples/
  const char* sectionStart;  ///< begins each language section
  const char* headline;      ///< the element whose text is the name
};

const SampleLayout kClassicSample = {"pages/en.lexora.org/wiki/run.html", "<h2", "mw-headline"};
const SampleLayout kMarkup3Sample = {"pages-markup3/en.lexora.org/wiki/dog.html",
                                     "<div class=\"mw-heading mw-heading2\">", "<h2"};
// Its table of contents is an h2 of its own, so sections are found by their
// edit links.
const SampleLayout kJapaneseSample = {"pages/ja.lexora.org/wiki/%E3%81%84%E3%81%AC.html",
                                      "<h2><span class=\"editsection\"", "mw-headline"};

// Splits a sample page into the chrome before its first language section, the
// article (that section alone), and the chrome from the footer on.
struct PageParts {
  std::string head, article, tail;
};

PageParts splitSample(const std::string& page, const char* sectionStart) {
  const size_t start = page.find(sectionStart);
  const size_t footer = page.find("<div class=\"printfooter\"");
  if (start == std::string::npos || footer == std::string::npos || footer < start) {
    throw std::runtime_error("sample page without a language section or printfooter");
  }
  const size_t end = std::min(footer, page.find(sectionStart, start + 1));
  return {page.substr(0, start), page.substr(start, end - start), page.substr(footer)};
}

// Repeats `unit` (with `open` before and `close` after the whole) until the
// page reaches `bytes`.
std::string repeatTo(size_t bytes, const std::string& open, const std::string& unit,
                     const std::string& close) {
  std::string page = open;
  page.reserve(bytes + unit.size() + close.size());
  while (page.size() + close.size() < bytes) page += unit;
  return page + close;
}

const char* const kSectionOpen =
    "<html><body>\n<h2><span class=\"editsection\">[<a href=\"/e\">edit</a>]</span>"
    "<span class=\"mw-headline\" id=\"English\">English</span></h2>\n"
    "<h3><span class=\"mw-headline\">Noun</span></h3>\n";

// Where the name of the article's first language headline sits.
size_t languageNameEnd(const std::string& article, const char* headlineElement) {
  const size_t headline = article.find(headlineElement, article.find("<h2"));
  const size_t nameStart = article.find('>', headline);
  const size_t nameEnd = article.find('<', nameStart);
  if (headline == std::string::npos || nameEnd == std::string::npos) {
    throw std::runtime_error("sample article without a language headline");
  }
  return nameEnd;
}

// The article repeated as language sections of their own ("English",
// "English 2", ...), as a page with many languages has them. Repeating one
// name would make every repeat a block with all the repeats' text, an entry
// that grows with the square of the page.
std::string realistic(size_t bytes, const SampleLayout& sample) {
  const PageParts parts = splitSample(readSample(sample.path), sample.sectionStart);
  const size_t nameEnd = languageNameEnd(parts.article, sample.headline);
  const std::string before = parts.article.substr(0, nameEnd);
  const std::string after = parts.article.substr(nameEnd);
  std::string page = parts.head + parts.article;
  page.reserve(bytes + 2 * parts.article.size() + parts.tail.size());
  for (int repeat = 2; page.size() + parts.tail.size() < bytes; ++repeat) {
    page += before + " " + std::to_string(repeat) + after;
  }
  return page + parts.tail;
}

std::string manyShortRuns(size_t bytes) {
  std::string line;
  for (int i = 0; i < 100; ++i) line += "<li>a</li>";
  return repeatTo(bytes, std::string(kSectionOpen) + "<ol>\n", line + "<br>x<br>y\n", "</ol>\n</body></html>\n");
}

std::string manyLanguages(size_t bytes) {
  std::string page = "<html><body><span class=\"editsection\">e</span>\n";
  for (size_t i = 0; page.size() < bytes; ++i) {
    const std::string n = std::to_string(i);
    page += "<h2><span class=\"mw-headline\">Lang" + n + "</span></h2>\n"
            "<h3><span class=\"mw-headline\">Noun</span></h3>\n<ol><li>word " + n +
            "</li></ol>\n<span class=\"unicode audiolink\"><a href=\"/a/" + n + ".ogg\">a</a></span>\n";
  }
  return page + "</body></html>\n";
}

std::string oneLongLine(size_t bytes) {
  std::string page = std::string(kSectionOpen) + "<ol>";
  std::string unit = "<li>a definition with <a href=\"/w/x\">a link</a> &amp; a reference</li>";
  while (page.size() < bytes) page += unit;
  for (char& c : page) {
    if (c == '\n') c = ' ';
  }
  return page + "</ol></body></html>";
}

std::string manyAttributes(size_t bytes) {
  std::string tag = "<span";
  for (int i = 0; i < 2000; ++i) tag += " data" + std::to_string(i % 10) + "=\"v\"";
  tag += " class=\"IPA\">x</span>\n";
  return repeatTo(bytes, kSectionOpen, tag, "</body></html>\n");
}

std::string deepNesting(size_t bytes) {
  std::string unit;
  for (int i = 0; i < 200; ++i) unit += "<ol><li><ul><li><span class=\"IPA\">";
  unit += "deep\n";
  for (int i = 0; i < 200; ++i) unit += "</span></li></ul></li></ol>";
  unit += "\n";
  return repeatTo(bytes, kSectionOpen, unit, "</body></html>\n");
}

// Every repeat of one language's heading asks for that language's whole
// block again: an entry that would grow with the square of the page, which
// the lookup refuses rather than builds.
std::string repeatedHeading(size_t bytes) {
  return repeatTo(bytes, "<html><body><span class=\"editsection\">e</span>\n",
                  "<h2><span class=\"mw-headline\">English</span></h2>\n"
                  "<h3><span class=\"mw-headline\">Noun</span></h3>\n<ol><li>a sense</li></ol>\n",
                  "</body></html>\n");
}

// Half the page sub-sections of one language, with an audio link, the other
// half repeats of its heading: each repeat asks for the language's whole
// block of many sub-sections again, which the lookup must count no more than
// once.
std::string headingOverSections(size_t bytes) {
  std::string page = std::string(kSectionOpen) +
                     "<span class=\"unicode audiolink\"><a href=\"/a/x.ogg\">a</a></span>\n";
  for (size_t i = 0; page.size() < bytes / 2; ++i) {
    page += "<h3><span class=\"mw-headline\">Sense" + std::to_string(i) +
            "</span></h3>\n<ol><li>s</li></ol>\n";
  }
  return repeatTo(bytes, page, "<h2><span class=\"mw-headline\">English</span></h2>\n",
                  "</body></html>\n");
}

}  // namespace

const std::vector<std::pair<PageShape, const char*>>& allPageShapes() {
  static const std::vector<std::pair<PageShape, const char*>> shapes = {
      {PageShape::Realistic, "realistic"},          {PageShape::RealisticMarkup3, "realistic_markup3"},
      {PageShape::RealisticJapanese, "realistic_ja"}, {PageShape::ManyShortRuns, "short_runs"},
      {PageShape::ManyLanguages, "many_languages"}, {PageShape::OneLongLine, "one_line"},
      {PageShape::ManyAttributes, "attributes"},    {PageShape::DeepNesting, "deep_nesting"},
      {PageShape::RepeatedHeading, "repeated_heading"},
      {PageShape::HeadingOverSections, "heading_over_sections"},
  };
  return shapes;
}

std::string makePage(PageShape shape, size_t bytes) {
  switch (shape) {
    case PageShape::Realistic: return realistic(bytes, kClassicSample);
    case PageShape::RealisticMarkup3: return realistic(bytes, kMarkup3Sample);
    case PageShape::RealisticJapanese: return realistic(bytes, kJapaneseSample);
    case PageShape::ManyShortRuns: return manyShortRuns(bytes);
    case PageShape::ManyLanguages: return manyLanguages(bytes);
    case PageShape::OneLongLine: return oneLongLine(bytes);
    case PageShape::ManyAttributes: return manyAttributes(bytes);
    case PageShape::DeepNesting: return deepNesting(bytes);
    case PageShape::RepeatedHeading: return repeatedHeading(bytes);
    case PageShape::HeadingOverSections: return headingOverSections(bytes);
  }
  return {};  // unreachable: every shape is handled above
}
