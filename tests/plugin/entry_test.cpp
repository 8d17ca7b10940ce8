// The plug-in's entry: the configuration path rule, the audio switch as the
// configuration file sets it, the entry point, and (natively) dxEnumerate
// through the built module itself and copies of it loaded from other folders.
#include "plugin/config.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "plugin/lexoradx.h"
#include "tests/support/fake_host.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string narrow(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

/// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  explicit TempFolder(const std::string& tag) {
    static int serial = 0;
    path_ = fs::temp_directory_path() / ("dx_entry_" + tag + "_" + std::to_string(++serial));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// --- where the configuration lives ---

TEST(ConfigurationPathTest, ReplacesTheExtensionOfTheFinalComponent) {
  const struct {
    const char16_t* module;
    const char16_t* want;
  } kCases[] = {
      {u"C:\\Program Files\\Host\\LexoraDX.dll", u"C:\\Program Files\\Host\\LexoraDX.ini"},
      {u"C:\\a.b\\LexoraDX.dll", u"C:\\a.b\\LexoraDX.ini"},   // a "." in a folder does not count
      {u"C:\\dir\\X.Y.dll", u"C:\\dir\\X.Y.ini"},             // only the last "." counts
      {u"/tmp/a.b/LexoraDX.so", u"/tmp/a.b/LexoraDX.ini"},
      {u"/tmp/a.b/X.Y.so", u"/tmp/a.b/X.Y.ini"},
      {u"LexoraDX.dll", u"LexoraDX.ini"},
      {u"D:\\plug\\LexoraDX.", u"D:\\plug\\LexoraDX.ini"},
      {u"C:\\a.b\\LexoraDX", u"C:\\a.b\\LexoraDX.ini"},       // no extension: ".ini" appended
      {u"/tmp/a.b/LexoraDX", u"/tmp/a.b/LexoraDX.ini"},
      {u"/opt/x.d/", u"/opt/x.d/.ini"},
      {u"LexoraDX", u"LexoraDX.ini"},
      {u"C:\\\u8f9e\u66f8.v2\\\u8f9e\u66f8.dll", u"C:\\\u8f9e\u66f8.v2\\\u8f9e\u66f8.ini"},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(narrow(row.module));
    EXPECT_EQ(configurationPath(row.module), row.want);
  }
}

TEST(ConfigurationPathTest, LongModulePath_IsKeptWhole) {
  // Far beyond the 300 units that a fixed buffer would hold.
  const std::u16string folder = u"C:\\" + std::u16string(1200, u'd') + u".x";
  EXPECT_EQ(configurationPath(folder + u"\\LexoraDX.dll"), folder + u"\\LexoraDX.ini");
  EXPECT_EQ(configurationPath(folder + u"\\LexoraDX"), folder + u"\\LexoraDX.ini");
}

// --- the switch as the file sets it ---

TEST(SwitchTest, ReadSwitch_FollowsTheFile) {
  TempFolder folder("switch");
  const struct {
    const char* name;
    const char* contents;  // null: no file at all
    bool fromOn;           // the switch read while it is on
    bool fromOff;          // and while it is off
  } kCases[] = {
      {"no file", nullptr, true, false},
      {"zero", "[config]\r\nAudioEnabled=0\r\n", false, false},
      {"one", "[config]\r\nAudioEnabled=1\r\n", true, true},
      {"seven", "[config]\r\nAudioEnabled=7\r\n", true, true},
      {"minus one", "[config]\r\nAudioEnabled=-1\r\n", true, true},  // any number but 0 is on
      {"section without the key", "[config]\r\nOther=0\r\n", true, false},
      {"key in another section", "[main]\r\nAudioEnabled=0\r\n", true, false},
      {"names in other case", "[CONFIG]\naudioenabled = 0\n", false, false},
      {"empty value", "[config]\nAudioEnabled=\n", true, false},
      {"not a number", "[config]\nAudioEnabled=off\n", false, false},
  };
  int serial = 0;
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.name);
    const fs::path file = folder.path() / ("c" + std::to_string(++serial) + ".ini");
    if (row.contents) writeFile(file, row.contents);
    EXPECT_EQ(readSwitch(file.u16string().c_str(), kAudioKey, true), row.fromOn);
    EXPECT_EQ(readSwitch(file.u16string().c_str(), kAudioKey, false), row.fromOff);
  }
}

