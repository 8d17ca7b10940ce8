#include "plugin/url.h"

#include <array>
#include <cstring>

#include "platform/platform.h"
#include "textlib/utf8.h"

namespace {

using kvdetail::textLength;

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

// The local file name for `link`: `prefix`, then the link's path without its
// first "/", with "/" and the rejected characters of the link part as "_".
__kvstrW audioFileName(const char* link, const char16_t* prefix) {
  const char* pathPart = urlPathStart(link);
  if (!pathPart) pathPart = link;
  __kvstrW wideLink;
  fromUtf8(wideLink, pathPart, -1);  // percent escapes stay as they are
  const char16_t* tail = wideLink.str();
  if (*tail == u'/') ++tail;  // only one "/" is dropped

  const int32_t prefixLength = textLength(prefix);
  __kvstrW joined(prefix);
  joined.append(tail, textLength(tail));
  __kvstrW name = replaceAll(joined.str(), u"/", u"_");
  // One unit for one unit above, so the link part still starts at prefixLength.
  if (char16_t* p = name.data()) {
    for (p += prefixLength; *p; ++p) {
      if (isRejectedInFileName(*p)) *p = u'_';
    }
  }
  return name;
}

}  // namespace

void percentEncode(__kvstrA& target, const char* text) {
  const int32_t length = textLength(text);
  // Room for every byte escaped, plus the NUL.
  char* out = kvdetail::allocateArray<char>(3 * int64_t{length} + 1);
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

const char* urlPathStart(const char* url) {
  if (!url) return nullptr;
  const char* p = std::strstr(url, "://");
  if (!p) return nullptr;
  p += 3;
  while (*p == '/') ++p;
  return std::strchr(p, '/');
}

__kvstrA joinUrl(const char* pageUrl, const char* link) {
  if (urlPathStart(link)) return __kvstrA(link);
  const char* pagePath = urlPathStart(pageUrl);
  const int32_t prefixLength =
      pagePath ? static_cast<int32_t>(pagePath - pageUrl) : textLength(pageUrl);
  __kvstrA url;
  url.assign(pageUrl, prefixLength);
  url.append(link, textLength(link));
  return url;
}

__kvstrW makeAudioPath(const char16_t* basePath, const char* link, const char16_t* folderName,
                       const char16_t* prefix) {
  __kvstrW path = directoryPart(basePath);
  path.append(folderName, textLength(folderName));
  if (!path.empty()) {
    // An existing folder or a failure changes nothing here: a folder that
    // cannot be made fails the host's download instead.
    platform::CreateDirectoryW(path.str());
    path.append(&platform::kPathSeparator, 1);
  }
  const __kvstrW name = audioFileName(link, prefix);
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
  char16_t* out = kvdetail::allocateArray<char16_t>(resultLength + 1);
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
