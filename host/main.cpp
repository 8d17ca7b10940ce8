// lexoradx-lookup: a command-line dictionary host. It loads the plug-in module
// by path, calls only its two exports, and serves the plug-in's callbacks from
// an offline page store or over HTTP. This file reads the command line, finds
// the module, the stores and the base path, and maps the outcome to the exit
// status.
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "host/host_files.h"
#include "host/host_text.h"
#include "host/module_config.h"
#include "host/options.h"
#include "host/output.h"
#include "host/plugin_module.h"
#include "host/session.h"

namespace {

using namespace host;

// The exit statuses; the --help text lists them.
constexpr int kExitFound = 0;
constexpr int kExitNoPage = 1;
constexpr int kExitUsage = 2;
constexpr int kExitModule = 3;
constexpr int kExitFetchFailed = 4;
constexpr int kExitNoEntry = 5;
constexpr int kExitOutput = 6;
constexpr int kExitSignalBase = 128;  // the shell's code for an end by signal N is 128 + N

constexpr const char* kVoiceFolder = "VoiceFiles";
constexpr const char* kModuleVariable = "LEXORADX_MODULE";

// --- where things are --------------------------------------------------------

std::string executableFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string exe(path, static_cast<std::size_t>(length));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

bool exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::string absolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

/// The module that --module or the environment names; empty when neither does.
std::string namedModule(const TOptions& options) {
  if (!options.modulePath.empty()) return options.modulePath;
  const char* named = std::getenv(kModuleVariable);
  return named ? named : "";
}

/// The module of the installed layout (<prefix>/bin beside
/// <prefix>/lib/lexoradx), which the build tree repeats (<build>/host beside
/// <build>/lib/lexoradx).
std::string installedModule() { return executableFolder() + "/" DX_MODULE_FROM_PROGRAM; }

/// The module to load: the named one as it stands (the loader says why it
/// cannot be loaded), else the installed one if it exists; empty when none.
std::string findModule(const TOptions& options) {
  const std::string named = namedModule(options);
  if (!named.empty()) return named;
  const std::string installed = installedModule();
  return exists(installed) ? absolutePath(installed) : "";
}

/// The bundled samples: beside an installed program, else in the source tree
/// this program was built from.
std::string bundledSamples(const std::string& which) {
  const std::string installed = executableFolder() + "/" DX_SAMPLES_FROM_PROGRAM "/" + which;
  if (exists(installed)) return absolutePath(installed);
  return std::string(DX_SOURCE_DIR) + "/samples/" + which;
}

/// The page cache's folder, $XDG_CACHE_HOME/lexoradx/pages/ or
/// ~/.cache/lexoradx/pages/; none offline or with --no-cache.
std::string pageCacheFolder(const TOptions& options) {
  if (!options.online || options.noCache) return {};
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  if (cacheHome && cacheHome[0] == '/') return std::string(cacheHome) + "/lexoradx/pages/";
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : ".") + "/.cache/lexoradx/pages/";
}

std::string defaultBasePath() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return std::string(dataHome) + "/lexoradx/";
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : ".") + "/.local/share/lexoradx/";
}

// --- the program -------------------------------------------------------------

/// A descriptor among 0, 1 and 2 that the program was started without is taken
/// by /dev/null opened read-only: writes to it then fail as they would on the
/// closed descriptor, and no file this program opens can land there.
void holdStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

int usageError(const TConsole& console, const std::string& message) {
  console.error(message);
  console.line(std::string("Try '") + kProgram + " --help'.");
  return kExitUsage;
}

void printVersion(const TOptions& options) {
  const std::string module = findModule(options);
  writeOutput(std::string(kProgram) + " " + DX_VERSION + "\nmodule: " +
              (module.empty() ? "not found (tried " + installedModule() + ")" : module) + "\n");
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
  const std::string absolute = absolutePath(basePath);
  return absolute.back() == '/' ? absolute : absolute + "/";
}

int exitStatus(Outcome outcome) {
  switch (outcome) {
    case Outcome::Found: return kExitFound;
    case Outcome::NoPage: return kExitNoPage;
    case Outcome::FetchFailed: return kExitFetchFailed;
    case Outcome::NoEntry: return kExitNoEntry;
  }
  return kExitNoEntry;
}