TEST(SwitchTest, EachKey_ReadOnItsOwn) {
  TempFolder folder("keys");
  const fs::path file = folder.path() / "both.ini";
  writeFile(file, "[config]\r\nAudioEnabled=0\r\nCurrentMarkup=1\r\n");
  EXPECT_FALSE(readSwitch(file.u16string().c_str(), kAudioKey, true));
  EXPECT_TRUE(readSwitch(file.u16string().c_str(), kCurrentMarkupKey, false));
  writeFile(file, "[config]\r\nCurrentMarkup=0\r\n");
  EXPECT_TRUE(readSwitch(file.u16string().c_str(), kAudioKey, true));
  EXPECT_FALSE(readSwitch(file.u16string().c_str(), kCurrentMarkupKey, true));
}

// The test program is this process's module: its configuration file is the
// program's path with the extension "ini" (natively the name has no extension,
// so ".ini" is appended).
class EntryPointTest : public testing::Test {
 protected:
  const fs::path config = fs::path(DX_TEST_PROGRAM).replace_extension(".ini");

  void SetUp() override { fs::remove(config); }
  void TearDown() override {
    writeFile(config, "[config]\nAudioEnabled=1\nCurrentMarkup=0\n");  // back to the defaults
    loadConfiguration(nullptr);
    fs::remove(config);
  }
};

TEST_F(EntryPointTest, ProcessAttach_ReadsTheFileBesideTheModule) {
  EXPECT_FALSE(currentMarkupEnabled());  // off by default
  writeFile(config, "[config]\nAudioEnabled=0\nCurrentMarkup=2\n");
  EXPECT_EQ(DllEntryPoint(nullptr, 1, nullptr), 1);
  EXPECT_FALSE(audioEnabled());
  EXPECT_TRUE(currentMarkupEnabled());
  writeFile(config, "[config]\nAudioEnabled=7\nCurrentMarkup=0\n");
  loadConfiguration(nullptr);
  EXPECT_TRUE(audioEnabled());
  EXPECT_FALSE(currentMarkupEnabled());
}

TEST_F(EntryPointTest, OtherNotifications_DoNothingAndSucceed) {
  writeFile(config, "[config]\nAudioEnabled=0\n");
  for (uint32_t reason : {0u, 2u, 3u}) {
    SCOPED_TRACE(reason);
    EXPECT_EQ(DllEntryPoint(nullptr, reason, nullptr), 1);
    EXPECT_TRUE(audioEnabled());
  }
}

TEST_F(EntryPointTest, MissingFile_KeepsTheSwitch) {
  writeFile(config, "[config]\nAudioEnabled=0\n");
  loadConfiguration(nullptr);
  ASSERT_FALSE(audioEnabled());
  fs::remove(config);
  EXPECT_EQ(DllEntryPoint(nullptr, 1, nullptr), 1);
  EXPECT_FALSE(audioEnabled());  // absent file: the current value stands
}

#if !defined(_WIN32)
// --- the built module (Windows has its own host test) ---

const fs::path kModule = DX_MODULE_PATH;

