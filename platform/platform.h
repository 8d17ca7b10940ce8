// The thin layer over the operating system. On Windows each call goes to the
// real API (wide text cast at this boundary); elsewhere a small implementation
// of our own gives the behaviour the plug-in relies on from the Windows call of
// the same name. Nothing above this layer includes <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)
typedef wchar_t* BSTR;  // the system's own definition
#else
typedef char16_t* BSTR;
#endif

namespace platform {

#if defined(_WIN32)
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

// --- system strings (OLE layout: 32-bit byte length, text, two-byte NUL) ---
BSTR SysAllocString(const char16_t* text);  ///< null for a null text
BSTR SysAllocStringByteLen(const char* bytes, uint32_t length);  ///< `bytes` may be null
/// `length` units of `text` and a NUL; with a null `text`, room for `length`
/// units to be written in place, left unset. Null when out of memory or when
/// the byte length would pass 32 bits.
BSTR SysAllocStringLen(const char16_t* text, uint32_t length);
uint32_t SysStringByteLen(BSTR text);  ///< 0 for null
void SysFreeString(BSTR text);          ///< null is accepted

// --- the module and its configuration ---
/// The full file name of the module `module` (an HMODULE on Windows; natively
/// ignored). A null `module` names the module holding this code (the DLL, not
/// the process's program). Any length; empty on failure.
std::u16string moduleFileName(void* module);
/// Reads `key` of `section` in the INI file `path` as Windows does: names
/// matched case-insensitively, leading blanks skipped, an optional sign and the
/// leading digits taken; `defaultValue` when the file, section or key is absent
/// and when the key's value is empty. Only the first section of a name and the
/// first key of a name in it count; lines starting with ";" are comments.
int32_t GetPrivateProfileIntW(const char16_t* section, const char16_t* key, int32_t defaultValue,
                              const char16_t* path);

// --- files and folders ---
bool CreateDirectoryW(const char16_t* path);
/// Opens `path` read-only, binary; the descriptor or -1.
int openRead(const char16_t* path);
/// Reads up to `size` bytes; the count read, 0 at the end, -1 on error.
int32_t readFile(int fd, void* buffer, uint32_t size);
/// Moves to `offset` from the start (whence 0), the current position (1) or
/// the end (2); the new position or -1.
int64_t seekFile(int fd, int64_t offset, int whence);
int closeFile(int fd);
/// Whether Windows takes the file names `a` and `b` for one file: equal but
/// for case (on Windows by the system's own comparison, natively by ASCII
/// letters).
bool namesOneFile(const char16_t* a, const char16_t* b);

// --- text ---
/// Converts `count` bytes of ANSI code page text (natively Windows-1252) into
/// at most `capacity` units at `out`; the units written, 0 on failure (also
/// when `capacity` is too small). A negative `count` converts up to and with
/// the NUL; a zero `capacity` asks for the units needed.
int32_t MultiByteToWideChar(const char* bytes, int32_t count, char16_t* out, int32_t capacity);

// --- the standard streams ---
/// Writes [bytes, bytes + count) to the standard output or standard error
/// stream in one call to the run-time library, as they stand (the plug-in's
/// diagnostics are UTF-8; on Windows the stream's text mode ends each line
/// as the system does).
void writeStandardOutput(const char* bytes, size_t count);
void writeStandardError(const char* bytes, size_t count);

#if defined(_WIN32)
// --- the module's heap ---
/// A block of `bytes` from the module's own heap, null when out of memory.
/// The process heap hands a large free block at its top back to the system,
/// so every lookup would touch fresh pages again; this heap keeps its first
/// megabytes for the life of the process.
void* allocateModuleMemory(size_t bytes);
void freeModuleMemory(void* block);  ///< null is accepted
/// Gives the heap back to the system when the module is unloaded. Blocks
/// freed after this are ignored (they went with the heap); later allocations
/// come from the process heap and are never given back.
void releaseModuleMemory();
#endif

}  // namespace platform
