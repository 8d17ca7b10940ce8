// Lookups end to end through the real DLL, as a Windows host application makes
// them: a copy of LexoraDX.dll in a fresh temporary folder is loaded with
// LoadLibraryW, dxRequest is found by its undecorated name and called through
// a stdcall pointer, and the sample host (sample_host.h) serves the bundled
// pages and stores the recordings. Each page's entry text and audio file
// names are checked against the same hand-written
// samples\expected\<host>\<name>.txt and .audio as the native tests. Runs under
// Wine; the source tree is reached on its Z: drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/lexoradx.h"
#include "tests/win32/sample_host.h"

namespace {

using win32_host::narrow;
using win32_host::samplesFolder;
using win32_host::TDownload;
using win32_host::TSampleHost;
using win32_host::tryReadBytes;
using win32_host::widen;
using win32_host::windowsPath;

// --- text and paths ---

const std::wstring kSamples = samplesFolder();
const std::wstring kModule = windowsPath(DX_MODULE_PATH);

/// "%E3%81%AD" becomes the bytes E3 81 AD; other text stays.
std::string percentDecode(const std::string& text) {
  auto hexValue = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// --- files and folders, through the system's own calls ---

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readBytes(const std::wstring& path) {
  std::string bytes;
  if (!tryReadBytes(path, bytes)) ADD_FAILURE() << "cannot read " << narrow(path);
  return bytes;
}

bool writeBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

/// Names in `folder` matching `pattern`, without "." and "..", sorted.
std::vector<std::wstring> namesIn(const std::wstring& folder, const wchar_t* pattern, bool wantFolders) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW item;
  HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &item);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = item.cFileName;
    const bool isSubfolder = (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (name != L"." && name != L".." && isSubfolder == wantFolders) names.push_back(name);
  } while (FindNextFileW(search, &item));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void removeTree(const std::wstring& path) {
  if (!isFolder(path)) {
    DeleteFileW(path.c_str());
    return;
  }
  for (const auto& name : namesIn(path, L"*", true)) removeTree(path + L"\\" + name);
  for (const auto& name : namesIn(path, L"*", false)) DeleteFileW((path + L"\\" + name).c_str());
  RemoveDirectoryW(path.c_str());
}

/// A new, empty folder under the system's temporary folder, removed with
/// everything in it at the end of the scope.
class TTempFolder {
 public:
  TTempFolder() {
    static unsigned serial = 0;
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::wstring candidate = std::wstring(temp) + L"dx_w32e2e_" + std::to_wstring(GetCurrentProcessId()) +
                                     L"_" + std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++serial);
      if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~TTempFolder() {
    if (!path_.empty()) removeTree(path_);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  /// Empty when no folder could be made.
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

/// A private copy of the DLL, loaded from its own temporary folder. An INI
/// text, when given, is written beside the copy before it is loaded, since
/// the module reads its switch once, at attach.
class TModuleCopy {
 public:
  explicit TModuleCopy(const char* iniText = nullptr) {
    if (folder_.path().empty()) return;
    const std::wstring copy = folder_.path() + L"\\LexoraDX.dll";
    if (!CopyFileW(kModule.c_str(), copy.c_str(), TRUE)) return;
    if (iniText && !writeBytes(folder_.path() + L"\\LexoraDX.ini", iniText)) return;
    module_ = LoadLibraryW(copy.c_str());
    if (!module_) return;
    request_ = reinterpret_cast<DxRequestFn>(reinterpret_cast<void*>(GetProcAddress(module_, "dxRequest")));
  }
  ~TModuleCopy() {
    if (module_) FreeLibrary(module_);  // before its folder goes
  }
  TModuleCopy(const TModuleCopy&) = delete;
  TModuleCopy& operator=(const TModuleCopy&) = delete;

  DxRequestFn request() const { return request_; }
  const std::wstring& folder() const { return folder_.path(); }

 private:
  TTempFolder folder_;  // declared first: outlives the loaded module
  HMODULE module_ = nullptr;
  DxRequestFn request_ = nullptr;
};

// --- one lookup ---

/// Everything a host can observe of one lookup.
struct TLookupOutcome {
  int32_t returned = -1;
  bool hasEntry = false;
  std::wstring entry;                  ///< the BSTR's SysStringLen units
  size_t entryLengthToNul = 0;         ///< units before its first NUL
  std::vector<std::wstring> audioFiles;  ///< the slots the plug-in filled, from slot 0
  bool otherSlotsKept = true;          ///< every slot after those still holds the host's value
  std::vector<std::string> fetchedUrls;
  std::vector<TDownload> downloads;
  std::wstring voiceFolder;            ///< <base>\VoiceFiles
  bool voiceFolderCreated = false;
  std::vector<std::wstring> voiceFiles;  ///< files found in it afterwards
};

/// Looks `word` up with basePath <folder>\base\main.dat and a fresh base
/// folder, records what the host sees, frees every BSTR it received and
/// removes the base folder again.
TLookupOutcome lookUp(const TModuleCopy& module, int32_t dictIndex, const std::wstring& word) {
  TLookupOutcome outcome;
  const std::wstring base = module.folder() + L"\\base";
  if (!CreateDirectoryW(base.c_str(), nullptr)) {
    ADD_FAILURE() << "cannot create " << narrow(base);
    return outcome;
  }
  const std::wstring basePath = base + L"\\main.dat";
  outcome.voiceFolder = base + L"\\VoiceFiles";

  // The host's own strings in every slot: the plug-in must overwrite only the
  // slots it fills and leave the rest as they are.
  BSTR hostSlots[DX_MAX_AUDIO_FILES];
  LookupResult result = {};
  for (int i = 0; i < DX_MAX_AUDIO_FILES; ++i) {
    hostSlots[i] = SysAllocString((L"host slot " + std::to_wstring(i)).c_str());
    result.audioFiles[i] = hostSlots[i];
  }
  const int32_t notCancelled = 0;
  result.cancelFlag = &notCancelled;
  HostCallbacks callbacks = TSampleHost::callbacks();
  TSampleHost::clearLog();

  outcome.returned = module.request()(dictIndex, reinterpret_cast<const char16_t*>(word.c_str()), &result,
                                      reinterpret_cast<const char16_t*>(basePath.c_str()), &callbacks);

  outcome.fetchedUrls = TSampleHost::fetchedUrls;
  outcome.downloads = TSampleHost::downloads;
  if (result.entryText) {
    outcome.hasEntry = true;
    outcome.entry.assign(result.entryText, SysStringLen(result.entryText));
    outcome.entryLengthToNul = wcslen(result.entryText);
    SysFreeString(result.entryText);
  }
  int filled = 0;
  while (filled < DX_MAX_AUDIO_FILES && result.audioFiles[filled] != hostSlots[filled]) {
    BSTR name = result.audioFiles[filled++];
    outcome.audioFiles.emplace_back(name ? std::wstring(name, SysStringLen(name)) : L"(null)");
    SysFreeString(name);
  }
  for (int i = filled; i < DX_MAX_AUDIO_FILES; ++i) {
    if (result.audioFiles[i] == hostSlots[i]) continue;
    outcome.otherSlotsKept = false;
    SysFreeString(result.audioFiles[i]);
  }
  for (BSTR slot : hostSlots) SysFreeString(slot);

  outcome.voiceFolderCreated = isFolder(outcome.voiceFolder);
  outcome.voiceFiles = namesIn(outcome.voiceFolder, L"*", false);
  removeTree(base);
  return outcome;
}

// --- the sample pages ---

struct TSamplePage {
  std::wstring host;  ///< en.lexora.org
  std::wstring name;  ///< the file name without ".html", escapes kept
};

std::vector<TSamplePage> findSamplePages(const std::wstring& store) {
  std::vector<TSamplePage> pages;
  for (const auto& host : namesIn(kSamples + store, L"*", true)) {
    for (const auto& file : namesIn(kSamples + store + host + L"\\wiki", L"*.html", false)) {
      pages.push_back({host, file.substr(0, file.size() - 5)});
    }
  }
  return pages;
}

int32_t dictIndexFor(const std::wstring& host) {
  if (host == L"ja.lexora.org") return 0;
  if (host == L"en.lexora.org") return 1;
  if (host == L"fr.lexora.org") return 2;
  return -1;
}

/// The URL the host is asked for: a link with a scheme as written, one with
/// a host of its own ("//host/path") on the page's scheme, a path on the
/// page's host.
std::string audioUrlOf(const std::wstring& pageHost, const std::string& link) {
  if (link.compare(0, 2, "//") == 0) return "http:" + link;
  if (link[0] == '/') return "http://" + narrow(pageHost) + link;
  return link;
}

/// The local name of an audio URL: "c1_", then its path after the host
/// without its first "/", each "/" as "_".
std::wstring localNameOf(const std::string& url) {
  static const std::string kScheme = "http://";
  std::string path = url.substr(url.find('/', kScheme.size()) + 1);
  std::replace(path.begin(), path.end(), '/', '_');
  return widen("c1_" + path);
}

std::vector<std::wstring> sortedUnique(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

/// Looks every page of `store` up through `module` and checks it against the
/// expectations of its name in `expectations` (the three markups of an
/// article share its current-mode expectations).
void checkSamplePages(const TModuleCopy& module, const std::wstring& store, const std::wstring& expectations) {
  TSampleHost::reset();
  TSampleHost::pageStore = store;
  const auto pages = findSamplePages(store);
  ASSERT_GE(pages.size(), 3u) << "no sample pages under " << narrow(kSamples + store);

  for (const auto& page : pages) {
    SCOPED_TRACE(narrow(store + page.host + L"/" + page.name));
    const std::wstring expected = kSamples + expectations + page.host + L"\\" + page.name;
    const std::string wantEntry = readBytes(expected + L".txt");
    std::vector<std::string> wantUrls;
    std::vector<std::wstring> wantNames;
    for (const auto& link : linesOf(readBytes(expected + L".audio"))) {
      if (link == "-") continue;
      wantUrls.push_back(audioUrlOf(page.host, link));
      wantNames.push_back(localNameOf(wantUrls.back()));
    }

    const std::string name = narrow(page.name);
    const TLookupOutcome got = lookUp(module, dictIndexFor(page.host), widen(percentDecode(name)));

    EXPECT_EQ(got.fetchedUrls, std::vector<std::string>{"http://" + narrow(page.host) + "/wiki/" + name});
    if (wantEntry.empty()) {
      // No entry: nothing is downloaded or reported, whatever the page links.
      EXPECT_EQ(got.returned, 0);
      EXPECT_FALSE(got.hasEntry);
      EXPECT_TRUE(got.downloads.empty());
      EXPECT_TRUE(got.audioFiles.empty());
      EXPECT_TRUE(got.otherSlotsKept);
      continue;
    }
    EXPECT_EQ(got.returned, 1);
    ASSERT_TRUE(got.hasEntry);
    EXPECT_TRUE(got.entry == widen(wantEntry)) << "got:\n" << narrow(got.entry) << "\nwant:\n" << wantEntry;
    EXPECT_EQ(got.entryLengthToNul, got.entry.size());

    ASSERT_EQ(got.downloads.size(), wantUrls.size());
    for (size_t i = 0; i < wantUrls.size(); ++i) {
      SCOPED_TRACE("download " + std::to_string(i));
      EXPECT_EQ(got.downloads[i].url, wantUrls[i]);
      EXPECT_TRUE(got.downloads[i].extra.empty());
      EXPECT_EQ(narrow(got.downloads[i].localPath), narrow(got.voiceFolder + L"\\" + wantNames[i]));
    }
    EXPECT_EQ(got.audioFiles, wantNames);
    EXPECT_TRUE(got.otherSlotsKept);
    EXPECT_EQ(got.voiceFolderCreated, !wantNames.empty());
    EXPECT_EQ(got.voiceFiles, sortedUnique(wantNames));
  }
  TSampleHost::reset();
}

TEST(Win32LookupTest, SamplePages_EntryAndAudioFilesMatchExpectations) {
  TModuleCopy module;
  ASSERT_TRUE(module.request() != nullptr) << "cannot load a copy of " << narrow(kModule);
  checkSamplePages(module, L"\\pages\\", L"\\expected\\");
}

// A copy whose INI sets CurrentMarkup=1 gives each article's current-mode
// entry from all three markups, as the native module does.
TEST(Win32LookupTest, CurrentMarkupInIni_TwinsGiveTheCurrentEntries) {
  TModuleCopy module("[config]\r\nCurrentMarkup=1\r\n");
  ASSERT_TRUE(module.request() != nullptr) << "cannot load a copy of " << narrow(kModule);
  for (const wchar_t* store : {L"\\pages-markup2\\", L"\\pages-markup3\\", L"\\pages\\"}) {
    checkSamplePages(module, store, L"\\expected-current\\");
  }
}

// The same lookups with hand-written literals: the page URL the plug-in asks
// for, the audio URLs (a relative link resolved on the page's host) and the
// names in the slots.
TEST(Win32LookupTest, SampleWords_PageUrlAudioUrlsAndSlots) {
  const struct {
    int32_t dictIndex;
    const wchar_t* word;
    const char* pageUrl;
    std::vector<std::string> audioUrls;
    std::vector<std::wstring> slots;
  } kRows[] = {
      {1, L"cat", "http://en.lexora.org/wiki/cat",
       {"http://media.lexora.org/a/ab/En-cat.ogg"}, {L"c1_a_ab_En-cat.ogg"}},
      {1, L"tea", "http://en.lexora.org/wiki/tea",
       {"http://en.lexora.org/media/En-uk-tea.ogg"}, {L"c1_media_En-uk-tea.ogg"}},
      // The language's section twice: the same file twice, in two slots.
      {1, L"bass", "http://en.lexora.org/wiki/bass",
       {"http://media.lexora.org/7/7b/En-us-bass-music.ogg", "http://media.lexora.org/7/7b/En-us-bass-music.ogg"},
       {L"c1_7_7b_En-us-bass-music.ogg", L"c1_7_7b_En-us-bass-music.ogg"}},
      // The first section has no link: the second one's file lands in slot 0.
      {1, L"kind", "http://en.lexora.org/wiki/kind",
       {"http://media.lexora.org/f/f3/Nl-kind.ogg"}, {L"c1_f_f3_Nl-kind.ogg"}},
      {2, L"chat", "http://fr.lexora.org/wiki/chat",
       {"http://media.lexora.org/1/1c/Fr-chat.ogg"}, {L"c1_1_1c_Fr-chat.ogg"}},
      {0, L"\u306D\u3053", "http://ja.lexora.org/wiki/%E3%81%AD%E3%81%93",
       {"http://media.lexora.org/4/4e/Ja-neko.ogg"}, {L"c1_4_4e_Ja-neko.ogg"}},
      {1, L"aardvark", "http://en.lexora.org/wiki/aardvark", {}, {}},
  };
  TModuleCopy module;
  ASSERT_TRUE(module.request() != nullptr) << "cannot load a copy of " << narrow(kModule);
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.pageUrl);
    const TLookupOutcome got = lookUp(module, row.dictIndex, row.word);
    EXPECT_EQ(got.fetchedUrls, std::vector<std::string>{row.pageUrl});
    std::vector<std::string> audioUrls;
    for (const auto& download : got.downloads) audioUrls.push_back(download.url);
    EXPECT_EQ(audioUrls, row.audioUrls);
    EXPECT_EQ(got.audioFiles, row.slots);
    for (const auto& name : row.slots) {
      EXPECT_NE(std::find(got.voiceFiles.begin(), got.voiceFiles.end(), name), got.voiceFiles.end())
          << narrow(name) << " is not in " << narrow(got.voiceFolder);
    }
  }
}

// A copy whose INI turns the audio stage off: the entry comes back, but no
// download is asked for, no voice-file folder is made and every slot keeps
// the host's value.
TEST(Win32LookupTest, AudioDisabledInIni_EntryWithoutDownloads) {
  TModuleCopy module("[config]\r\nAudioEnabled=0\r\n");
  ASSERT_TRUE(module.request() != nullptr) << "cannot load a copy of " << narrow(kModule);
  const TLookupOutcome got = lookUp(module, 1, L"cat");
  EXPECT_EQ(got.returned, 1);
  ASSERT_TRUE(got.hasEntry);
  EXPECT_TRUE(got.entry == widen(readBytes(kSamples + L"\\expected\\en.lexora.org\\cat.txt")));
  EXPECT_EQ(got.fetchedUrls, std::vector<std::string>{"http://en.lexora.org/wiki/cat"});
  EXPECT_TRUE(got.downloads.empty());
  EXPECT_TRUE(got.audioFiles.empty());
  EXPECT_TRUE(got.otherSlotsKept);
  EXPECT_FALSE(got.voiceFolderCreated);
}

// The temporary folders go with the test: nothing of a module copy is left.
TEST(Win32LookupTest, ModuleCopy_FolderRemovedAfterUse) {
  std::wstring folder;
  {
    TModuleCopy module;
    ASSERT_TRUE(module.request() != nullptr);
    folder = module.folder();
    EXPECT_EQ(lookUp(module, 1, L"cat").returned, 1);
    EXPECT_TRUE(isFile(folder + L"\\LexoraDX.dll"));
  }
  EXPECT_FALSE(isFolder(folder));
}

}  // namespace
