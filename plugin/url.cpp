#include "plugin/url.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "textlib/text_util.h"
#include "textlib/utf8.h"

namespace {

// The bytes a URL carries unescaped: ! ' ( ) * - . digits letters _ ~.
constexpr std::array<bool, 256> makeUnreservedTable() {
  std::array<bool, 256> table{};
  for (int b = '0'; b <= '9'; ++b) table[b] = true;
  for (int b = 'A'; b <= 'Z'; ++b) table[b] = true;
  for (int b = 'a'; b <= 'z'; ++b) table[b] = true;
  for (char c : {'!', '\'', '(', ')', '*', '-', '.', '_', '~'}) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kUnreserved = makeUnreservedTable();
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Characters that Windows does not accept in a file name. The link comes from
// a downloaded page, so a "\" or ":" in it must not pick another folder or an
// alternate data stream; "/" is in the set as well.
constexpr bool isRejectedInFileName(char16_t c) {
  if (c >= 0x01 && c <= 0x1F) return true;
  switch (c) {
    case u'/':
    case u'\\':
    case u':':
    case u'*':
    case u'?':
    case u'"':
    case u'<':
    case u'>':
    case u'|':
      return true;
    default:
      return false;
  }
}

/// Windows keeps a file name to this many units; a longer one fails to open.
constexpr int32_t kMaxFileNameUnits = 255;
constexpr char16_t kKeptExtension[] = u".ogg";
constexpr int32_t kKeptExtensionLength = 4;

/// Windows drops a name's trailing dots and blanks when it stores a file,
/// so a name that kept them would name no file.
int32_t lengthWithoutTrailingDotsAndBlanks(const char16_t* name, int32_t length) {
  while (length > 0 && (name[length - 1] == u'.' || name[length - 1] == u' ')) --length;
  return length;
}

/// Where `name` may be cut to at most `limit` units without splitting a
/// surrogate pair.
int32_t cutPoint(const char16_t* name, int32_t limit) {
  const bool splitsPair = limit > 0 && name[limit - 1] >= 0xD800 && name[limit - 1] <= 0xDBFF;
  return splitsPair ? limit - 1 : limit;
}

bool endsWithKeptExtension(const char16_t* name, int32_t length) {
  return length >= kKeptExtensionLength &&
         std::u16string_view(name + length - kKeptExtensionLength, kKeptExtensionLength) == kKeptExtension;
}

/// `name` as Windows can keep it: its trailing dots and blanks cut, and a name
/// longer than Windows allows cut to that length before its ".ogg" (or at
/// the end when it has none). May leave the name empty.
void fitFileName(__kvstrW& name) {
  int32_t length = lengthWithoutTrailingDotsAndBlanks(name.str(), name.length());
  if (length > kMaxFileNameUnits) {
    const int32_t extension = endsWithKeptExtension(name.str(), length) ? kKeptExtensionLength : 0;
    __kvstrW bounded;
    bounded.assign(name.str(), cutPoint(name.str(), kMaxFileNameUnits - extension));
    bounded.append(kKeptExtension, extension);
    name = std::move(bounded);
    length = lengthWithoutTrailingDotsAndBlanks(name.str(), name.length());
  }
  if (length != name.length()) name.assign(name.str(), length);
}

// The local file name for `url`: `prefix`, then the URL's path without its
// first "/", with "/" and the rejected characters of the URL part as "_",
// fitted to what Windows keeps.
__kvstrW audioFileName(const char* url, const char16_t* prefix) {
  const char* pathPart = urlPathStart(url);
  if (!pathPart) pathPart = url;
  __kvstrW widePath;
  fromUtf8(widePath, pathPart, -1);  // percent escapes stay as they are
  const char16_t* tail = widePath.str();
  if (*tail == u'/') ++tail;  // only one "/" is dropped

  const int32_t prefixLength = textLength(prefix);
  __kvstrW joined(prefix);
  joined.append(tail, textLength(tail));
  __kvstrW name = replaceAll(joined.str(), u"/", u"_");
  // One unit for one unit above, so the URL part still starts at prefixLength.
  if (char16_t* p = name.data()) {
    for (p += prefixLength; *p; ++p) {
      if (isRejectedInFileName(*p)) *p = u'_';
    }
  }
  fitFileName(name);
  return name;
}

// The parts of a URL or of a link found on a page, as views into its text.
struct TUrlParts {
  std::string_view scheme, authority, path, query, fragment;
  bool hasScheme = false, hasAuthority = false, hasQuery = false, hasFragment = false;
};

template <class Unit>
constexpr bool isSchemeChar(Unit c) {
  return isAsciiLetter(c) || (c >= Unit('0') && c <= Unit('9')) || c == Unit('+') || c == Unit('-') || c == Unit('.');
}

// The length of the scheme that begins `text` (a letter, then letters, digits,
// "+", "-" or "."), or 0 when no ":" ends such a run.
template <class Unit>
size_t schemeLength(std::basic_string_view<Unit> text) {
  if (text.empty() || !isAsciiLetter(text.front())) return 0;
  size_t i = 1;
  while (i < text.size() && isSchemeChar(text[i])) ++i;
  return i < text.size() && text[i] == Unit(':') ? i : 0;
}

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() != lowerCase.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (asciiLower(text[i]) != lowerCase[i]) return false;
  }
  return true;
}

