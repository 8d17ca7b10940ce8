// lexoradx-lookup: a command-line dictionary host. It loads the plug-in module
// by path, calls only its two exports, and serves the plug-in's callbacks from
// an offline page store or over HTTP. This file reads the command line, finds
// the module, the stores and the base path, and maps the outcome to the exit
// status.
#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/host_files.h"
#include "host/host_text.h"
#include "host/options.h"
#include "host/output.h"
#include "host/plugin_module.h"
#include "host/session.h"

namespace {

using namespace host;

constexpr int kExitFound = 0;
constexpr int kExitNoEntry = 1;
constexpr int kExitUsage = 2;
constexpr int kExitModule = 3;
constexpr int kExitInterrupted = 130;  // the shell's code for an end by SIGINT

constexpr const char* kVoiceFolder = "VoiceFiles";

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

int report(const TSession& session, const TLookupReport& result) {
  if (interrupted()) {
    session.console->error("interrupted");
    return kExitInterrupted;
  }
  if (session.options.json) printJson(result);
  if (!result.hasEntry) {
    session.console->error("no entry for \"" + session.options.word + "\" in " +
                           result.dictionary->displayName);
    return kExitNoEntry;
  }
  if (!session.options.json) printText(*session.console, result);
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
  return report(session, lookUp(session, module, *dictionary));
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
