// What lexoradx-lookup says: the entry and the lists on standard output, its
// own messages and the download progress on standard error. The console writes
// through a copy of descriptor 2 taken at start, so it stays visible while the
// plug-in's own lines are silenced during a lookup.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_module.h"

namespace host {

constexpr const char* kProgram = "lexoradx-lookup";

/// Writes all of `text` to `fd`, retrying short writes; 0, or the errno of
/// the write that failed.
int writeAll(int fd, const std::string& text);

/// Standard output. Every write is checked; after the first failure nothing
/// more is written, and closeOutput() reports it.
void writeOutput(const std::string& text);
/// Closes standard output; false with `error` set when a write or the close
/// failed (a full disk, a closed descriptor).
bool closeOutput(std::string& error);

/// The host's own voice on standard error. Its messages quote URLs, names
/// and lines that come from the page, so every line is shown through
/// visibleText(); only raw() writes the host's own control sequences.
class TConsole {
 public:
  TConsole();
  void line(const std::string& text) const;
  void error(const std::string& text) const { line(std::string(kProgram) + ": " + text); }
  void raw(const std::string& text) const { writeAll(fd_, text); }
  bool isTerminal() const { return isTerminal_; }

 private:
  int fd_ = 2;
  bool isTerminal_ = false;
};

/// One progress line per audio file, redrawn in place, on a terminal only.
class TProgressLine {
 public:
  TProgressLine(const TConsole& console, std::string name);
  void update(int64_t received, int64_t total);
  void finish(bool arrived);

 private:
  static constexpr int64_t kStep = 64 * 1024;

  const TConsole& console_;
  std::string name_;
  int64_t shown_ = -kStep;
};

struct TAudioFile {
  std::string name;
  std::string path;  ///< empty when the host cannot tell where it went
  std::string url;   ///< where it came from, as the plug-in asked; empty when unknown
};

/// How a lookup ended, when no signal ended it first.
enum class Outcome {
  Found,        ///< the page arrived and holds an entry
  NoPage,       ///< there is no page for the word (404, or none in the store)
  FetchFailed,  ///< the page could not be fetched (no answer, a timeout, a 5xx, ...)
  NoEntry,      ///< the page arrived but holds no entry
};

/// The outcome as JSON names it: "found", "no-page", "fetch-failed", "no-entry".
const char* outcomeName(Outcome outcome);

/// What one lookup gave back, for the printers.
struct TLookupReport {
  std::string word;
  std::string pageUrl;  ///< the URL the plug-in asked for first
  const TDictionary* dictionary = nullptr;
  Outcome outcome = Outcome::NoEntry;
  std::string pageError;  ///< why the page did not arrive
  std::string entry;      ///< empty unless found
  std::vector<TAudioFile> audio;
};

void printJson(const TLookupReport& report);
/// The entry as the plug-in laid it out, or `rendered` for a person at a
/// terminal: headings emphasised (unless `plain`), the texts as they stand.
/// Either way its control characters are shown, never sent (visibleText).
void printEntry(const TLookupReport& report, bool rendered, bool plain);
/// One line per stored audio file on the console: "audio: NAME -> PATH".
void noteAudio(const TConsole& console, const TLookupReport& report);
void printList(const std::vector<TDictionary>& rows, bool json);

}  // namespace host
