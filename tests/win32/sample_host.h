// The fake host of the Windows cases: plain cdecl callbacks, as a host
// application's are, that drive the real DLL through its exports and answer
// from the sample tree (the source tree seen on Wine's Z: drive):
//   http://<host>/wiki/<name>  ->  samples<page store><host>\wiki\<name>.html
//   http://<host>/<path>       ->  samples\media\<host>\<path>
// Every call is recorded. A download is stored (the recording copied to the
// local path) or declined, as the case needs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugin/lexoradx.h"

namespace win32_host {

inline std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (units <= 0) return L"<invalid UTF-8>";
  std::wstring out(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &out[0], units);
  return out;
}

inline std::string narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], bytes, nullptr, nullptr);
  return out;
}

/// "/work/main" becomes "Z:\work\main"; a Windows path keeps its form.
inline std::wstring windowsPath(const std::string& path) {
  std::wstring out = widen(path);
  if (!out.empty() && out[0] == L'/') out = L"Z:" + out;
  std::replace(out.begin(), out.end(), L'/', L'\\');
  return out;
}

/// The whole file into `bytes`, or false when it cannot be read.
inline bool tryReadBytes(const std::wstring& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) break;
    if (got == 0) {
      CloseHandle(file);
      return true;  // the end of the file
    }
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return false;
}

inline const std::wstring& samplesFolder() {
  static const std::wstring folder = windowsPath(DX_SOURCE_DIR) + L"\\samples";
  return folder;
}

/// Splits "http://<host>/<path>" into the host and the path with "\"
/// separators; false for any other form, or a path that climbs out.
inline bool splitSampleUrl(const char* url, std::wstring& host, std::wstring& path) {
  static const std::string kScheme = "http://";
  const std::string text = url ? url : "";
  if (text.compare(0, kScheme.size(), kScheme) != 0) return false;
  const size_t slash = text.find('/', kScheme.size());
  if (slash == std::string::npos || slash == kScheme.size()) return false;
  if (text.find("..") != std::string::npos || text.find('\\') != std::string::npos ||
      text.find(':', kScheme.size()) != std::string::npos) {
    return false;
  }
  host = widen(text.substr(kScheme.size(), slash - kScheme.size()));
  path = widen(text.substr(slash));
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return true;
}

struct TDownload {
  std::string url;
  std::wstring extra;
  std::wstring localPath;
};

/// The host's state is static because its callbacks are plain functions.
/// Every Windows case runs in one program, so a case starts with reset() and
/// calls it again when it changed a setting.
struct TSampleHost {
  /// Where pages are served from: the classic store, a store of twins in a
  /// later markup, or a folder that holds none (every fetch fails).
  static inline std::wstring pageStore = L"\\pages\\";
  /// Whether a download copies the recording to the local path (answer 0)
  /// or is declined (answer 1: the file did not arrive).
  static inline bool storeDownloads = true;
  static inline std::vector<std::string> fetchedUrls;
  static inline std::vector<TDownload> downloads;

  static void clearLog() {
    fetchedUrls.clear();
    downloads.clear();
  }
  static void reset() {
    pageStore = L"\\pages\\";
    storeDownloads = true;
    clearLog();
  }

  static HostCallbacks callbacks() { return {&fetchPage, &downloadFile}; }

  static int32_t __cdecl fetchPage(const char* url, BSTR* page) {
    try {
      fetchedUrls.push_back(url ? url : "(null)");
      std::wstring host, path;
      std::string bytes;
      if (!splitSampleUrl(url, host, path) ||
          !tryReadBytes(samplesFolder() + pageStore + host + path + L".html", bytes)) {
        return 0;
      }
      *page = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));  // the plug-in frees it
      return *page != nullptr;
    } catch (...) {
      return 0;  // nothing may unwind into the plug-in
    }
  }

  static int32_t __cdecl downloadFile(const char* url, const char16_t* extra, const char16_t* localPath) {
    try {
      downloads.push_back({url ? url : "(null)", extra ? reinterpret_cast<const wchar_t*>(extra) : L"(null)",
                           localPath ? reinterpret_cast<const wchar_t*>(localPath) : L"(null)"});
      std::wstring host, path;
      if (!storeDownloads || !localPath || !splitSampleUrl(url, host, path)) return 1;
      const std::wstring source = samplesFolder() + L"\\media\\" + host + path;
      return CopyFileW(source.c_str(), reinterpret_cast<const wchar_t*>(localPath), FALSE) ? 0 : 1;
    } catch (...) {
      return 1;
    }
  }
};

}  // namespace win32_host