/// Why a page holds no entry may be the module's markup: without the switch
/// it reads the classic markup only, which today's site no longer serves.
std::string markupHint(const std::string& modulePath) {
  if (readsCurrentMarkup(modulePath)) return "";
  return "; it may be in a later markup, which the module reads only with CurrentMarkup=1 in " +
         moduleConfigPath(modulePath);
}

void explain(const TSession& session, const TLookupReport& report) {
  const TConsole& console = *session.console;
  const std::string where = "\"" + report.word + "\" in " + report.dictionary->displayName;
  switch (report.outcome) {
    case Outcome::Found: return;
    case Outcome::NoPage: return console.error("no page for " + where + ": " + report.pageError);
    case Outcome::FetchFailed: return console.error(report.pageError);
    case Outcome::NoEntry:
      return console.error("no entry for " + where + ": the page " + report.pageUrl +
                           " holds none" + markupHint(session.modulePath));
  }
}

/// Prints one lookup's outcome. With several lookups in a run each entry is
/// a block of its own, headed by the word and the dictionary's name.
int report(TSession& session, const TLookupReport& result, bool headed) {
  const TOptions& options = session.options;
  if (options.json) printJson(result);
  explain(session, result);
  if (result.outcome == Outcome::Found && !options.json) {
    if (headed)
      writeOutput(std::string(session.entriesShown ? "\n" : "") + "==> " + visibleText(result.word) +
                  " in " + result.dictionary->displayName + " <==\n");
    ++session.entriesShown;
    const bool rendered = !options.raw && ::isatty(1) == 1;
    const char* noColor = std::getenv("NO_COLOR");
    printEntry(result, rendered, noColor && noColor[0]);
    noteAudio(*session.console, result);
  }
  return exitStatus(result.outcome);
}

/// Looks `word` up in `dictionary`; a word with capitals that has no page is
/// tried again with its first letter, then all of it, in lower case, and the
/// console says which page is shown.
TLookupReport lookUpOrLowerCase(TSession& session, const TPluginModule& module,
                                const TDictionary& dictionary, const std::string& word) {
  TLookupReport result = lookUp(session, module, dictionary, word);
  for (const std::string& form : lowerCaseForms(word)) {
    if (result.outcome != Outcome::NoPage || stopSignal()) break;
    TLookupReport lowered = lookUp(session, module, dictionary, form);
    if (lowered.outcome == Outcome::NoPage) continue;
    session.console->error("no page for \"" + word + "\" in " + dictionary.displayName +
                           "; showing \"" + form + "\"");
    result = std::move(lowered);
  }
  return result;
}

/// Looks `word` up in every chosen dictionary: 0 when any has its entry,
/// else the lowest status.
int lookUpEverywhere(TSession& session, const TPluginModule& module,
                     const std::vector<const TDictionary*>& dictionaries, const std::string& word,
                     bool headed) {
  std::u16string unused;
  if (!utf8ToUtf16(word, unused)) {
    session.console->error("\"" + word + "\" is not UTF-8");
    return kExitUsage;
  }
  int best = INT_MAX;
  for (const TDictionary* dictionary : dictionaries) {
    const TLookupReport result = lookUpOrLowerCase(session, module, *dictionary, word);
    if (stopSignal()) return kExitFound;  // the signal decides the status; nothing to report
    best = std::min(best, report(session, result, headed));
  }
  return best;
}

/// The words of standard input, one a line without the blanks around it
/// (blank lines skipped), each looked up in turn; the highest status of them all.
int lookUpInputWords(TSession& session, const TPluginModule& module,
                     const std::vector<const TDictionary*>& dictionaries) {
  constexpr const char* kBlanks = " \t\r";
  int worst = kExitFound;
  std::string line;
  while (!stopSignal() && std::getline(std::cin, line)) {
    const auto first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos) continue;
    const std::string word = line.substr(first, line.find_last_not_of(kBlanks) + 1 - first);
    worst = std::max(worst, lookUpEverywhere(session, module, dictionaries, word, true));
  }
  return worst;
}

