// lexoradx-lookup: a command-line dictionary host. It loads the plug-in module
// by path, calls only its two exports, and serves the plug-in's callbacks from
// an offline page store or over HTTP. Everything the host itself says on
// standard error goes through a copy of descriptor 2 taken at start, so it
// stays visible while the plug-in's own lines are silenced during a lookup.
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "host/host_files.h"
#include "host/host_text.h"
#include "host/http_fetch.h"
#include "host/options.h"
#include "host/plugin_module.h"
#include "host/quiet_streams.h"

namespace {

using namespace host;

constexpr int kExitFound = 0;
constexpr int kExitNoEntry = 1;
constexpr int kExitUsage = 2;
constexpr int kExitModule = 3;
constexpr int kExitInterrupted = 130;  // the shell's code for an end by SIGINT

constexpr const char* kProgram = "lexoradx-lookup";
constexpr const char* kVoiceFolder = "VoiceFiles";

// --- output ------------------------------------------------------------------

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

/// The host's own voice on standard error.
class TConsole {
 public:
  TConsole() {
    fd_ = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (fd_ < 0) fd_ = 2;
    isTerminal_ = ::isatty(fd_) == 1;
  }
  void line(const std::string& text) const { writeAll(fd_, text + "\n"); }
  void error(const std::string& text) const { line(std::string(kProgram) + ": " + text); }
  void raw(const std::string& text) const { writeAll(fd_, text); }
  bool isTerminal() const { return isTerminal_; }

 private:
  int fd_ = 2;
  bool isTerminal_ = false;
};

std::string kibibytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return text;
}

/// One progress line per audio file, redrawn in place, on a terminal only.
class TProgressLine {
 public:
  TProgressLine(const TConsole& console, std::string name)
      : console_(console), name_(std::move(name)) {
    if (console_.isTerminal()) console_.raw("fetching " + name_ + " ...");
  }
  void update(int64_t received, int64_t total) {
    // Redrawn every 64 KiB and at the end, not on each of curl's calls.
    const bool atEnd = total > 0 && received == total;
    if (!console_.isTerminal() || received == shown_ || (received - shown_ < kStep && !atEnd)) return;
    shown_ = received;
    std::string text = "\rfetching " + name_ + " " + kibibytes(received);
    if (total > 0) text += " of " + kibibytes(total);
    console_.raw(text + "\033[K");
  }
  void finish(bool arrived) {
    if (console_.isTerminal()) console_.raw(arrived ? " done\n" : " failed\n");
  }

 private:
  static constexpr int64_t kStep = 64 * 1024;

  const TConsole& console_;
  std::string name_;
  int64_t shown_ = -kStep;
};

// --- interruption ------------------------------------------------------------

// Set by SIGINT or SIGTERM. It is also the lookup's cancel value: the plug-in
// reads it after the page fetch and after the audio stage, a running transfer
// stops at its next progress report, and no further download starts, so an
// interrupted lookup ends normally and leaves no partial file.
volatile std::sig_atomic_t gInterrupted = 0;
static_assert(std::is_same_v<std::sig_atomic_t, int32_t>, "the cancel value is a 32-bit int");

extern "C" void noteInterruption(int) { gInterrupted = 1; }

