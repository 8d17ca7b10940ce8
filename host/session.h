// One lookup through the plug-in: the session that the two callbacks serve
// (the plug-in's callbacks carry no context pointer, so one lookup runs at a
// time), and the signals that end it early.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "host/options.h"
#include "host/page_cache.h"
#include "host/output.h"
#include "host/plugin_module.h"

namespace host {

/// Notes SIGINT, SIGTERM and SIGHUP instead of ending the program at once, so
/// that the lookup ends normally and leaves no partial file; ignores SIGPIPE.
void watchSignals();
/// The watched signal that arrived first, or 0.
int stopSignal();

struct TSession {
  TOptions options;
  const TConsole* console = nullptr;
  int entriesShown = 0;     ///< entries printed so far in this run
  std::string modulePath;  ///< the module loaded, as the loader was given it
  TPageCache cache;  ///< online pages; holds nothing offline or with --no-cache
  std::string pagesDir;
  std::string mediaDir;
  std::string basePath;     ///< a folder, ending with "/"
  std::string voiceFolder;  ///< basePath + "VoiceFiles/": downloads go nowhere else
  std::string pageUrl;      ///< the URL the plug-in asked for first
  Outcome pageOutcome = Outcome::NoEntry;  ///< NoEntry once the page arrived
  std::string pageError;
  std::vector<TAudioFile> stored;  ///< the audio files now in the voice folder (no names yet)
  std::chrono::steady_clock::time_point deadline;  ///< the end of the whole lookup
  bool deadlineNoted = false;  ///< the console has said that the deadline passed
};

/// Looks `word` (well-formed UTF-8) up in `dictionary` through the module.
TLookupReport lookUp(TSession& session, const TPluginModule& module, const TDictionary& dictionary,
                     const std::string& word);

}  // namespace host
