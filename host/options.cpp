#include "host/options.h"

#include <cstdlib>
#include <cstring>

namespace host {
namespace {

constexpr long kLongestTimeout = 3600;

/// Splits "--name=value" into its name and value; `hasValue` tells whether
/// the argument carried one.
std::string optionName(const std::string& arg, std::string& value, bool& hasValue) {
  const auto equals = arg.find('=');
  hasValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
  if (!hasValue) return arg;
  value = arg.substr(equals + 1);
  return arg.substr(0, equals);
}

bool parseSeconds(const std::string& text, long& seconds) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < 1 || value > kLongestTimeout) return false;
  seconds = value;
  return true;
}

bool parseMap(const std::string& text, TOptions& options) {
  const auto equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  options.urlMaps.emplace_back(text.substr(0, equals), text.substr(equals + 1));
  return true;
}

/// Stores the value of an option that takes one; false for an unknown name.
bool storeValue(const std::string& name, const std::string& value, TOptions& options,
                std::string& error) {
  if (name == "-d" || name == "--dict") {
    options.dictionaries.push_back(value);
  } else if (name == "--module") {
    options.modulePath = value;
  } else if (name == "--pages") {
    options.pagesDir = value;
  } else if (name == "--media") {
    options.mediaDir = value;
  } else if (name == "--base-path") {
    options.basePath = value;
  } else if (name == "--map") {
    if (!parseMap(value, options)) error = "--map needs FROM=TO with a non-empty FROM";
  } else if (name == "--timeout") {
    if (!parseSeconds(value, options.timeoutSeconds))
      error = "--timeout needs a whole number of seconds from 1 to 3600";
  } else if (name == "--deadline") {
    if (!parseSeconds(value, options.deadlineSeconds))
      error = "--deadline needs a whole number of seconds from 1 to 3600";
  } else {
    return false;
  }
  if (error.empty() && value.empty() && name != "--map")
    error = name + " needs a non-empty value";
  return true;
}

/// Sets a flag option; false for an unknown name.
bool storeFlag(const std::string& name, TOptions& options) {
  if (name == "-l" || name == "--list") return options.list = true;
  if (name == "-o" || name == "--online") return options.online = true;
  if (name == "-n" || name == "--no-audio") return options.noAudio = true;
  if (name == "--refresh") return options.refresh = true;
  if (name == "--no-cache") return options.noCache = true;
  if (name == "-j" || name == "--json") return options.json = true;
  if (name == "-r" || name == "--raw") return options.raw = true;
  if (name == "--trace") return options.trace = true;
  if (name == "-h" || name == "--help") return options.help = true;
  if (name == "-V" || name == "--version") return options.version = true;
  return false;
}

bool takesValue(const std::string& name) {
  static const char* const kNames[] = {"-d",     "--dict",      "--module", "--pages",
                                       "--media", "--base-path", "--map",    "--timeout",
                                       "--deadline"};
  for (const char* known : kNames)
    if (name == known) return true;
  return false;
}

/// Reads one "--name", "--name=value" or bundle of short options at argv[i];
/// a value in the next argument moves `i` past it.
std::string parseOption(int argc, const char* const* argv, int& i, TOptions& options) {
  const std::string arg = argv[i];
  const bool isLong = arg.rfind("--", 0) == 0;
  for (std::size_t at = 1; at < arg.size(); ++at) {
    std::string value;
    bool hasValue = false;
    const std::string name = isLong ? optionName(arg, value, hasValue) : std::string{'-', arg[at]};
    if (!isLong && at + 1 < arg.size()) {
      value = arg.substr(at + 1);  // the rest of a bundle, should this option take a value
      hasValue = takesValue(name);
    }
    std::string error;
    if (takesValue(name)) {
      if (!hasValue) {
        if (i + 1 >= argc) return name + " needs a value";
        value = argv[++i];
      }
      storeValue(name, value, options, error);
      return error;
    }
    if (isLong && hasValue) return name + " takes no value";
    if (!storeFlag(name, options)) return "unknown option " + name;
    if (isLong) return {};
  }
  return {};
}

}  // namespace

std::string parseOptions(int argc, const char* const* argv, TOptions& options) {
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::string error = parseOption(argc, argv, i, options);
    if (!error.empty()) return error;
  }
  if (options.help || options.version) return {};
  if (options.list) {
    if (!words.empty()) return "--list takes no WORD";
    return {};
  }
  if (words.size() > 1) return "one WORD only (quote a phrase: \"ice cream\"; - reads a list)";
  options.wordMissing = words.empty();
  options.word = words.empty() ? "-" : words[0];
  if (options.word.empty()) return "WORD is empty";
  return {};
}

std::string applyUrlMaps(const std::string& url,
                         const std::vector<std::pair<std::string, std::string>>& maps) {
  for (const auto& [from, to] : maps)
    if (url.compare(0, from.size(), from) == 0) return to + url.substr(from.size());
  return url;
}