// scheme ":" "//" authority path "?" query "#" fragment, each part optional.
TUrlParts splitUrl(const char* text) {
  std::string_view rest = text ? text : "";
  TUrlParts parts;
  if (const size_t length = schemeLength(rest)) {
    parts.scheme = rest.substr(0, length);
    parts.hasScheme = true;
    rest.remove_prefix(length + 1);
  }
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    parts.authority = rest.substr(0, rest.find_first_of("/?#"));
    parts.hasAuthority = true;
    rest.remove_prefix(parts.authority.size());
  }
  parts.path = rest.substr(0, rest.find_first_of("?#"));
  rest.remove_prefix(parts.path.size());
  if (!rest.empty() && rest.front() == '?') {
    rest.remove_prefix(1);
    parts.query = rest.substr(0, rest.find('#'));
    parts.hasQuery = true;
    rest.remove_prefix(parts.query.size());
  }
  if (!rest.empty() && rest.front() == '#') {
    parts.fragment = rest.substr(1);
    parts.hasFragment = true;
  }
  return parts;
}

// A relative path read from the folder of the base's path.
std::string mergePaths(const TUrlParts& base, std::string_view relativePath) {
  if (base.hasAuthority && base.path.empty()) return "/" + std::string(relativePath);
  const size_t slash = base.path.rfind('/');
  std::string merged(slash == std::string_view::npos ? std::string_view() : base.path.substr(0, slash + 1));
  return merged += relativePath;
}

// `path` with its "." and ".." segments resolved; ".." never climbs above the root.
std::string removeDotSegments(std::string_view in) {
  std::string out;
  auto dropLastSegment = [&out]() {
    const size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
  };
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./" || in.substr(0, 3) == "/./") {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../") {
      in.remove_prefix(3);
      dropLastSegment();
    } else if (in == "/..") {
      in = "/";
      dropLastSegment();
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', 1);  // the first segment, with its leading "/"
      const std::string_view segment = in.substr(0, next);
      out += segment;
      in.remove_prefix(segment.size());
    }
  }
  return out;
}

}  // namespace

void percentEncode(__kvstrA& target, const char* text) {
  const int32_t length = textLength(text);
  // Room for every byte escaped, plus the NUL.
  char* out = allocateArray<char>(3 * int64_t{length} + 1);
  char* p = out;
  for (int32_t i = 0; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (kUnreserved[b]) {
      *p++ = static_cast<char>(b);
    } else {
      *p++ = '%';
      *p++ = kHexDigits[b >> 4];
      *p++ = kHexDigits[b & 0x0F];
    }
  }
  *p = 0;
  target.attach(out);
}

bool isWebUrl(const char* url) {
  const TUrlParts parts = splitUrl(url);
  return parts.hasAuthority && !parts.authority.empty() &&
         (equalsIgnoringAsciiCase(parts.scheme, "http") || equalsIgnoringAsciiCase(parts.scheme, "https"));
}

const char* urlPathStart(const char* url) {
  if (!url) return nullptr;
  const char* p = std::strstr(url, "://");
  if (!p) return nullptr;
  p += 3;
  while (*p == '/') ++p;
  return std::strchr(p, '/');
}