void watchInterruptions() {
  struct sigaction action {};
  action.sa_handler = noteInterruption;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// --- the lookup session ------------------------------------------------------

struct TSession {
  TOptions options;
  const TConsole* console = nullptr;
  std::string pagesDir;
  std::string mediaDir;
  std::string basePath;     ///< a folder, ending with "/"
  std::string voiceFolder;  ///< basePath + "VoiceFiles/": downloads go nowhere else
  std::string pageUrl;      ///< the URL the plug-in asked for first
  std::vector<std::string> arrived;  ///< local paths of the downloads that succeeded
};

// The callbacks carry no context pointer; one lookup runs at a time.
TSession* gSession = nullptr;

TTransferLimits transferLimits() {
  TTransferLimits limits;
  limits.totalSeconds = gSession->options.timeoutSeconds;
  limits.maxBytes = kMaxTransferBytes;
  limits.stop = &gInterrupted;
  return limits;
}

bool fetchPageBytes(const std::string& url, std::string& bytes, std::string& error) {
  const std::string target = applyUrlMaps(url, gSession->options.urlMaps);
  if (gSession->options.online) {
    const TBodySink append = [&bytes](const char* data, std::size_t size) {
      bytes.append(data, size);
      return true;
    };
    return httpFetch(target, transferLimits(), append, nullptr, error);
  }
  std::string file;
  if (!storePath(gSession->pagesDir, target, ".html", file, error)) return false;
  if (readWholeFile(file, kMaxTransferBytes, bytes, error)) return true;
  error = "no page for " + target + " in the page store (" + error + "); --online fetches it";
  return false;
}

int32_t DX_CDECL fetchPage(const char* url, BSTR* page) {
  try {
    if (!url || !page || gInterrupted) return 0;
    if (gSession->pageUrl.empty()) gSession->pageUrl = url;
    std::string bytes;
    std::string error;
    if (!fetchPageBytes(url, bytes, error)) {
      gSession->console->error(error);
      return 0;
    }
    *page = allocPageBstr(bytes);
    return *page ? 1 : 0;
  } catch (...) {  // nothing may unwind through the plug-in's frames
    return 0;
  }
}

/// The plug-in names the file; the host still writes only straight into the
/// voice-file folder under the base path it chose.
bool isInsideVoiceFolder(const std::string& path) {
  const std::string& folder = gSession->voiceFolder;
  if (path.compare(0, folder.size(), folder) != 0) return false;
  const std::string name = path.substr(folder.size());
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool fetchAudioInto(const std::string& url, const std::string& path, TProgressLine& progress,
                    std::string& error) {
  const std::string target = applyUrlMaps(url, gSession->options.urlMaps);
  if (!gSession->options.online) {
    std::string source;
    if (!storePath(gSession->mediaDir, target, "", source, error)) return false;
    if (copyFileInto(source, path, error)) return true;
    error = "no file for " + target + " in the media store (" + error + ")";
    return false;
  }
  TPartialFile file(path);
  if (!file.open(error)) return false;
  const TBodySink store = [&file, &error](const char* data, std::size_t size) {
    return file.write(data, size, error);
  };
  const TProgressSink show = [&progress](int64_t received, int64_t total) {
    progress.update(received, total);
  };
  return httpFetch(target, transferLimits(), store, show, error) && file.commit(error);
}

int32_t DX_CDECL downloadFile(const char* url, const char16_t* /*empty*/,
                              const char16_t* localPath) {
  try {
    if (gSession->options.noAudio || !url || !localPath || gInterrupted) return 1;
    const std::string path = utf16ToUtf8(localPath);
    if (!isInsideVoiceFolder(path)) {
      gSession->console->error("refusing to store audio outside " + gSession->voiceFolder + ": " +
                               path);
      return 1;
    }
    TProgressLine progress(*gSession->console, path.substr(gSession->voiceFolder.size()));
    std::string error;
    const bool arrived = fetchAudioInto(url, path, progress, error);
    progress.finish(arrived);
    if (!arrived) {
      gSession->console->error("audio not stored: " + error);
      return 1;
    }
    gSession->arrived.push_back(path);
    return 0;
  } catch (...) {
    return 1;
  }
}

// --- where things are --------------------------------------------------------

std::string executableFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string exe(path, static_cast<std::size_t>(length));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

bool isFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/// The bundled samples: the source tree this program was built from, else
/// the tree above a build folder (<repo>/build/<preset>/host).
std::string bundledSamples(const std::string& which) {
#ifdef DX_SOURCE_DIR
  const std::string source = std::string(DX_SOURCE_DIR) + "/samples";
  if (isFolder(source)) return source + "/" + which;
#endif
  return executableFolder() + "/../../../samples/" + which;
}

std::string defaultBasePath() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return std::string(dataHome) + "/lexoradx/";
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : ".") + "/.local/share/lexoradx/";
}

// --- output of a lookup ------------------------------------------------------

struct TAudioFile {
  std::string name;
  std::string path;  ///< empty when the host cannot tell where it went
};

/// Pairs each name the plug-in reported with the download it stands for.
std::vector<TAudioFile> reportedAudio(const LookupResult& result,
                                      std::vector<std::string> arrived) {
  std::vector<TAudioFile> files;
  for (const BSTR slot : result.audioFiles) {
    if (!slot) break;  // the slots were cleared; the plug-in fills them from 0 on
    TAudioFile file{utf16ToUtf8(slot), {}};
    for (auto it = arrived.begin(); it != arrived.end(); ++it) {
      if (it->size() >= file.name.size() &&
          it->compare(it->size() - file.name.size(), file.name.size(), file.name) == 0) {
        file.path = *it;
        arrived.erase(it);
        break;
      }
    }
    files.push_back(std::move(file));
  }
  return files;
}

void freeResult(LookupResult& result) {
  freeBstr(result.extraText);
  freeBstr(result.entryText);
  for (BSTR& slot : result.audioFiles) freeBstr(slot);
  result = LookupResult{};
}

std::string jsonString(const std::string& text) { return "\"" + jsonEscape(text) + "\""; }

void printJson(const TSession& session, const TDictionary& dictionary, const std::string* entry,
               const std::vector<TAudioFile>& audio) {
  std::string out = "{\"word\":" + jsonString(session.options.word) +
                    ",\"dictionary\":" + jsonString(dictionary.displayName) +
                    ",\"url\":" + jsonString(session.pageUrl) +
                    ",\"entry\":" + (entry ? jsonString(*entry) : "null") + ",\"audio\":[";
  for (std::size_t i = 0; i < audio.size(); ++i) {
    if (i) out += ",";
    out += "{\"name\":" + jsonString(audio[i].name) + ",\"path\":" + jsonString(audio[i].path) + "}";
  }
  writeAll(1, out + "]}\n");
}