const char* usageText() {
  return R"(Usage: lexoradx-lookup [options] WORD
  or:  lexoradx-lookup [options] [-] < WORDS
  or:  lexoradx-lookup --list
Looks WORD up in a Lexora dictionary through the LexoraDX plug-in module and
prints the entry. Pages come from an offline page store unless --online.
With - as WORD, or no WORD and standard input not a terminal, every line of
standard input is a word, looked up in turn.

A WORD with capitals that has no page is tried again with its first letter,
then all of it, in lower case; standard error names the page shown.

Options:
  -d, --dict ja|en|fr|all
                        dictionary to search (default en; an index from --list
                        works too); repeatable, all is every dictionary
  -l, --list            print the dictionaries the module offers: index, the
                        code -d takes, id, display name and base URL
      --module PATH     plug-in module to load (default: $LEXORADX_MODULE, else
                        ../lib/lexoradx/LexoraDX.so from this program's folder,
                        installed or in the build tree)
      --pages DIR       offline page store: the page for http://HOST/PATH is
                        DIR/HOST/PATH.html, percent escapes kept in the file name
                        (default: the bundled samples/pages)
      --media DIR       offline media store: the audio file for http://HOST/PATH
                        is DIR/HOST/PATH (default: the bundled samples/media)
  -o, --online          fetch pages and audio files over HTTP(S) instead of the
                        stores (redirects followed, 32 MiB limit per file);
                        pages are kept in the page cache,
                        $XDG_CACHE_HOME/lexoradx/pages/ (default
                        ~/.cache/lexoradx/pages/, at most 64 MiB), and a copy
                        younger than a day is used without a fetch; when a
                        fetch fails a copy of any age is used, and standard
                        error says how old it is
      --timeout SECONDS limit for one online transfer (default 60; connecting
                        gets at most 15 of them)
      --deadline SECONDS
                        limit for the whole lookup of a word in a dictionary,
                        the page and every audio file together (default
                        300); a transfer gets no more
                        than what is left of it, and once it has passed the
                        remaining audio downloads are declined
      --map FROM=TO     rewrite URLs that begin with FROM to begin with TO
                        before fetching, online and offline, pages and audio;
                        repeatable, the first matching FROM wins
      --base-path DIR   folder that receives VoiceFiles/ with the downloaded
                        audio files, created if missing (default:
                        $XDG_DATA_HOME/lexoradx/ or ~/.local/share/lexoradx/)
  -n, --no-audio        decline every audio download
      --refresh         fetch pages again that the page cache holds, and audio
                        files again that VoiceFiles/ already holds
      --no-cache        neither read nor keep pages in the page cache
  -j, --json            print one JSON object (word, status, dictionary,
                        dictionaryId, code, url, entry, languages, audio)
                        instead of text; with --list, an array
  -r, --raw             print the entry as the plug-in laid it out, also on a
                        terminal (it is always raw when output is not a terminal)
      --trace           show the plug-in's own diagnostic lines on standard
                        error, once the lookup is done
  -h, --help            print this help
  -V, --version         print the version and the module that would be loaded

Short options bundle: -jdfr is -j -d fr.

Output: the entry on standard output (UTF-8). With several dictionaries or a
list of words, each entry is a block headed "==> WORD in NAME <==", blocks
separated by an empty line (with --json, one object a line). On a terminal
the headings are emphasised (not with NO_COLOR set). One line per stored audio
file on standard error ("audio: NAME -> PATH"). A file already in VoiceFiles/
is reported without being fetched again. Control characters from the page never
reach the terminal as such, on either stream: tab and line feed stay, the
other C0 controls and DEL show in caret notation (ESC as ^[, DEL as ^?), the
C1 controls as \x80 to \x9f, and bytes that are not UTF-8 as U+FFFD; --json
escapes them all (\u001b, \u007f, \u009b).

Configuration: LexoraDX.ini beside the module (its name with the extension
ini), section [config], numbers only:
  CurrentMarkup=1  also read the page markups the site uses today; without it
                   (or with 0) the module reads only the classic markup of the
                   bundled samples/pages and finds no entry in today's pages.
                   The installed module's INI, and the build tree's, set it.
  AudioEnabled=0   never download audio files (default 1: download them)

Exit status (of a word in several dictionaries: 0 when any has its entry,
else the lowest; of a list of words: the highest of them):
  0    entry found
  1    no page for WORD (HTTP 404 or 410, or none in the page store)
  2    usage error
  3    the module could not be found or loaded
  4    the page could not be fetched (no answer, a timeout, another status)
  5    the page arrived but holds no entry
  6    the output could not be written
  128+N  ended by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP); an
         unfinished download is removed
)";
}

}  // namespace host
