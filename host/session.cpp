#include "host/session.h"

#include <csignal>
#include <type_traits>

#include "host/host_files.h"
#include "host/host_text.h"
#include "host/http_fetch.h"
#include "host/quiet_streams.h"

namespace host {
namespace {

// Set by SIGINT or SIGTERM. It is also the lookup's cancel value: the plug-in
// reads it after the page fetch and after the audio stage, a running transfer
// stops at its next progress report, and no further download starts, so an
// interrupted lookup ends normally and leaves no partial file.
volatile std::sig_atomic_t gInterrupted = 0;
static_assert(std::is_same_v<std::sig_atomic_t, int32_t>, "the cancel value is a 32-bit int");

extern "C" void noteInterruption(int) { gInterrupted = 1; }

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

}  // namespace

void watchInterruptions() {
  struct sigaction action {};
  action.sa_handler = noteInterruption;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() { return gInterrupted != 0; }

TLookupReport lookUp(TSession& session, const TPluginModule& module, const TDictionary& dictionary) {
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

  TLookupReport report;
  report.word = session.options.word;
  report.pageUrl = session.pageUrl;
  report.dictionary = &dictionary;
  report.hasEntry = found != 0 && result.entryText;
  if (report.hasEntry) report.entry = utf16ToUtf8(result.entryText);
  report.audio = reportedAudio(result, session.arrived);
  freeResult(result);
  return report;
}

}  // namespace host
