#include "host/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "host/host_text.h"

namespace host {
namespace {

std::string kibibytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return text;
}

std::string jsonString(const std::string& text) { return "\"" + jsonEscape(text) + "\""; }

}  // namespace

void writeAll(int fd, const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t done = ::write(fd, p, left);
    if (done <= 0) return;  // a closed pipe or a full disk: nothing better to do
    p += done;
    left -= static_cast<std::size_t>(done);
  }
}

TConsole::TConsole() {
  fd_ = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (fd_ < 0) fd_ = 2;
  isTerminal_ = ::isatty(fd_) == 1;
}

TProgressLine::TProgressLine(const TConsole& console, std::string name)
    : console_(console), name_(std::move(name)) {
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

void printJson(const TLookupReport& report) {
  std::string out = "{\"word\":" + jsonString(report.word) +
                    ",\"dictionary\":" + jsonString(report.dictionary->displayName) +
                    ",\"url\":" + jsonString(report.pageUrl) +
                    ",\"entry\":" + (report.hasEntry ? jsonString(report.entry) : "null") +
                    ",\"audio\":[";
  for (std::size_t i = 0; i < report.audio.size(); ++i) {
    if (i) out += ",";
    out += "{\"name\":" + jsonString(report.audio[i].name) +
           ",\"path\":" + jsonString(report.audio[i].path) + "}";
  }
  writeAll(1, out + "]}\n");
}

void printText(const TConsole& console, const TLookupReport& report) {
  const std::string& entry = report.entry;
  writeAll(1, entry.empty() || entry.back() == '\n' ? entry : entry + "\n");
  for (const auto& file : report.audio)
    console.line("audio: " + file.name + (file.path.empty() ? "" : " -> " + file.path));
}

void printList(const std::vector<TDictionary>& rows, bool json) {
  std::string out = json ? "[" : "";
  for (const auto& row : rows) {
    if (json) {
      out += (row.index ? "," : "") + std::string("{\"index\":") + std::to_string(row.index) +
             ",\"id\":" + jsonString(row.id) + ",\"name\":" + jsonString(row.displayName) +
             ",\"url\":" + jsonString(row.baseUrl) + "}";
    } else {
      char text[64];
      std::snprintf(text, sizeof text, "%-3d %-12s %-12s ", row.index, row.id.c_str(),
                    row.displayName.c_str());
      out += text + row.baseUrl + "\n";
    }
  }
  writeAll(1, json ? out + "]\n" : out);
}

}  // namespace host
