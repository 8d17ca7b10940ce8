// The platform layer where there is no Windows: small implementations of the
// calls the plug-in makes, each giving the behaviour that the plug-in relies on
// from the Windows call of the same name. Paths cross to the C library as UTF-8.
#include "platform/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "unicode/utf.h"

namespace platform {
namespace {

// Paths and output cross as UTF-8: unpaired surrogates and malformed bytes
// become U+FFFD, so every input gives some text.
std::string toUtf8(const char16_t* text) { return unicode::utf16ToUtf8(text); }

std::u16string fromUtf8(const char* bytes, size_t length) {
  std::u16string out;
  unicode::utf8ToUtf16(std::string_view(bytes, length), out);
  return out;
}

// --- BSTR: [uint32 byte length][bytes][two-byte NUL], pointer after the length ---

constexpr size_t kLengthPrefix = sizeof(uint32_t);
constexpr size_t kTerminator = sizeof(char16_t);

/// How a string allocated without bytes starts out.
enum class Fill { Zeros, Unset };

BSTR allocateBstr(const void* bytes, uint32_t length, Fill fill = Fill::Zeros) {
  if (length > UINT32_MAX - kLengthPrefix - kTerminator) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(kLengthPrefix + length + kTerminator));
  if (!block) return nullptr;
  std::memcpy(block, &length, kLengthPrefix);
  unsigned char* data = block + kLengthPrefix;
  if (bytes) {
    std::memcpy(data, bytes, length);
  } else if (fill == Fill::Zeros) {
    std::memset(data, 0, length);  // Windows leaves it unset; zero is the safe choice
  }
  std::memset(data + length, 0, kTerminator);
  return reinterpret_cast<BSTR>(data);
}

bool isIniSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

std::u16string_view trimmed(std::u16string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && isIniSpace(s[b])) ++b;
  while (e > b && isIniSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool sameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  }
  return true;
}

/// A profile holds a few short lines; one past this size reads as absent.
constexpr size_t kMaxProfileBytes = 1 << 20;

// The profile is read whole while the module loads, so only a regular file of
// sane size is read: a FIFO would block the loading for ever, a device such
// as /dev/zero or a huge file would take memory without end. The file is
// opened without waiting for a writer, and its kind checked before reading.
bool readProfileFile(const char16_t* path, std::string& bytes) {
  const std::string local = toUtf8(path);
  int fd;
  do {
    fd = ::open(local.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat info;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<uint64_t>(info.st_size) <= kMaxProfileBytes;
  if (ok) {
    char chunk[4096];
    int32_t got = 0;
    while (bytes.size() <= kMaxProfileBytes && (got = readFile(fd, chunk, sizeof chunk)) > 0) {
      bytes.append(chunk, static_cast<size_t>(got));
    }
    ok = got == 0 && bytes.size() <= kMaxProfileBytes;  // a file that grew meanwhile is refused too
  }
  closeFile(fd);
  return ok;
}

/// The profile file as text: UTF-16LE when it starts with FF FE, otherwise
/// UTF-8 (an EF BB BF mark skipped).
std::u16string profileText(const std::string& bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                      static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
    }
    return text;
  }
  const size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  return fromUtf8(bytes.data() + skip, bytes.size() - skip);
}

/// The value of the first `key` in the first `section` of `text`, as the
/// profile reader stores it (blanks around it removed, one pair of matching
/// quotes stripped). False when the section or the key is absent.
bool findProfileValue(std::u16string_view text, std::u16string_view section, std::u16string_view key,
                      std::u16string_view& value) {
  bool inSection = false;
  size_t lineStart = 0;
  while (lineStart <= text.size()) {
    size_t lineEnd = text.find(u'\n', lineStart);
    if (lineEnd == std::u16string_view::npos) lineEnd = text.size();
    const std::u16string_view line = trimmed(text.substr(lineStart, lineEnd - lineStart));
    lineStart = lineEnd + 1;

    const size_t close = line.rfind(u']');
    if (!line.empty() && line[0] == u'[' && close != std::u16string_view::npos) {
      if (inSection) return false;  // only the first section of that name is searched
      inSection = sameName(trimmed(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection || line.empty() || line[0] == u';') continue;
    const size_t equals = line.find(u'=');
    if (!sameName(trimmed(line.substr(0, equals)), key)) continue;
    if (equals == std::u16string_view::npos) {
      value = std::u16string_view();  // a key without "=" has no value
      return true;
    }
    value = trimmed(line.substr(equals + 1));
    if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]) {
      value = value.substr(1, value.size() - 2);
    }
    return true;
  }
  return false;
}

/// The number at the start of `value`: blanks and control characters skipped,
/// an optional sign, then decimal digits up to the first other character.
/// Arithmetic wraps modulo 2^32 as the system's conversion does.
int32_t leadingInteger(std::u16string_view value) {
  // The system reads the value into a 30-unit buffer before converting it.
  value = value.substr(0, 29);
  size_t i = 0;
  while (i < value.size() && value[i] <= u' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) negative = value[i++] == u'-';
  uint32_t number = 0;
  for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
    number = number * 10u + static_cast<uint32_t>(value[i] - u'0');
  }
  if (negative) number = 0u - number;
  return static_cast<int32_t>(number);
}

