// The command line of lexoradx-lookup. Parsing is pure: it reads no file and
// no environment, so the defaults that depend on the machine are filled in
// later by the program (empty fields below mean "use the default").
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace host {

struct TOptions {
  std::string word;        ///< UTF-8, as typed; "-" reads one word a line from standard input
  bool wordMissing = false;  ///< no WORD given: "-" stands in when standard input is no terminal
  std::vector<std::string> dictionaries;  ///< each -d in order (ja, en, fr, all or an index); empty: en
  std::string modulePath;  ///< empty: the module built beside the program
  std::string pagesDir;    ///< empty: the bundled page store
  std::string mediaDir;    ///< empty: the bundled media store
  std::string basePath;    ///< empty: the per-user data folder
  std::vector<std::pair<std::string, std::string>> urlMaps;  ///< FROM, TO in command-line order
  long timeoutSeconds = 60;  ///< whole transfer; connecting gets at most 15 s of it
  long deadlineSeconds = 300;  ///< the whole lookup: the page and every audio file
  bool list = false;
  bool online = false;
  bool noAudio = false;
  bool refresh = false;
  bool noCache = false;
  bool json = false;
  bool raw = false;
  bool trace = false;
  bool help = false;
  bool version = false;
};

/// Parses argv[1..argc). Returns an empty string on success, else a one-line
/// description of the usage error. Options may stand before or after WORD;
/// "--" ends them. `--opt VALUE` and `--opt=VALUE` are both accepted; short
/// options bundle, and the first that takes a value takes the rest of the
/// argument or the next one (`-jdfr` is `-j -d fr`).
std::string parseOptions(int argc, const char* const* argv, TOptions& options);

/// The --help text.
const char* usageText();

/// Applies the first mapping in `maps` whose FROM is a prefix of `url`.
std::string applyUrlMaps(const std::string& url,
                         const std::vector<std::pair<std::string, std::string>>& maps);

}  // namespace host
