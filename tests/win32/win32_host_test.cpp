// A minimal Windows host: loads LexoraDX.dll the way a host application does
// (LoadLibraryW, exports found by their undecorated names, stdcall calls) and
// checks what crosses the boundary byte for byte. The module's Unix path is
// taken as a path on Wine's Z: drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/lexoradx.h"
#include "tests/win32/sample_host.h"

namespace {

using win32_host::TSampleHost;
using win32_host::windowsPath;

uint32_t readUint32(const unsigned char* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

template <class T>
const T* readPointer(const unsigned char* bytes) {
  static_assert(sizeof(T*) == 4, "a 32-bit host");
  uintptr_t value = readUint32(bytes);
  return reinterpret_cast<const T*>(value);
}

bool sameWide(const char16_t* text, const char16_t* want) {
  if (!text) return false;
  while (*text && *text == *want) ++text, ++want;
  return *text == *want;
}

// --- the checks ---

void checkRows(DxEnumerateFn enumerate) {
  const struct {
    const char16_t* displayName;
    const char16_t* id;
    const char* baseUrl;
  } kRows[] = {
      {u"Lexora(JA)", u"!LexoraJA", "http://ja.lexora.org/wiki/"},
      {u"Lexora(EN)", u"!LexoraEN", "http://en.lexora.org/wiki/"},
      {u"Lexora(FR)", u"!LexoraFR", "http://fr.lexora.org/wiki/"},
  };
  for (int32_t index = 0; index < 3; ++index) {
    // 20 bytes for the record and a canary after it.
    unsigned char buffer[24];
    std::memset(buffer, 0xA5, sizeof buffer);
    EXPECT_EQ(enumerate(index, reinterpret_cast<DictionaryInfo*>(buffer)), 1);
    EXPECT_TRUE(sameWide(readPointer<char16_t>(buffer + 0), kRows[index].displayName));
    EXPECT_TRUE(sameWide(readPointer<char16_t>(buffer + 4), kRows[index].id));
    const char* baseUrl = readPointer<char>(buffer + 8);
    EXPECT_TRUE(baseUrl && std::strcmp(baseUrl, kRows[index].baseUrl) == 0);
    static const unsigned char kValues[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0x09, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::memcmp(buffer + 12, kValues, 8) == 0);
    for (int i = 20; i < 24; ++i) EXPECT_EQ(buffer[i], 0xA5);
  }
}

void checkEnd(DxEnumerateFn enumerate) {
  const int32_t kIndexes[] = {3, 4, -1, 1000, INT32_MIN, INT32_MAX};
  for (int32_t index : kIndexes) {
    unsigned char buffer[24];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(enumerate(index, reinterpret_cast<DictionaryInfo*>(buffer)), 0);
    for (unsigned char byte : buffer) EXPECT_EQ(byte, 0x5A);
  }
}

void checkRequest(DxRequestFn request) {
  TSampleHost::reset();
  TSampleHost::pageStore = L"\\no-pages\\";  // holds no page: every fetch fails
  HostCallbacks callbacks = TSampleHost::callbacks();
  unsigned char record[80];
  std::memset(record, 0x77, sizeof record);
  const int32_t notCancelled = 0;
  const int32_t* flag = &notCancelled;
  std::memcpy(record + 76, &flag, 4);
  unsigned char before[80];
  std::memcpy(before, record, sizeof record);

  // Many calls: a wrong calling convention would move the stack each time.
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(request(1, u"cat", reinterpret_cast<LookupResult*>(record), u"C:\\host\\host.exe", &callbacks), 0);
  }
  EXPECT_EQ(TSampleHost::fetchedUrls, std::vector<std::string>(200, "http://en.lexora.org/wiki/cat"));
  EXPECT_TRUE(TSampleHost::downloads.empty());
  EXPECT_TRUE(std::memcmp(record, before, sizeof record) == 0);  // a failed fetch writes nothing
  TSampleHost::reset();
}

/// Loads a copy named X.Y.dll in a folder "a.b", with `setting` (or no
/// configuration at all) in X.Y.ini beside it: the copy must attach, serve
/// the table and run the audio stage exactly when the setting allows it.
void checkCopy(const std::wstring& dll, const wchar_t* setting, int wantDownloads) {
  static int serial = 0;
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_TRUE(length > 0);
  const std::wstring root = std::wstring(temp) + L"dx_win32_host_" + std::to_wstring(GetCurrentProcessId()) +
                            L"_" + std::to_wstring(++serial);
  const std::wstring folder = root + L"\\a.b";
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\X.Y.dll";
  const std::wstring config = folder + L"\\X.Y.ini";
  EXPECT_TRUE(CopyFileW(dll.c_str(), copy.c_str(), FALSE));
  if (setting) {
    EXPECT_TRUE(WritePrivateProfileStringW(L"config", L"AudioEnabled", setting, config.c_str()));
  }
  // Names the copy must not read.
  WritePrivateProfileStringW(L"config", L"AudioEnabled", L"0", (folder + L"\\X.ini").c_str());
  WritePrivateProfileStringW(L"config", L"AudioEnabled", L"0", (folder + L"\\LexoraDX.ini").c_str());

  HMODULE module = LoadLibraryW(copy.c_str());
  EXPECT_TRUE(module != nullptr);
  if (module) {
    auto enumerate = reinterpret_cast<DxEnumerateFn>(reinterpret_cast<void*>(GetProcAddress(module, "dxEnumerate")));
    auto request = reinterpret_cast<DxRequestFn>(reinterpret_cast<void*>(GetProcAddress(module, "dxRequest")));
    EXPECT_TRUE(enumerate != nullptr && request != nullptr);
    if (enumerate) checkRows(enumerate);
    if (request) {
      // The sample page of "cat" has one language section with an audio link;
      // the download is declined, so no file is reported.
      HostCallbacks callbacks = TSampleHost::callbacks();
      TSampleHost::reset();
      TSampleHost::storeDownloads = false;
      LookupResult result = {};
      const int32_t notCancelled = 0;
      result.cancelFlag = &notCancelled;
      const std::wstring basePath = root + L"\\host.exe";
      EXPECT_EQ(request(1, u"cat", &result, reinterpret_cast<const char16_t*>(basePath.c_str()), &callbacks), 1);
      EXPECT_EQ(TSampleHost::downloads.size(), static_cast<size_t>(wantDownloads));
      TSampleHost::reset();
      EXPECT_TRUE(result.entryText != nullptr);
      EXPECT_TRUE(result.audioFiles[0] == nullptr);
      SysFreeString(result.entryText);
    }
    EXPECT_TRUE(FreeLibrary(module));
  }
  DeleteFileW(copy.c_str());
  DeleteFileW(config.c_str());
  DeleteFileW((folder + L"\\X.ini").c_str());
  DeleteFileW((folder + L"\\LexoraDX.ini").c_str());
  RemoveDirectoryW(folder.c_str());
  RemoveDirectoryW((root + L"\\VoiceFiles").c_str());
  RemoveDirectoryW(root.c_str());
}

/// The built module, loaded for one test and freed at its end.
class Win32HostTest : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(kModule.c_str());
    ASSERT_NE(module_, nullptr) << "cannot load " << DX_MODULE_PATH << " (error " << GetLastError() << ")";
    enumerate_ = reinterpret_cast<DxEnumerateFn>(reinterpret_cast<void*>(GetProcAddress(module_, "dxEnumerate")));
    request_ = reinterpret_cast<DxRequestFn>(reinterpret_cast<void*>(GetProcAddress(module_, "dxRequest")));
    ASSERT_NE(enumerate_, nullptr);
    ASSERT_NE(request_, nullptr);
  }
  void TearDown() override {
    if (module_) {
      EXPECT_TRUE(FreeLibrary(module_));
    }
  }

  const std::wstring kModule = windowsPath(DX_MODULE_PATH);
  HMODULE module_ = nullptr;
  DxEnumerateFn enumerate_ = nullptr;
  DxRequestFn request_ = nullptr;
};

TEST_F(Win32HostTest, Exports_OnlyTheUndecoratedNames) {
  for (const char* name : {"_dxEnumerate@8", "dxEnumerate@8", "_dxRequest@20", "dxRequest@20", "DllEntryPoint"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(GetProcAddress(module_, name), nullptr);
  }
}

TEST_F(Win32HostTest, Enumerate_RowsThenEnd) {
  checkRows(enumerate_);
  checkEnd(enumerate_);
}

TEST_F(Win32HostTest, Request_FailedFetchKeepsTheStackAndTheRecord) { checkRequest(request_); }

TEST_F(Win32HostTest, ModuleCopy_ReadsTheIniNamedAfterItself) {
  const struct {
    const char* name;
    const wchar_t* setting;  // null: no configuration file
    int wantDownloads;
  } kCases[] = {{"no file", nullptr, 1}, {"0", L"0", 0}, {"1", L"1", 1}, {"7", L"7", 1}};
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.name);
    checkCopy(kModule, row.setting, row.wantDownloads);
  }
}

}  // namespace
