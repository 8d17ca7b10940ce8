#include "host/session.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <type_traits>

#include "host/host_files.h"
#include "host/host_text.h"
#include "host/http_fetch.h"
#include "host/plugin_streams.h"

namespace host {
namespace {

// The first watched signal. It is also the lookup's cancel value: the plug-in
// reads it after the page fetch and after the audio stage, a running transfer
// stops at its next progress report, and no further download starts.
volatile std::sig_atomic_t gStopSignal = 0;
static_assert(std::is_same_v<std::sig_atomic_t, int32_t>, "the cancel value is a 32-bit int");

extern "C" void noteSignal(int signal) {
  if (gStopSignal == 0) gStopSignal = signal;
}

// The callbacks carry no context pointer; one lookup runs at a time.
TSession* gSession = nullptr;

using TClock = std::chrono::steady_clock;

/// What is left of the lookup's deadline, in whole milliseconds (0 or less:
/// nothing).
long millisecondsLeft() {
  const auto left = gSession->deadline - TClock::now();
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count());
}

TTransferLimits transferLimits() {
  TTransferLimits limits;
  limits.totalMilliseconds = std::max(1L, std::min(gSession->options.timeoutSeconds * 1000,
                                                  millisecondsLeft()));
  limits.maxBytes = kMaxTransferBytes;
  limits.stop = &gStopSignal;
  return limits;
}

bool isAbsent(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

Outcome readStoredPage(const std::string& target, const TBodySink& append, std::string& error) {
  std::string file;
  if (!storePath(gSession->pagesDir, target, ".html", file, error)) return Outcome::FetchFailed;
  if (readWholeFile(file, kMaxTransferBytes, append, error)) return Outcome::NoEntry;
  if (!isAbsent(file)) return Outcome::FetchFailed;  // there, but unreadable: say why
  error = "not in the page store (" + file + "); --online fetches it";
  return Outcome::NoPage;
}

/// A page fetched online, through the cache: a copy younger than a day
/// stands for the page unless --refresh; a fetched page replaces the copy; a
/// failed fetch falls back on a copy of any age, and the console says how old.
/// The cache is keyed by the site's URL, before any --map.
Outcome fetchOnline(const std::string& url, const std::string& target, TPageBstr& page,
                    const TBodySink& append, std::string& error) {
  const TPageCache& cache = gSession->cache;
  int64_t age = 0;
  const bool cached = cache.age(url, age);
  if (cached && age < TPageCache::kFreshSeconds && !gSession->options.refresh &&
      cache.read(url, append))
    return Outcome::NoEntry;
  page.clear();
  switch (httpFetch(target, transferLimits(), append, nullptr, error)) {
    case FetchResult::Arrived:
      cache.store(url, page.bytes());
      return Outcome::NoEntry;
    case FetchResult::Missing: return Outcome::NoPage;
    case FetchResult::Failed: break;
  }
  page.clear();  // what arrived before the failure
  if (cached && cache.read(url, append)) {
    gSession->console->error(error + "; showing the copy cached " + describeAge(age) + " ago");
    return Outcome::NoEntry;
  }
  return Outcome::FetchFailed;
}

/// NoEntry once the page arrived (whether it holds an entry is not known yet).
Outcome fetchPageBytes(const std::string& url, TPageBstr& page, std::string& error) {
  const std::string target = applyUrlMaps(url, gSession->options.urlMaps);
  const TBodySink append = [&page, &error](const char* data, std::size_t size) {
    if (page.append(data, size)) return true;
    error = "out of memory";  // short enough to need no allocation of its own
    return false;
  };
  if (!gSession->options.online) return readStoredPage(target, append, error);
  return fetchOnline(url, target, page, append, error);
}

int32_t DX_CDECL fetchPage(const char* url, BSTR* page) {
  try {
    if (!url || !page || gStopSignal) return 0;
    if (gSession->pageUrl.empty()) gSession->pageUrl = url;
    TPageBstr bytes;
    gSession->pageOutcome = fetchPageBytes(url, bytes, gSession->pageError);
    if (gSession->pageOutcome != Outcome::NoEntry) return 0;
    *page = bytes.release();
    return *page ? 1 : 0;
  } catch (...) {  // nothing may unwind through the plug-in's frames
    return 0;
  }
}

/// A file that an earlier lookup stored: a regular file with something in it.
bool isStored(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

bool copyFromMediaStore(const std::string& target, const std::string& path, std::string& error) {
  std::string source;
  if (!storePath(gSession->mediaDir, target, "", source, error)) return false;
  std::string bytes;
  if (!readWholeFile(source, kMaxTransferBytes, bytes, error)) {
    error = "no file for " + target + " in the media store (" + error + ")";
    return false;
  }
  return storeWhole(path, bytes, error);
}

bool fetchAudioInto(const std::string& url, const std::string& path, TProgressLine& progress,
                    std::string& error) {
  const std::string target = applyUrlMaps(url, gSession->options.urlMaps);
  if (!gSession->options.online) return copyFromMediaStore(target, path, error);
  TPartialFile file(path);
  if (!file.open(error)) return false;
  const TBodySink store = [&file, &error](const char* data, std::size_t size) {
    return file.write(data, size, error);
  };
  const TProgressSink show = [&progress](int64_t received, int64_t total) {
    progress.update(received, total);
  };
  return httpFetch(target, transferLimits(), store, show, error) == FetchResult::Arrived &&
         file.commit(error);
}

/// True once the lookup's deadline has passed, or so nearly that no transfer
/// could finish (the transfer library may end a transfer a little before its
/// time is up); says so the first time.
bool deadlinePassed() {
  constexpr long kShortestTransferMs = 100;
  if (millisecondsLeft() >= kShortestTransferMs) return false;
  if (!gSession->deadlineNoted)
    gSession->console->error("the lookup's deadline of " +
                             std::to_string(gSession->options.deadlineSeconds) +
                             " s has passed: the remaining audio files are not fetched");
  gSession->deadlineNoted = true;
  return true;
}

int32_t DX_CDECL downloadFile(const char* url, const char16_t* /*empty*/,
                              const char16_t* localPath) {
  try {
    if (!url || !localPath || gStopSignal) return 1;
    const std::string path = utf16ToUtf8(localPath);
    // The plug-in names the file; the host still writes only straight into
    // the voice-file folder under the base path it chose.
    if (!isFileStraightIn(gSession->voiceFolder, path)) {
      gSession->console->error("refusing to store audio outside " + gSession->voiceFolder + ": " +
                               path);
      return 1;
    }
    // The file at the path is the answer the plug-in asks for; --refresh
    // fetches it anew all the same.
    if (gSession->options.refresh || !isStored(path)) {
      if (deadlinePassed()) return 1;
      TProgressLine progress(*gSession->console, path.substr(gSession->voiceFolder.size()));
      std::string error;
      const bool arrived = fetchAudioInto(url, path, progress, error);
      progress.finish(arrived);
      if (!arrived) {
        gSession->console->error("audio not stored: " + error);
        return 1;
      }
    }
    gSession->stored.push_back({{}, path, url});
    return 0;
  } catch (...) {
    return 1;
  }
}

/// Pairs each name the plug-in reported with the download it stands for.
std::vector<TAudioFile> reportedAudio(const LookupResult& result, std::vector<TAudioFile> stored) {
  std::vector<TAudioFile> files;
  for (const BSTR slot : result.audioFiles) {
    if (!slot) break;  // the slots were cleared; the plug-in fills them from 0 on
    TAudioFile file{utf16ToUtf8(slot), {}, {}};
    for (auto it = stored.begin(); it != stored.end(); ++it) {
      const std::string& path = it->path;
      if (path.size() >= file.name.size() &&
          path.compare(path.size() - file.name.size(), file.name.size(), file.name) == 0) {
        file.path = path;
        file.url = it->url;
        stored.erase(it);
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

}  // namespace

void watchSignals() {
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // A reader or a server that went away shows as a failed write (EPIPE) where
  // it happens, never as the end of the whole run.
  std::signal(SIGPIPE, SIG_IGN);
}

int stopSignal() { return gStopSignal; }

TLookupReport lookUp(TSession& session, const TPluginModule& module, const TDictionary& dictionary,
                     const std::string& typed) {
  std::u16string word;
  utf8ToUtf16(typed, word);  // checked by the caller
  std::u16string basePath;
  utf8ToUtf16(session.basePath, basePath);  // checked by the caller

  LookupResult result{};
  result.cancelFlag = const_cast<const int32_t*>(&gStopSignal);
  // Without a download callback the plug-in skips its audio stage and creates
  // no voice-file folder.
  HostCallbacks callbacks{fetchPage, session.options.noAudio ? nullptr : downloadFile};
  session.pageUrl.clear();
  session.pageOutcome = Outcome::NoEntry;
  session.pageError.clear();
  session.stored.clear();
  session.deadline = TClock::now() + std::chrono::seconds(session.options.deadlineSeconds);
  gSession = &session;
  int32_t found = 0;
  std::string traceLines;
  {
    TPluginStreams streams(session.options.trace);
    found = module.request()(dictionary.index, word.c_str(), &result, basePath.c_str(), &callbacks);
    traceLines = streams.restore();
  }
  gSession = nullptr;
  session.console->raw(visibleText(traceLines));

  TLookupReport report;
  report.word = typed;
  report.pageUrl = session.pageUrl;
  report.dictionary = &dictionary;
  report.pageError = session.pageError;
  if (found != 0 && result.entryText) {
    report.outcome = Outcome::Found;
    report.entry = utf16ToUtf8(result.entryText);
  } else {
    report.outcome = session.pageOutcome;
  }
  report.audio = reportedAudio(result, session.stored);
  freeResult(result);
  return report;
}

}  // namespace host