int lookUpWords(TSession& session, const TPluginModule& module,
                const std::vector<TDictionary>& all) {
  const TConsole& console = *session.console;
  const TOptions& options = session.options;
  std::string unknown;
  const std::vector<const TDictionary*> dictionaries =
      chooseDictionaries(all, options.dictionaries, unknown);
  if (dictionaries.empty()) return usageError(console, "no dictionary \"" + unknown + "\" (see --list)");
  session.pagesDir = options.pagesDir.empty() ? bundledSamples("pages") : options.pagesDir;
  session.cache = TPageCache(pageCacheFolder(options));
  session.mediaDir = options.mediaDir.empty() ? bundledSamples("media") : options.mediaDir;
  // Only a lookup that downloads needs the base path on disk.
  session.basePath = options.noAudio ? session.basePath : prepareBasePath(console, session.basePath);
  session.voiceFolder = session.basePath + kVoiceFolder + "/";
  const int status = options.word == "-"
                         ? lookUpInputWords(session, module, dictionaries)
                         : lookUpEverywhere(session, module, dictionaries, options.word,
                                            dictionaries.size() > 1);
  if (const int signal = stopSignal()) return kExitSignalBase + signal;
  return status;
}

int run(int argc, char** argv, const TConsole& console) {
  TSession session;
  session.console = &console;
  TOptions& options = session.options;
  const std::string usage = parseOptions(argc, argv, options);
  if (!usage.empty()) return usageError(console, usage);
  if (options.help) {
    writeOutput(usageText());
    return kExitFound;
  }
  if (options.version) {
    printVersion(options);
    return kExitFound;
  }
  if (options.wordMissing && !options.list && ::isatty(0) == 1) return usageError(console, "missing WORD");
  // Every argument is checked before anything touches the disk.
  std::u16string unused;
  if (!utf8ToUtf16(options.word, unused)) return usageError(console, "WORD is not UTF-8");
  session.basePath = options.basePath.empty() ? defaultBasePath() : options.basePath;
  if (session.basePath.back() != '/') session.basePath += '/';
  if (!utf8ToUtf16(session.basePath, unused)) return usageError(console, "--base-path is not UTF-8");

  const std::string modulePath = findModule(options);
  if (modulePath.empty()) {
    console.error("cannot find the plug-in module (tried " + installedModule() + "); --module or " +
                  kModuleVariable + " names it");
    return kExitModule;
  }
  session.modulePath = modulePath;
  TPluginModule module;
  std::string error;
  if (!module.load(modulePath, error)) {
    console.error("cannot load the plug-in module: " + error);
    return kExitModule;
  }
  if (options.list) {
    printList(module.dictionaries(), options.json);
    return kExitFound;
  }
  return lookUpWords(session, module, module.dictionaries());
}

/// The end of a run: a signal wins, then a failed write.
int finish(const TConsole& console, int status) {
  if (const int signal = stopSignal()) {
    if (signal == SIGINT) console.error("interrupted");
    if (signal == SIGTERM) console.error("terminated");
    if (signal == SIGHUP) console.error("hung up");
    return kExitSignalBase + signal;
  }
  std::string error;
  if (!closeOutput(error)) {
    console.error(error);
    return kExitOutput;
  }
  return status;
}

// A lookup's large blocks (the page, its wide text, a long section text, the
// entry) come and go one after another. By default the C library raises its
// threshold for mapping a block on its own each time such a block is freed,
// so the next ones land in the heap, where growing one copies it and a freed
// one stays resident. A fixed threshold keeps every large block mapped: it
// grows without a copy and its memory goes back when it is freed.
void keepLargeBlocksMapped() {
  constexpr int kLargeBlockBytes = 1 << 20;
  mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
}

}  // namespace

int main(int argc, char** argv) {
  keepLargeBlocksMapped();
  holdStandardDescriptors();
  const TConsole console;
  watchSignals();
  int status = kExitNoEntry;
  try {
    status = run(argc, argv, console);
  } catch (const std::exception& failure) {
    console.error(failure.what());
  }
  return finish(console, status);
}
