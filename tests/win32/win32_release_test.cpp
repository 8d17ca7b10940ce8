// The DLL as the release zip ships it (unpacked beside the zip in the build
// tree): its version resource, read through the system's version API, against
// the project version, and one lookup through its exports, loaded from the
// package folder so that the packaged LexoraDX.ini beside it is read.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/lexoradx.h"

namespace {

/// "/work/x/LexoraDX.dll" becomes "Z:\work\x\LexoraDX.dll" (ASCII paths only).
std::wstring windowsPath(const std::string& path) {
  std::wstring out = L"Z:" + std::wstring(path.begin(), path.end());
  std::replace(out.begin(), out.end(), L'/', L'\\');
  return out;
}

const std::wstring kPackagedDll = windowsPath(DX_RELEASE_DLL);
const std::string kSamples = "Z:" DX_SOURCE_DIR "/samples";

std::wstring fromUtf8(const std::string& text) {
  const int size = static_cast<int>(text.size());
  std::wstring out(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)), L'\0');
  if (!out.empty()) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &out[0], static_cast<int>(out.size()));
  return out;
}

std::string readBytes(const std::string& path) {
  std::string bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    std::fclose(file);
  }
  return bytes;
}

/// The version resource of `path`; empty when it has none.
std::vector<char> versionInfo(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, info.data())) info.clear();
  return info;
}

std::wstring versionString(const std::vector<char>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT units = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), query.c_str(), &value, &units) || units == 0) return L"(none)";
  return static_cast<const wchar_t*>(value);
}

TEST(Win32ReleaseTest, PackagedDll_VersionResourceIsTheProjectVersion) {
  const std::vector<char> info = versionInfo(kPackagedDll);
  ASSERT_FALSE(info.empty()) << "no version resource in " << DX_RELEASE_DLL;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  ASSERT_GE(size, sizeof *fixed);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(DX_VERSION_MINOR, DX_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, DX_VERSION_PATCH)));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  const std::wstring version = L"" DX_VERSION;
  const struct {
    const wchar_t* name;
    std::wstring want;
  } kStrings[] = {
      {L"ProductName", L"LexoraDX"},
      {L"FileVersion", version},
      {L"ProductVersion", version},
      {L"OriginalFilename", L"LexoraDX.dll"},
      {L"FileDescription", L"LexoraDX dictionary plug-in for the Lexora wiki dictionaries"},
      {L"LegalCopyright", L"Copyright (c) The LexoraDX authors. MIT License."},
  };
  for (const auto& row : kStrings) {
    EXPECT_TRUE(versionString(info, row.name) == row.want) << std::string(row.name, row.name + wcslen(row.name));
  }
}

int gDownloadCalls = 0;

int32_t __cdecl fetchSamplePage(const char* url, BSTR* page) {
  if (std::string(url) != "http://en.lexora.org/wiki/cat") return 0;
  const std::string bytes = readBytes(kSamples + "/pages/en.lexora.org/wiki/cat.html");
  *page = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
  return *page != nullptr;
}

int32_t __cdecl declineDownload(const char*, const char16_t*, const char16_t*) {
  ++gDownloadCalls;
  return 1;  // the file did not arrive
}

TEST(Win32ReleaseTest, PackagedDll_LooksAWordUpWithTheShippedIni) {
  HMODULE module = LoadLibraryW(kPackagedDll.c_str());
  ASSERT_NE(module, nullptr) << "cannot load " << DX_RELEASE_DLL << " (error " << GetLastError() << ")";
  wchar_t loaded[MAX_PATH] = {};
  GetModuleFileNameW(module, loaded, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(loaded, kPackagedDll.c_str()), 0) << "another LexoraDX.dll was loaded";
  const auto request = reinterpret_cast<DxRequestFn>(reinterpret_cast<void*>(GetProcAddress(module, "dxRequest")));
  ASSERT_NE(request, nullptr);

  const int32_t notCancelled = 0;
  LookupResult result = {};
  result.cancelFlag = &notCancelled;
  HostCallbacks callbacks = {&fetchSamplePage, &declineDownload};
  gDownloadCalls = 0;
  // The plug-in makes the VoiceFiles folder before it asks for a download:
  // a folder of the test's own, not the package's.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring base = temp + std::wstring(L"dx_release_") + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(base.c_str(), nullptr);
  const int32_t found = request(1, u"cat", &result, reinterpret_cast<const char16_t*>(base.c_str()), &callbacks);
  RemoveDirectoryW((base + L"VoiceFiles").c_str());
  RemoveDirectoryW(base.c_str());

  EXPECT_EQ(found, 1);
  ASSERT_NE(result.entryText, nullptr);
  EXPECT_TRUE(std::wstring(result.entryText) == fromUtf8(readBytes(kSamples + "/expected/en.lexora.org/cat.txt")));
  EXPECT_EQ(gDownloadCalls, 1) << "the shipped LexoraDX.ini leaves the audio stage on";
  SysFreeString(result.entryText);
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