void printText(const TConsole& console, const std::string& entry,
               const std::vector<TAudioFile>& audio) {
  writeAll(1, entry.empty() || entry.back() == '\n' ? entry : entry + "\n");
  for (const auto& file : audio)
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

// --- the program -------------------------------------------------------------

int usageError(const TConsole& console, const std::string& message) {
  console.error(message);
  console.line(std::string("Try '") + kProgram + " --help'.");
  return kExitUsage;
}

/// Makes the base path name a folder that exists: the plug-in keeps only the
/// folder part of it, so it must end with "/".
std::string prepareBasePath(const TConsole& console, std::string basePath) {
  if (basePath.back() != '/') basePath += '/';
  std::string error;
  if (!makeDirectories(basePath.substr(0, basePath.size() - 1), error)) {
    console.error(error + " (audio files cannot be stored)");
    return basePath;
  }
  // Absolute, so that the paths reported for the audio files stand on their own.
  char resolved[PATH_MAX];
  if (::realpath(basePath.c_str(), resolved) == nullptr) return basePath;
  const std::string absolute = resolved;
  return absolute.back() == '/' ? absolute : absolute + "/";
}

int lookUp(TSession& session, const TPluginModule& module, const TDictionary& dictionary) {
  std::u16string word;
  utf8ToUtf16(session.options.word, word);  // checked by the caller
  std::u16string basePath;
  utf8ToUtf16(session.basePath, basePath);  // checked by the caller

  LookupResult result{};
  result.cancelFlag = const_cast<const int32_t*>(&gInterrupted);
  HostCallbacks callbacks{fetchPage, downloadFile};
  gSession = &session;
  int32_t found = 0;
  {
    TQuietStreams quiet(!session.options.trace);
    found = module.request()(dictionary.index, word.c_str(), &result, basePath.c_str(), &callbacks);
  }
  gSession = nullptr;

  const bool hasEntry = found != 0 && result.entryText;
  const std::string entry = hasEntry ? utf16ToUtf8(result.entryText) : std::string();
  const std::vector<TAudioFile> audio = reportedAudio(result, session.arrived);
  freeResult(result);

  if (gInterrupted) {
    session.console->error("interrupted");
    return kExitInterrupted;
  }
  if (session.options.json) printJson(session, dictionary, hasEntry ? &entry : nullptr, audio);
  if (!hasEntry) {
    session.console->error("no entry for \"" + session.options.word + "\" in " +
                           dictionary.displayName);
    return kExitNoEntry;
  }
  if (!session.options.json) printText(*session.console, entry, audio);
  return kExitFound;
}

int run(int argc, char** argv, const TConsole& console) {
  TSession session;
  session.console = &console;
  const std::string usage = parseOptions(argc, argv, session.options);
  if (!usage.empty()) return usageError(console, usage);
  if (session.options.help) {
    writeAll(1, usageText());
    return kExitFound;
  }
  std::u16string word;
  if (!utf8ToUtf16(session.options.word, word)) return usageError(console, "WORD is not UTF-8");

  const std::string modulePath = session.options.modulePath.empty()
                                     ? executableFolder() + "/../plugin/LexoraDX.so"
                                     : session.options.modulePath;
  TPluginModule module;
  std::string error;
  if (!module.load(modulePath, error)) {
    console.error("cannot load the plug-in module: " + error);
    return kExitModule;
  }
  const std::vector<TDictionary> dictionaries = module.dictionaries();
  if (session.options.list) {
    printList(dictionaries, session.options.json);
    return kExitFound;
  }
  const TDictionary* dictionary = findDictionary(dictionaries, session.options.dictionary);
  if (!dictionary)
    return usageError(console, "no dictionary \"" + session.options.dictionary + "\" (see --list)");

  const TOptions& options = session.options;
  session.pagesDir = options.pagesDir.empty() ? bundledSamples("pages") : options.pagesDir;
  session.mediaDir = options.mediaDir.empty() ? bundledSamples("media") : options.mediaDir;
  session.basePath = prepareBasePath(
      console, options.basePath.empty() ? defaultBasePath() : options.basePath);
  std::u16string unused;
  if (!utf8ToUtf16(session.basePath, unused)) return usageError(console, "--base-path is not UTF-8");
  session.voiceFolder = session.basePath + kVoiceFolder + "/";
  return lookUp(session, module, *dictionary);
}

}  // namespace

int main(int argc, char** argv) {
  const TConsole console;
  watchInterruptions();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  int status = kExitNoEntry;
  try {
    status = run(argc, argv, console);
  } catch (const std::exception& failure) {
    console.error(failure.what());
  }
  curl_global_cleanup();
  return status;
}
