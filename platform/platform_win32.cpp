// The platform layer on Windows: each call goes to the system or to the C
// run-time library. This file is the one place where char16_t text is handed
// to the system as wchar_t (both are UTF-16 units there).
#include "platform/platform.h"

#include <windows.h>
#include <oleauto.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cwchar>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

namespace platform {
namespace {

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

/// The module holding this code, for a null `module`.
HMODULE ownModule() {
  static const char anchor = 0;
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&anchor), &module)) return nullptr;
  return module;
}

/// Longest path the system hands out (the \\?\ form), plus room for the NUL.
constexpr DWORD kLongestPath = 32768;

}  // namespace

// --- system strings ---

BSTR SysAllocString(const char16_t* text) { return ::SysAllocString(wide(text)); }

BSTR SysAllocStringByteLen(const char* bytes, uint32_t length) {
  return ::SysAllocStringByteLen(bytes, static_cast<UINT>(length));
}

BSTR SysAllocStringLen(const char16_t* text, uint32_t length) {
  if (length > UINT32_MAX / sizeof(char16_t)) return nullptr;
  return ::SysAllocStringLen(wide(text), static_cast<UINT>(length));
}

uint32_t SysStringByteLen(BSTR text) { return ::SysStringByteLen(text); }

void SysFreeString(BSTR text) { ::SysFreeString(text); }

// --- the module and its configuration ---

std::u16string moduleFileName(void* module) {
  HMODULE handle = module ? static_cast<HMODULE>(module) : ownModule();
  if (!handle) return {};
  // The name is cut to fit without saying so, except that the result then
  // equals the buffer size: grow the buffer until the result is shorter.
  for (DWORD size = MAX_PATH; size <= 2 * kLongestPath; size *= 2) {
    std::u16string name(size, u'\0');
    const DWORD length = ::GetModuleFileNameW(handle, reinterpret_cast<wchar_t*>(&name[0]), size);
    if (length == 0) return {};
    if (length < size) {
      name.resize(length);
      return name;
    }
  }
  return {};
}

int32_t GetPrivateProfileIntW(const char16_t* section, const char16_t* key, int32_t defaultValue,
                              const char16_t* path) {
  return static_cast<int32_t>(::GetPrivateProfileIntW(wide(section), wide(key), defaultValue, wide(path)));
}

// --- files and folders ---

bool CreateDirectoryW(const char16_t* path) { return path && ::_wmkdir(wide(path)) == 0; }

int openRead(const char16_t* path) {
  if (!path) return -1;
  return ::_wopen(wide(path), _O_RDONLY | _O_BINARY);
}

int32_t readFile(int fd, void* buffer, uint32_t size) {
  if (size > INT32_MAX) size = INT32_MAX;
  return ::_read(fd, buffer, static_cast<unsigned>(size));
}

int64_t seekFile(int fd, int64_t offset, int whence) {
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (whence < 0 || whence > 2) return -1;
  return ::_lseeki64(fd, offset, kWhence[whence]);
}

int closeFile(int fd) { return ::_close(fd); }

bool namesOneFile(const char16_t* a, const char16_t* b) {
  return ::CompareStringOrdinal(wide(a), -1, wide(b), -1, TRUE) == CSTR_EQUAL;
}

// --- text ---

int32_t MultiByteToWideChar(const char* bytes, int32_t count, char16_t* out, int32_t capacity) {
  return ::MultiByteToWideChar(CP_ACP, 0, bytes, count, reinterpret_cast<wchar_t*>(out), capacity);
}

// --- the standard streams ---

namespace {

// The run-time library's fwrite hands what does not fill its buffer to the
// system a byte at a time, each byte a system call (a server round trip under
// Wine). Its low-level write takes the text whole, ending lines as the
// stream's text mode does; the stream is flushed first, so that the text
// follows what was written through it before.
void writeWhole(std::FILE* stream, const char* bytes, size_t count) {
  std::fflush(stream);
  const int fd = ::_fileno(stream);
  constexpr size_t kMaxPiece = 1u << 30;  // the call counts in int
  while (count > 0) {
    const int written = ::_write(fd, bytes, static_cast<unsigned>(count < kMaxPiece ? count : kMaxPiece));
    if (written <= 0) return;  // no stream (a program without a console), or a failure: the lines go
    bytes += written;
    count -= static_cast<size_t>(written);
  }
}

}  // namespace

void writeStandardOutput(const char* bytes, size_t count) { writeWhole(stdout, bytes, count); }
void writeStandardError(const char* bytes, size_t count) { writeWhole(stderr, bytes, count); }

// --- the module's heap ---

namespace {

/// Room a lookup of a page of a few megabytes works in, committed once: the
/// heap never hands this much back, so the pages stay with the process.
constexpr SIZE_T kModuleHeapKeeps = 8u << 20;

/// Made by the first allocation; the process heap when the system refuses a
/// heap of our own; null once released.
HANDLE& moduleHeap() {
  static HANDLE heap = [] {
    const HANDLE own = ::HeapCreate(0, kModuleHeapKeeps, 0);
    return own ? own : ::GetProcessHeap();
  }();
  return heap;
}

}  // namespace

void* allocateModuleMemory(size_t bytes) {
  const HANDLE heap = moduleHeap();
  return ::HeapAlloc(heap ? heap : ::GetProcessHeap(), 0, bytes ? bytes : 1);
}

void freeModuleMemory(void* block) {
  if (const HANDLE heap = moduleHeap(); block && heap) ::HeapFree(heap, 0, block);
}

void releaseModuleMemory() {
  HANDLE& heap = moduleHeap();
  if (heap && heap != ::GetProcessHeap()) ::HeapDestroy(heap);
  heap = nullptr;
}

}  // namespace platform