/// A module loaded from `path`, closed again at the end.
class LoadedModule {
 public:
  explicit LoadedModule(const fs::path& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~LoadedModule() {
    if (handle_) dlclose(handle_);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  template <class Fn>
  Fn function(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

TEST(EnumerateTest, Rows_AreTheThreeEditions) {
  LoadedModule module(kModule);
  ASSERT_TRUE(module.loaded()) << dlerror();
  const auto enumerate = module.function<DxEnumerateFn>("dxEnumerate");
  ASSERT_NE(enumerate, nullptr);
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
    SCOPED_TRACE(index);
    DictionaryInfo record;
    std::memset(&record, 0xA5, sizeof record);
    ASSERT_EQ(enumerate(index, &record), 1);
    ASSERT_NE(record.displayName, nullptr);
    ASSERT_NE(record.id, nullptr);
    ASSERT_NE(record.baseUrl, nullptr);
    EXPECT_EQ(std::u16string(record.displayName), kRows[index].displayName);
    EXPECT_EQ(std::u16string(record.id), kRows[index].id);
    EXPECT_STREQ(record.baseUrl, kRows[index].baseUrl);
    EXPECT_EQ(record.hostValueA, 0xFFFFFFFFu);
    EXPECT_EQ(record.hostValueB, 9u);
  }
}

TEST(EnumerateTest, PastTheTableOrBadIndex_ReturnsZeroAndLeavesTheBuffer) {
  LoadedModule module(kModule);
  ASSERT_TRUE(module.loaded()) << dlerror();
  const auto enumerate = module.function<DxEnumerateFn>("dxEnumerate");
  ASSERT_NE(enumerate, nullptr);
  for (int32_t index : {3, 4, -1, 1000, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(index);
    unsigned char buffer[sizeof(DictionaryInfo) + 8];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(enumerate(index, reinterpret_cast<DictionaryInfo*>(buffer)), 0);
    for (unsigned char byte : buffer) ASSERT_EQ(byte, 0x5A);
  }
  EXPECT_EQ(enumerate(0, nullptr), 0);
}

TEST(ModuleTest, OnlyTheTwoEntriesAreVisible) {
  LoadedModule module(kModule);
  ASSERT_TRUE(module.loaded()) << dlerror();
  EXPECT_NE(module.function<void*>("dxEnumerate"), nullptr);
  EXPECT_NE(module.function<void*>("dxRequest"), nullptr);
  for (const char* hidden : {"loadConfiguration", "_Z17loadConfigurationPv", "_Z12audioEnabledv",
                             "_Z13DllEntryPointPvjS_", "kDictionaries", "_Z9runLookupiPKDsP12LookupResultS0_P13HostCallbacks"}) {
    SCOPED_TRACE(hidden);
    EXPECT_EQ(module.function<void*>(hidden), nullptr);
  }
}

// A host whose page has one language section with an audio link: with the
// audio stage on, a lookup asks for exactly one download.
const char kSwitchPage[] =
    "<html><body>\n<span class=\"editsection\">[edit]</span>\n"
    "<h2><span class=\"mw-headline\">English</span></h2>\n"
    "<h3><span class=\"mw-headline\">Pronunciation</span></h3>\n"
    "<ul><li><span class=\"unicode audiolink\"><a href=\"/a/ab/En-cat.ogg\">audio</a></span></li></ul>\n"
    "<h3><span class=\"mw-headline\">Noun</span></h3>\n<ol><li>A small animal.</li></ol>\n"
    "<div class=\"printfooter\">footer</div>\n</body></html>\n";

TEST(ModuleConfigurationTest, CopyInDottedFolder_ReadsItsOwnFile) {
  // Each copy is a module of its own (distinct path, local symbols): it
  // attaches on load and reads X.Y.ini beside it inside "a.b".
  const struct {
    const char* name;
    const char* contents;  // null: no file
    int downloads;         // 1: audio stage on, 0: off
  } kCases[] = {
      {"none", nullptr, 1},
      {"off", "[config]\nAudioEnabled=0\n", 0},
      {"on", "[config]\nAudioEnabled=1\n", 1},
      {"seven", "[config]\nAudioEnabled=7\n", 1},
      {"nokey", "[config]\nVolume=0\n", 1},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.name);
    TempFolder folder(row.name);
    const fs::path dotted = folder.path() / "a.b";
    fs::create_directories(dotted);
    fs::copy_file(kModule, dotted / "X.Y.so");
    if (row.contents) writeFile(dotted / "X.Y.ini", row.contents);
    // The other candidate names must not be what the copy reads.
    writeFile(dotted / "X.ini", "[config]\nAudioEnabled=0\n");
    writeFile(dotted / "LexoraDX.ini", "[config]\nAudioEnabled=0\n");

    LoadedModule copy(dotted / "X.Y.so");
    ASSERT_TRUE(copy.loaded()) << dlerror();
    const auto request = copy.function<DxRequestFn>("dxRequest");
    ASSERT_NE(request, nullptr);
    fakehost::gHost = fakehost::TFakeHost();
    fakehost::gHost.page = kSwitchPage;
    fakehost::gHost.downloadFails = {true};  // not stored: nothing to report or clean up
    HostCallbacks callbacks = fakehost::callbacks();
    LookupResult result{};
    const int32_t notCancelled = 0;
    result.cancelFlag = &notCancelled;
    const std::u16string basePath = (folder.path() / "host.exe").u16string();

    EXPECT_EQ(request(1, u"cat", &result, basePath.c_str(), &callbacks), 1);
    EXPECT_EQ(fakehost::gHost.downloads.size(), static_cast<size_t>(row.downloads));
    EXPECT_EQ(fs::exists(folder.path() / "VoiceFiles"), row.downloads == 1);
    EXPECT_NE(result.entryText, nullptr);
    EXPECT_EQ(result.audioFiles[0], nullptr);
    fakehost::freeResult(result);
  }
}
#endif

}  // namespace
