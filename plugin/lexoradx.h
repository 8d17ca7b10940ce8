/*
 * LexoraDX dictionary plug-in: the interface a host application uses.
 *
 * The module exports two functions by undecorated name, dxEnumerate and
 * dxRequest (stdcall on 32-bit Windows). The host supplies two callbacks with
 * the C calling convention. Text handed across is UTF-16 (char16_t) or UTF-8.
 *
 * Strings that the plug-in writes into a LookupResult are BSTRs that the host
 * owns and frees (SysFreeString). On Windows these are OLE BSTRs. Elsewhere a
 * BSTR follows the same layout: a block from the C library's malloc whose first
 * 4 bytes hold the byte length, the BSTR pointing just after them at the text,
 * which is followed by a two-byte NUL; it is released with free() on the block
 * start, that is free((char *)bstr - 4). A native host allocates the page BSTR
 * that fetchPage returns the same way.
 *
 * On 32-bit Windows every record has the byte layout documented beside it.
 * Natively, pointer and BSTR fields are pointer-sized, as is every field of
 * LookupResult; integers stay 32-bit.
 */
#ifndef LEXORADX_H
#define LEXORADX_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(_WIN32)
#define DX_STDCALL __stdcall
#define DX_CDECL __cdecl
typedef wchar_t *BSTR; /* the system's own definition */
#else
#define DX_STDCALL
#define DX_CDECL
typedef char16_t *BSTR;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One dictionary, as dxEnumerate copies it out (20 bytes on 32-bit Windows). */
typedef struct DictionaryInfo {
  const char16_t *displayName; /* offset 0: name for display */
  const char16_t *id;          /* offset 4: identifier */
  const char *baseUrl;         /* offset 8: page URL before the encoded word */
  uint32_t hostValueA;         /* offset 12: 0xFFFFFFFF */
  uint32_t hostValueB;         /* offset 16: 9 */
} DictionaryInfo;

/* The host's callbacks (8 bytes on 32-bit Windows), both C calling convention.
 *
 * fetchPage: fetch `url` (ASCII) and store the page's UTF-8 bytes in a newly
 *   allocated BSTR at *page, its byte length counting the page alone; the
 *   BSTR's own terminator (SysAllocStringByteLen's, or the native two-byte
 *   NUL) is the zero byte that ends the page, which needs none of its own.
 *   Return non-zero on success. The plug-in frees that BSTR. On a zero result
 *   *page is not read.
 * downloadFile: fetch the audio file at `url` (UTF-8) into `localPath`; `empty`
 *   is always the empty string. Return ZERO on success (the file exists).
 * Strings passed in belong to the plug-in and live only during the call. */
typedef struct HostCallbacks {
  int32_t(DX_CDECL *fetchPage)(const char *url, BSTR *page);                          /* offset 0 */
  int32_t(DX_CDECL *downloadFile)(const char *url, const char16_t *empty, const char16_t *localPath); /* 4 */
} HostCallbacks;

enum { DX_MAX_AUDIO_FILES = 16 };

/* The host's result record (80 bytes on 32-bit Windows). */
typedef struct LookupResult {
  BSTR extraText;                      /* offset 0: never written */
  BSTR entryText;                      /* offset 4: the entry text on success */
  uintptr_t spare;                     /* offset 8: neither read nor written */
  BSTR audioFiles[DX_MAX_AUDIO_FILES]; /* offset 12: names of the downloaded audio files, from slot 0 */
  const int32_t *cancelFlag;           /* offset 76: non-zero abandons the lookup (may be null) */
} LookupResult;

/* Copies dictionary `index` (0 to 2) to *record and returns 1; returns 0 and
 * leaves *record untouched past the last dictionary or for a bad index. */
int32_t DX_STDCALL dxEnumerate(int32_t index, DictionaryInfo *record);

/* Looks `word` up in dictionary `dictIndex`. Returns 1 with result->entryText
 * set, or 0. `basePath` names a file whose folder holds the "VoiceFiles"
 * folder of downloaded audio. */
int32_t DX_STDCALL dxRequest(int32_t dictIndex, const char16_t *word, LookupResult *result,
                             const char16_t *basePath, HostCallbacks *callbacks);

typedef int32_t(DX_STDCALL *DxEnumerateFn)(int32_t, DictionaryInfo *);
typedef int32_t(DX_STDCALL *DxRequestFn)(int32_t, const char16_t *, LookupResult *, const char16_t *,
                                         HostCallbacks *);

#ifdef __cplusplus
} /* extern "C" */
#endif

#if defined(__cplusplus) && defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DictionaryInfo) == 20, "32-bit hosts read 20 bytes");
static_assert(offsetof(DictionaryInfo, baseUrl) == 8 && offsetof(DictionaryInfo, hostValueB) == 16,
              "DictionaryInfo layout");
static_assert(sizeof(HostCallbacks) == 8 && offsetof(HostCallbacks, downloadFile) == 4,
              "HostCallbacks layout");
static_assert(sizeof(LookupResult) == 80, "LookupResult is 80 bytes");
static_assert(offsetof(LookupResult, audioFiles) == 12 && offsetof(LookupResult, cancelFlag) == 76,
              "LookupResult layout");
#endif

#endif /* LEXORADX_H */
