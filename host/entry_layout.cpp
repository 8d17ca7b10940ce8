#include "host/entry_layout.h"

namespace host {
namespace {

constexpr std::string_view kIpa = "ipa  :";
constexpr std::string_view kAudio = "audio:";

bool isWrapped(std::string_view line, std::string_view open, std::string_view close) {
  return line.size() >= open.size() + close.size() && line.substr(0, open.size()) == open &&
         line.substr(line.size() - close.size()) == close;
}

bool isLanguageLine(std::string_view line) { return isWrapped(line, "[[", "]]"); }
bool isSectionLine(std::string_view line) { return !isLanguageLine(line) && isWrapped(line, "[", "]"); }

std::string_view unwrap(std::string_view line, std::size_t brackets) {
  return line.substr(brackets, line.size() - 2 * brackets);
}

/// Reads the entry line by line; `complete` tells whether the line had its
/// line end (the layout ends every label line with one).
class TLineReader {
 public:
  explicit TLineReader(std::string_view text) : text_(text) {}
  bool next(std::string_view& line, bool& complete) {
    if (at_ >= text_.size()) return false;
    const std::size_t end = text_.find('\n', at_);
    complete = end != std::string_view::npos;
    line = text_.substr(at_, (complete ? end : text_.size()) - at_);
    at_ = complete ? end + 1 : text_.size();
    return true;
  }
  bool nextStartsWith(std::string_view prefix) const {
    return text_.substr(at_, prefix.size()) == prefix;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

/// Splits a pronunciation line that runs into the next label (no audio line
/// came between them): the label is the last "[" (or "[[") group ending the line.
std::string_view splitTrailingLabel(std::string_view rest, std::string_view& label) {
  const bool language = rest.size() >= 2 && rest.substr(rest.size() - 2) == "]]";
  if (!language && (rest.empty() || rest.back() != ']')) return rest;
  const std::size_t open = rest.rfind(language ? "[[" : "[");
  if (open == std::string_view::npos || open == 0) return rest;
  label = rest.substr(open);
  return rest.substr(0, open);
}

void appendText(TEntrySection& section, std::string_view line, bool complete) {
  section.text.append(line);
  if (complete) section.text += '\n';
}

/// Each section's text ends with the line end that the layout adds after it.
void dropLayoutLineEnd(std::vector<TEntryLanguage>& languages) {
  for (auto& language : languages)
    for (auto& section : language.sections)
      if (!section.text.empty() && section.text.back() == '\n') section.text.pop_back();
}

}  // namespace

std::vector<TEntryLanguage> parseEntryLayout(std::string_view entry) {
  std::vector<TEntryLanguage> languages;
  TLineReader reader(entry);
  std::string_view line;
  bool complete = false;
  while (reader.next(line, complete)) {
    if (!languages.empty() && line.substr(0, kIpa.size()) == kIpa &&
        languages.back().sections.empty() && languages.back().ipa.empty()) {
      std::string_view label;
      const std::string_view rest = line.substr(kIpa.size());
      const bool labelFollows = complete && !reader.nextStartsWith(kAudio);
      languages.back().ipa = labelFollows ? splitTrailingLabel(rest, label) : rest;
      if (label.empty()) continue;
      line = label;
    }
    if (isLanguageLine(line)) {
      languages.push_back({std::string(unwrap(line, 2)), {}, {}, {}});
    } else if (languages.empty()) {
      continue;  // text before the first block: not part of the layout
    } else if (isSectionLine(line)) {
      languages.back().sections.push_back({std::string(unwrap(line, 1)), {}});
    } else if (languages.back().sections.empty() && line.substr(0, kAudio.size()) == kAudio) {
      languages.back().audio = line.substr(kAudio.size());
    } else if (!languages.back().sections.empty()) {
      appendText(languages.back().sections.back(), line, complete);
    }
  }
  dropLayoutLineEnd(languages);
  return languages;
}

}  // namespace host