__kvstrA resolveUrl(const char* pageUrl, const char* link) {
  const TUrlParts ref = splitUrl(link);
  if (ref.hasScheme) return __kvstrA(link);  // a link with a scheme names its own place
  const TUrlParts base = splitUrl(pageUrl);

  std::string url;
  if (base.hasScheme) (url += base.scheme) += ':';
  const TUrlParts& authoritySource = ref.hasAuthority ? ref : base;
  if (authoritySource.hasAuthority) (url += "//") += authoritySource.authority;
  std::string_view query = ref.query;
  bool hasQuery = ref.hasQuery;
  if (ref.hasAuthority || (!ref.path.empty() && ref.path.front() == '/')) {
    url += ref.path;  // a whole path is sent as written: its server resolves it
  } else if (ref.path.empty()) {
    url += base.path;
    if (!hasQuery) {
      query = base.query;
      hasQuery = base.hasQuery;
    }
  } else {
    url += removeDotSegments(mergePaths(base, ref.path));
  }
  if (hasQuery) (url += '?') += query;
  if (ref.hasFragment) (url += '#') += ref.fragment;
  __kvstrA resolved;
  resolved.assign(url.data(), static_cast<int32_t>(url.size()));
  return resolved;
}

std::u16string resolveLinkText(const char* pageUrl, std::u16string_view link) {
  // A link with a scheme stands as written, as most audio links are: no
  // round trip through UTF-8.
  if (schemeLength(link) != 0) return std::u16string(link);
  __kvstrA linkBytes;
  toUtf8(linkBytes, link.data(), static_cast<int32_t>(link.size()));
  const __kvstrA url = resolveUrl(pageUrl, linkBytes.str());
  __kvstrW wide;
  fromUtf8(wide, url.str(), url.length());
  return std::u16string(wide.str(), static_cast<size_t>(wide.length()));
}

TVoiceFolder::TVoiceFolder(const char16_t* basePath, const char16_t* folderName)
    : folder_(directoryPart(basePath)) {
  folder_.append(folderName, textLength(folderName));
}

__kvstrW TVoiceFolder::audioPath(const char* url, const char16_t* prefix) {
  const __kvstrW name = audioFileName(url, prefix);
  if (name.empty()) return name;  // nothing Windows could store
  __kvstrW path = folder_;
  if (!path.empty()) {
    if (!made_) {
      // An existing folder or a failure changes nothing here: a folder that
      // cannot be made fails the host's download instead.
      platform::CreateDirectoryW(path.str());
      made_ = true;
    }
    path.append(&platform::kPathSeparator, 1);
  }
  path.append(name.str(), name.length());
  return path;
}

const char16_t* fileNamePart(const char16_t* path) {
  if (!path) return nullptr;
  const char16_t* afterSeparator = nullptr;
  const char16_t* afterColon = nullptr;
  for (const char16_t* p = path; *p; ++p) {
    if (*p == u'/' || *p == u'\\') {
      afterSeparator = p + 1;
    } else if (*p == u':') {
      afterColon = p + 1;
    }
  }
  if (afterSeparator) return afterSeparator;
  return afterColon ? afterColon : path;
}

__kvstrW directoryPart(const char16_t* path) {
  __kvstrW folder;
  if (path) folder.assign(path, static_cast<int32_t>(fileNamePart(path) - path));
  return folder;
}

__kvstrW replaceAll(const char16_t* text, const char16_t* find, const char16_t* replacement) {
  const int32_t findLength = textLength(find);
  if (findLength == 0) return __kvstrW(text);
  const int32_t textLen = textLength(text);
  const int32_t replacementLength = textLength(replacement);
  const size_t findBytes = static_cast<size_t>(findLength) * sizeof(char16_t);
  auto matchesAt = [&](int32_t i) {
    return i + findLength <= textLen && std::memcmp(text + i, find, findBytes) == 0;
  };

  // Count first, so that the result is allocated once and exactly.
  int64_t resultLength = 0;
  for (int32_t i = 0; i < textLen;) {
    if (matchesAt(i)) {
      resultLength += replacementLength;
      i += findLength;
    } else {
      ++resultLength;
      ++i;
    }
  }
  char16_t* out = allocateArray<char16_t>(resultLength + 1);
  char16_t* p = out;
  for (int32_t i = 0; i < textLen;) {
    if (matchesAt(i)) {
      if (replacementLength) std::memcpy(p, replacement, static_cast<size_t>(replacementLength) * sizeof(char16_t));
      p += replacementLength;
      i += findLength;
    } else {
      *p++ = text[i++];
    }
  }
  *p = 0;
  __kvstrW result;
  result.attach(out);
  return result;
}
