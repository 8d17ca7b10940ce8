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

/// Writes all of `text` to `fd`, retrying short writes.
void writeAll(int fd, const std::string& text);

/// The host's own voice on standard error.
class TConsole {
 public:
  TConsole();
  void line(const std::string& text) const { writeAll(fd_, text + "\n"); }
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
};

/// What one lookup gave back, for the printers.
struct TLookupReport {
  std::string word;
  std::string pageUrl;  ///< the URL the plug-in asked for first
  const TDictionary* dictionary = nullptr;
  bool hasEntry = false;
  std::string entry;
  std::vector<TAudioFile> audio;
};

void printJson(const TLookupReport& report);
void printText(const TConsole& console, const TLookupReport& report);
void printList(const std::vector<TDictionary>& rows, bool json);

}  // namespace host