/// Windows-1252 characters of the bytes 0x80 to 0x9F. The five bytes that the
/// code page leaves undefined map to the control character of the same value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

std::string programPath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t got = ::readlink("/proc/self/exe", &path[0], path.size());
    if (got < 0) return {};
    if (static_cast<size_t>(got) < path.size()) {
      path.resize(static_cast<size_t>(got));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string currentFolder() {
  char* folder = ::getcwd(nullptr, 0);  // any length
  if (!folder) return {};
  std::string path = folder;
  std::free(folder);
  return path;
}

/// Any address inside this code: dladdr names the module that holds it.
void moduleAnchor() {}

}  // namespace

BSTR SysAllocString(const char16_t* text) {
  if (!text) return nullptr;
  return allocateBstr(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text) * sizeof(char16_t)));
}

BSTR SysAllocStringByteLen(const char* bytes, uint32_t length) { return allocateBstr(bytes, length); }

BSTR SysAllocStringLen(const char16_t* text, uint32_t length) {
  if (length > UINT32_MAX / sizeof(char16_t)) return nullptr;
  // Room asked for without a text is about to be written whole: as on
  // Windows, it is not cleared first (for a large string that is a pass).
  return allocateBstr(text, static_cast<uint32_t>(length * sizeof(char16_t)), Fill::Unset);
}

uint32_t SysStringByteLen(BSTR text) {
  if (!text) return 0;
  uint32_t length;
  std::memcpy(&length, reinterpret_cast<const unsigned char*>(text) - kLengthPrefix, kLengthPrefix);
  return length;
}

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<unsigned char*>(text) - kLengthPrefix);
}

std::u16string moduleFileName(void* /*module*/) {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&moduleAnchor), &info) || !info.dli_fname) return {};
  std::string name = info.dli_fname;
  // Like the Windows call, give a full path. A name without any "/" is the
  // program itself as started from the search path; a relative one was
  // loaded from the current folder, which is still the same while the
  // module attaches.
  if (name.find('/') == std::string::npos) {
    name = programPath();
  } else if (name[0] != '/') {
    const std::string folder = currentFolder();
    if (!folder.empty()) name = folder + "/" + name;
  }
  if (name.empty()) return {};
  return fromUtf8(name.data(), name.size());
}

int32_t GetPrivateProfileIntW(const char16_t* section, const char16_t* key, int32_t defaultValue,
                              const char16_t* path) {
  if (!section || !key || !path) return defaultValue;
  std::string bytes;
  if (!readProfileFile(path, bytes)) return defaultValue;
  const std::u16string text = profileText(bytes);
  std::u16string_view value;
  if (!findProfileValue(text, trimmed(section), trimmed(key), value)) return defaultValue;
  // An empty value reads as absent, as the Win32 profile reader does.
  if (value.empty()) return defaultValue;
  return leadingInteger(value);
}

bool CreateDirectoryW(const char16_t* path) {
  if (!path) return false;
  return ::mkdir(toUtf8(path).c_str(), 0777) == 0;
}

int openRead(const char16_t* path) {
  if (!path) return -1;
  const std::string local = toUtf8(path);
  int fd;
  do {
    fd = ::open(local.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int32_t readFile(int fd, void* buffer, uint32_t size) {
  if (size > INT32_MAX) size = INT32_MAX;
  ssize_t got;
  do {
    got = ::read(fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got < 0 ? -1 : static_cast<int32_t>(got);
}

int64_t seekFile(int fd, int64_t offset, int whence) {
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (whence < 0 || whence > 2) return -1;
  return static_cast<int64_t>(::lseek(fd, static_cast<off_t>(offset), kWhence[whence]));
}

int closeFile(int fd) { return ::close(fd); }

bool namesOneFile(const char16_t* a, const char16_t* b) {
  auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
  while (*a && fold(*a) == fold(*b)) ++a, ++b;
  return fold(*a) == fold(*b);
}

int32_t MultiByteToWideChar(const char* bytes, int32_t count, char16_t* out, int32_t capacity) {
  if (!bytes || count == 0 || capacity < 0) return 0;
  if (count < 0) count = static_cast<int32_t>(std::strlen(bytes)) + 1;  // the NUL is converted too
  if (capacity == 0) return count;  // the size needed; one unit per byte
  if (!out || capacity < count) return 0;
  for (int32_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out[i] = (byte >= 0x80 && byte <= 0x9F) ? kWindows1252High[byte - 0x80] : static_cast<char16_t>(byte);
  }
  return count;
}

// stdio writes the whole text under the stream's lock, so it is never
// interleaved with other threads' output.
void writeStandardOutput(const char* bytes, size_t count) { std::fwrite(bytes, 1, count, stdout); }
void writeStandardError(const char* bytes, size_t count) { std::fwrite(bytes, 1, count, stderr); }

}  // namespace platform
