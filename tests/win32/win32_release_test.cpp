// The DLL as the release zip ships it (unpacked beside the zip in the build
// tree): its version resource, read through the system's version API, against
// the project version, and one lookup through its exports, loaded from the
// package folder so that the packaged LexoraDX.ini beside it is read.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/lexoradx.h"
#include "tests/win32/sample_host.h"

namespace {

using win32_host::samplesFolder;
using win32_host::TSampleHost;
using win32_host::tryReadBytes;
using win32_host::widen;
using win32_host::windowsPath;

const std::wstring kPackagedDll = windowsPath(DX_RELEASE_DLL);

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
  HostCallbacks callbacks = TSampleHost::callbacks();
  TSampleHost::reset();
  TSampleHost::storeDownloads = false;
  // The plug-in makes the VoiceFiles folder before it asks for a download:
  // a folder of the test's own, not the package's.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring base = temp + std::wstring(L"dx_release_") + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(base.c_str(), nullptr);
  const int32_t found = request(1, u"cat", &result, reinterpret_cast<const char16_t*>(base.c_str()), &callbacks);
  RemoveDirectoryW((base + L"VoiceFiles").c_str());
  RemoveDirectoryW(base.c_str());
  const std::vector<std::string> fetchedUrls = TSampleHost::fetchedUrls;
  const size_t downloads = TSampleHost::downloads.size();
  TSampleHost::reset();

  EXPECT_EQ(found, 1);
  ASSERT_NE(result.entryText, nullptr);
  std::string want;
  EXPECT_TRUE(tryReadBytes(samplesFolder() + L"\\expected-current\\en.lexora.org\\cat.txt", want));
  EXPECT_TRUE(std::wstring(result.entryText) == widen(want));
  EXPECT_EQ(fetchedUrls, std::vector<std::string>{"http://en.lexora.org/wiki/cat"});
  EXPECT_EQ(downloads, 1u) << "the shipped LexoraDX.ini leaves the audio stage on";
  SysFreeString(result.entryText);
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
