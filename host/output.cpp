#include "host/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/entry_layout.h"
#include "host/host_text.h"

namespace host {
namespace {

int gOutputError = 0;  ///< errno of the first failed write to standard output

std::string kibibytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return text;
}

std::string jsonString(const std::string& text) { return "\"" + jsonEscape(text) + "\""; }

/// Builds one JSON object in order: {"key":value,...}.
class TJsonObject {
 public:
  TJsonObject& raw(const char* key, const std::string& value) {
    text_ += (text_.size() > 1 ? ",\"" : "\"") + std::string(key) + "\":" + value;
    return *this;
  }
  TJsonObject& string(const char* key, const std::string& value) {
    return raw(key, jsonString(value));
  }
  std::string done() const { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

template <typename T, typename TFormat>
std::string jsonArray(const std::vector<T>& items, TFormat format) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + format(items[i]);
  return out + "]";
}

std::string languageJson(const TEntryLanguage& language) {
  const auto section = [](const TEntrySection& s) {
    return TJsonObject().string("name", s.name).string("text", s.text).done();
  };
  return TJsonObject()
      .string("name", language.name)
      .string("ipa", language.ipa)
      .string("audio", language.audio)
      .raw("sections", jsonArray(language.sections, section))
      .done();
}

std::string audioJson(const TAudioFile& file) {
  return TJsonObject().string("name", file.name).string("path", file.path).string("url", file.url).done();
}

// Emphasis for a terminal: bold names, the section labels underlined as well.
constexpr const char* kBold = "\033[1m";
constexpr const char* kBoldUnderlined = "\033[1;4m";
constexpr const char* kPlain = "\033[0m";

std::string rendered(const std::string& entry, bool plain) {
  const auto emphasise = [plain](const char* how, const std::string& text) {
    return plain ? text : how + text + kPlain;
  };
  std::string out;
  for (const TEntryLanguage& language : parseEntryLayout(entry)) {
    if (!out.empty()) out += "\n";
    out += emphasise(kBold, language.name);
    if (!language.ipa.empty()) out += "  " + language.ipa;
    out += "\n";
    if (!language.audio.empty()) out += "  audio " + language.audio + "\n";
    for (const TEntrySection& section : language.sections) {
      out += "\n" + emphasise(kBoldUnderlined, section.name) + "\n" + section.text;
      if (!section.text.empty() && section.text.back() != '\n') out += "\n";
    }
  }
  return out;
}

}  // namespace

int writeAll(int fd, const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t done = ::write(fd, p, left);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return done < 0 ? errno : EIO;
    p += done;
    left -= static_cast<std::size_t>(done);
  }
  return 0;
}

void writeOutput(const std::string& text) {
  if (gOutputError == 0) gOutputError = writeAll(1, text);
}

bool closeOutput(std::string& error) {
  if (gOutputError == 0 && ::close(1) != 0) gOutputError = errno;
  if (gOutputError == 0) return true;
  error = std::string("write error: ") + std::strerror(gOutputError);
  return false;
}

void TConsole::line(const std::string& text) const { writeAll(fd_, visibleText(text) + "\n"); }

TConsole::TConsole() {
  fd_ = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (fd_ < 0) fd_ = 2;
  isTerminal_ = ::isatty(fd_) == 1;
}

TProgressLine::TProgressLine(const TConsole& console, std::string name)
    : console_(console), name_(visibleText(name)) {
  if (console_.isTerminal()) console_.raw("fetching " + name_ + " ...");
}

void TProgressLine::update(int64_t received, int64_t total) {
  // Redrawn every 64 KiB and at the end, not on each of curl's calls.
  const bool atEnd = total > 0 && received == total;
  if (!console_.isTerminal() || received == shown_ || (received - shown_ < kStep && !atEnd)) return;
  shown_ = received;
  std::string text = "\rfetching " + name_ + " " + kibibytes(received);
  if (total > 0) text += " of " + kibibytes(total);
  console_.raw(text + "\033[K");
}

void TProgressLine::finish(bool arrived) {
  if (console_.isTerminal()) console_.raw(arrived ? " done\n" : " failed\n");
}

const char* outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Found: return "found";
    case Outcome::NoPage: return "no-page";
    case Outcome::FetchFailed: return "fetch-failed";
    case Outcome::NoEntry: return "no-entry";
  }
  return "no-entry";
}

void printJson(const TLookupReport& report) {
  const bool found = report.outcome == Outcome::Found;
  const TDictionary& dictionary = *report.dictionary;
  writeOutput(TJsonObject()
                  .string("word", report.word)
                  .string("status", outcomeName(report.outcome))
                  .string("dictionary", dictionary.displayName)
                  .string("dictionaryId", dictionary.id)
                  .string("code", dictionary.code)
                  .string("url", report.pageUrl)
                  .raw("entry", found ? jsonString(report.entry) : "null")
                  .raw("languages", jsonArray(parseEntryLayout(report.entry), languageJson))
                  .raw("audio", jsonArray(report.audio, audioJson))
                  .done() +
              "\n");
}

void printEntry(const TLookupReport& report, bool asRendered, bool plain) {
  const std::string entry = visibleText(report.entry);
  if (asRendered) {
    writeOutput(rendered(entry, plain));
  } else {
    writeOutput(entry.empty() || entry.back() == '\n' ? entry : entry + "\n");
  }
}

void noteAudio(const TConsole& console, const TLookupReport& report) {
  for (const auto& file : report.audio)
    console.line("audio: " + file.name + (file.path.empty() ? "" : " -> " + file.path));
}

void printList(const std::vector<TDictionary>& rows, bool json) {
  if (json) {
    writeOutput(jsonArray(rows, [](const TDictionary& row) {
                  return TJsonObject()
                      .raw("index", std::to_string(row.index))
                      .string("id", row.id)
                      .string("code", row.code)
                      .string("name", row.displayName)
                      .string("url", row.baseUrl)
                      .done();
                }) +
                "\n");
    return;
  }
  std::string out;
  for (const auto& row : rows) {
    char text[96];
    std::snprintf(text, sizeof text, "%-3d %-4s %-12s %-12s ", row.index, row.code.c_str(),
                  row.id.c_str(), row.displayName.c_str());
    out += text + row.baseUrl + "\n";
  }
  writeOutput(out);
}

}  // namespace host
