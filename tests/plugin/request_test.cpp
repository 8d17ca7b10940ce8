// The lookup request in-process, against the shared fake host serving pages
// written inline. Every BSTR the plug-in hands over is freed here, so the
// sanitizer build reports any string it leaks.
#include "plugin/request.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "plugin/config.h"
#include "tests/support/fake_host.h"

namespace fs = std::filesystem;

namespace {

const std::u16string kSep(1, platform::kPathSeparator);

// --- pages ---

const char* const kCatAudio = "http://media.lexora.org/a/ab/En-cat.ogg";

// One language section: an optional pronunciation sub-section holding an IPA
// span and an audio link, then a noun sub-section with one sense.
std::string languageSection(const std::string& language, const char* audioLink, const std::string& sense) {
  std::string html = "<h2><span class=\"mw-headline\">" + language + "</span></h2>\n";
  if (audioLink) {
    html += "<h3><span class=\"mw-headline\">Pronunciation</span></h3>\n"
            "<ul><li><span class=\"IPA\">/kat/</span></li>\n"
            "<li><span class=\"unicode audiolink\"><a href=\"" +
            std::string(audioLink) + "\">audio</a></span></li></ul>\n";
  }
  html += "<h3><span class=\"mw-headline\">Noun</span></h3>\n<ol><li>" + sense + "</li></ol>\n";
  return html;
}

// An entry page: the edit-section link marks it as one.
std::string entryPage(const std::string& sections) {
  return "<html><body>\n<span class=\"editsection\">[edit]</span>\n" + sections +
         "<div class=\"printfooter\">footer</div>\n</body></html>\n";
}

std::string catPage() { return entryPage(languageSection("English", kCatAudio, "A small animal.")); }

// --- the fake host ---

using fakehost::gHost;
using fakehost::PageMode;

// Stands in for strings the host put into the record before the call.
char16_t gHostSlotText[] = u"host";
const BSTR kHostSlot = reinterpret_cast<BSTR>(gHostSlotText);

std::u16string text(BSTR s) { return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : u"(null)"; }

// Sets the audio switch through the configuration file beside this program,
// the way the module reads it at attach, and turns it back on at the end.
class TAudioSwitchOff {
 public:
  TAudioSwitchOff() : path_(fs::path(configurationPath(platform::moduleFileName(nullptr)))) {
    write("0");
  }
  ~TAudioSwitchOff() {
    write("1");
    std::error_code ignored;
    fs::remove(path_, ignored);
  }

 private:
  void write(const char* value) {
    std::ofstream(path_) << "[config]\nAudioEnabled=" << value << "\n";
    loadConfiguration(nullptr);
  }
  fs::path path_;
};

class RequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gHost = fakehost::TFakeHost();
    gHost.page = catPage();
    for (BSTR& slot : record.audioFiles) slot = kHostSlot;
    record.entryText = kHostSlot;
    record.cancelFlag = &gHost.cancelValue;
    const fs::path base = fs::temp_directory_path();
    for (int i = 0;; ++i) {
      folder = base / ("lexoradx-request-test-" + std::to_string(i));
      if (fs::create_directory(folder)) break;
    }
    basePath = folder.u16string() + kSep + u"main.dat";
    voiceFolder = folder.u16string() + kSep + u"VoiceFiles" + kSep;
  }
  void TearDown() override {
    fakehost::freeResult(record, kHostSlot);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  LookupOutcome lookUp(const char16_t* word, int32_t dictIndex = 1) {
    return runLookup(dictIndex, word, &record, basePath.c_str(), &callbacks);
  }
  // The names in the record's slots, up to the first slot the host still holds.
  std::vector<std::u16string> audioNames() const {
    std::vector<std::u16string> names;
    for (BSTR slot : record.audioFiles) {
      if (slot == kHostSlot) break;
      names.push_back(text(slot));
    }
    return names;
  }
  size_t untouchedSlots() const {
    size_t n = 0;
    for (BSTR slot : record.audioFiles) n += slot == kHostSlot;
    return n;
  }

  HostCallbacks callbacks = fakehost::callbacks();
  LookupResult record{};
  fs::path folder;
  std::u16string basePath;
  std::u16string voiceFolder;
};

const char16_t* const kCatEntry =
    u"[[English]]\n"
    u"ipa  :/kat/\n"
    u"audio:http://media.lexora.org/a/ab/En-cat.ogg\n"
    u"[Noun]\n"
    u"1.A small animal.\n";

}  // namespace

// --- the page URL ---

TEST_F(RequestTest, PageUrl_IsTheBaseUrlAndTheEncodedWord) {
  const struct {
    int32_t dict;
    const char16_t* word;
    const char* url;
  } kCases[] = {
      {1, u"cat", "http://en.lexora.org/wiki/cat"},
      {0, u"\u3042", "http://ja.lexora.org/wiki/%E3%81%82"},
      {2, u"\u00E9t\u00E9", "http://fr.lexora.org/wiki/%C3%A9t%C3%A9"},
      {1, u"ice cream", "http://en.lexora.org/wiki/ice%20cream"},
      {1, u" Cat/Dog?", "http://en.lexora.org/wiki/%20Cat%2FDog%3F"},  // no trimming, no case change
      {1, u"\U0001F600", "http://en.lexora.org/wiki/%F0%9F%98%80"},
      {1, u"\xD800" u"a\xDC00", "http://en.lexora.org/wiki/%EF%BF%BDa%EF%BF%BD"},  // lone surrogates
      {1, u"", "http://en.lexora.org/wiki/"},
      {1, nullptr, "http://en.lexora.org/wiki/"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.url);
    gHost.fetchedUrls.clear();
    gHost.pageMode = PageMode::FailFetch;
    EXPECT_EQ(lookUp(c.word, c.dict), LookupOutcome::FetchFailed);
    ASSERT_EQ(gHost.fetchedUrls.size(), 1u);
    EXPECT_EQ(gHost.fetchedUrls[0], c.url);
  }
}

// --- the paths of a lookup ---

TEST_F(RequestTest, EntryWithAudio_ReturnsTextAndReportsTheFile) {
  ASSERT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), kCatEntry);
  ASSERT_EQ(gHost.downloads.size(), 1u);
  EXPECT_EQ(gHost.downloads[0].url, kCatAudio);
  EXPECT_EQ(gHost.downloads[0].extra, u"");
  EXPECT_EQ(gHost.downloads[0].localPath, voiceFolder + u"c1_a_ab_En-cat.ogg");
  EXPECT_EQ(audioNames(), std::vector<std::u16string>{u"c1_a_ab_En-cat.ogg"});
  EXPECT_EQ(untouchedSlots(), 15u);
  EXPECT_TRUE(fs::is_directory(folder / "VoiceFiles"));
  EXPECT_EQ(record.extraText, nullptr);
}

TEST_F(RequestTest, FailedFetch_IsReportedAndTouchesNothing) {
  gHost.pageMode = PageMode::FailFetch;
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::FetchFailed);
  EXPECT_EQ(record.entryText, kHostSlot);
  EXPECT_EQ(untouchedSlots(), 16u);
  EXPECT_TRUE(gHost.downloads.empty());
}

TEST_F(RequestTest, PagesWithoutEntry_AreNoEntryWithoutDownloads) {
  const struct {
    const char* name;
    PageMode mode;
    std::string page;
  } kCases[] = {
      {"empty page", PageMode::Normal, ""},
      {"variable left unset", PageMode::LeaveVariable, ""},
      // Audio links but no edit-section link: not an entry page.
      {"no edit section", PageMode::Normal,
       "<html>\n" + languageSection("English", kCatAudio, "A small animal.") + "</html>\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    gHost.pageMode = c.mode;
    gHost.page = c.page;
    EXPECT_EQ(lookUp(u"cat"), LookupOutcome::NoEntry);
    EXPECT_EQ(record.entryText, kHostSlot);
    EXPECT_EQ(untouchedSlots(), 16u);
    EXPECT_TRUE(gHost.downloads.empty());
  }
  EXPECT_FALSE(fs::exists(folder / "VoiceFiles"));
}

TEST_F(RequestTest, CancelBeforeTheCall_StillFetchesThenIsCancelled) {
  gHost.cancelValue = 1;
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Cancelled);
  EXPECT_EQ(gHost.fetchedUrls.size(), 1u);
  EXPECT_TRUE(gHost.downloads.empty());
  EXPECT_EQ(record.entryText, kHostSlot);
  EXPECT_EQ(untouchedSlots(), 16u);
}

TEST_F(RequestTest, CancelDuringTheAudioStage_KeepsTheFilesButNoText) {
  gHost.page = entryPage(languageSection("English", "/w/a.ogg", "one") +
                         languageSection("French", "/w/b.ogg", "two"));
  gHost.cancelAfterDownloads = 1;
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Cancelled);
  EXPECT_EQ(gHost.downloads.size(), 2u);  // the stage runs through once started
  EXPECT_EQ(audioNames(), (std::vector<std::u16string>{u"c1_w_a.ogg", u"c1_w_b.ogg"}));
  EXPECT_EQ(record.entryText, kHostSlot);
}

TEST_F(RequestTest, NullCancelPointer_CountsAsNotCancelled) {
  record.cancelFlag = nullptr;
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), kCatEntry);
}

TEST_F(RequestTest, AudioSwitchOff_ReturnsTextOnly) {
  TAudioSwitchOff off;
  ASSERT_FALSE(audioEnabled());
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), kCatEntry);
  EXPECT_TRUE(gHost.downloads.empty());
  EXPECT_EQ(untouchedSlots(), 16u);
  EXPECT_FALSE(fs::exists(folder / "VoiceFiles"));
}

// --- the audio stage ---

TEST_F(RequestTest, OnlyTheSecondOfThreeSectionsHasAudio_FillsSlotZero) {
  gHost.page = entryPage(languageSection("English", nullptr, "one") +
                         languageSection("French", "http://media.lexora.org/f/fr/Fr-chat.ogg", "two") +
                         languageSection("German", nullptr, "three"));
  EXPECT_EQ(lookUp(u"chat"), LookupOutcome::Found);
  ASSERT_EQ(gHost.downloads.size(), 1u);
  EXPECT_EQ(gHost.downloads[0].url, "http://media.lexora.org/f/fr/Fr-chat.ogg");
  EXPECT_EQ(audioNames(), std::vector<std::u16string>{u"c1_f_fr_Fr-chat.ogg"});
  EXPECT_EQ(untouchedSlots(), 15u);
}

TEST_F(RequestTest, FirstDownloadFails_SecondFileLandsInSlotZero) {
  gHost.page = entryPage(languageSection("English", "/w/a.ogg", "one") +
                         languageSection("French", "/w/b.ogg", "two"));
  gHost.downloadFails = {true};
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  ASSERT_EQ(gHost.downloads.size(), 2u);
  EXPECT_EQ(gHost.downloads[0].url, "http://en.lexora.org/w/a.ogg");  // relative: joined with the page's host
  EXPECT_EQ(gHost.downloads[1].url, "http://en.lexora.org/w/b.ogg");
  EXPECT_EQ(audioNames(), std::vector<std::u16string>{u"c1_w_b.ogg"});
}

TEST_F(RequestTest, DuplicateLanguageNames_DownloadTheFileTwice) {
  gHost.page = entryPage(languageSection("English", kCatAudio, "one") +
                         languageSection("English", "/w/other.ogg", "two"));
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  ASSERT_EQ(gHost.downloads.size(), 2u);
  EXPECT_EQ(gHost.downloads[1].url, kCatAudio);  // a language keeps its first link
  EXPECT_EQ(audioNames(), (std::vector<std::u16string>{u"c1_a_ab_En-cat.ogg", u"c1_a_ab_En-cat.ogg"}));
}

// Each repeat of a heading writes the language's whole block again: a page of
// 52 KB repeating one heading a thousand times over a long sense would ask for
// an entry of about two million units. It is refused, downloads included.
TEST_F(RequestTest, HeadingRepeatedThousandsOfTimes_IsRefusedNotBuilt) {
  std::string repeats;
  for (int i = 0; i < 1000; ++i) repeats += "<h2><span class=\"mw-headline\">English</span></h2>\n";
  gHost.page = entryPage(languageSection("English", kCatAudio, std::string(2000, 'x')) + repeats);
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::EntryTooLarge);
  EXPECT_EQ(record.entryText, kHostSlot);
  EXPECT_TRUE(gHost.downloads.empty());

  // A few repeats, as real pages have them, still give the entry.
  gHost = fakehost::TFakeHost();
  gHost.page = entryPage(languageSection("English", kCatAudio, std::string(2000, 'x')) +
                         "<h2><span class=\"mw-headline\">English</span></h2>\n"
                         "<h2><span class=\"mw-headline\">English</span></h2>\n");
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(gHost.downloads.size(), 3u);
}

// Found by fuzzing: a reference to CR, mid-line or cut by the line's end,
// would have put a carriage return into the entry text.
TEST_F(RequestTest, ReferencesToCarriageReturn_NeverReachTheEntry) {
  gHost.page = entryPage(languageSection("English", nullptr, "one&#13;&#10;two &#13\nthree&#0013;"));
  ASSERT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), u"[[English]]\n[Noun]\n1.one\ntwo three\n");
}

// Each invalid part of the page's bytes is one U+FFFD and never takes the
// markup after it along; no overlong form becomes a "/" or a NUL.
TEST_F(RequestTest, InvalidUtf8_BecomesReplacementCharacters) {
  gHost.page = entryPage(languageSection("English", "/w/a\xC0\xAF.ogg",
                                         "one\xE3</li><li>two\xC0\x80three\xED\xA0\x80"));
  ASSERT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText),
            u"[[English]]\nipa  :/kat/\naudio:/w/a\uFFFD\uFFFD.ogg\n[Noun]\n"
            u"1.one\uFFFD\n2.two\uFFFD\uFFFDthree\uFFFD\uFFFD\uFFFD\n");
  ASSERT_EQ(gHost.downloads.size(), 1u);
  EXPECT_EQ(gHost.downloads[0].url, "http://en.lexora.org/w/a\xEF\xBF\xBD\xEF\xBF\xBD.ogg");
}

// A link names a place relative to the page; the local name comes from the
// URL it resolves to, so one recording has one name however it is linked.
TEST_F(RequestTest, AudioLinks_ResolveAgainstThePageUrl) {
  gHost.page = entryPage(languageSection("English", "//media.lexora.org/a/ab/En-cat.ogg", "one") +
                         languageSection("French", kCatAudio, "two") +
                         languageSection("German", "x.ogg", "three") +
                         languageSection("Dutch", ".evil.example/x.ogg", "four"));
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  ASSERT_EQ(gHost.downloads.size(), 4u);
  EXPECT_EQ(gHost.downloads[0].url, kCatAudio);
  EXPECT_EQ(gHost.downloads[2].url, "http://en.lexora.org/wiki/x.ogg");
  EXPECT_EQ(gHost.downloads[3].url, "http://en.lexora.org/wiki/.evil.example/x.ogg");
  EXPECT_EQ(audioNames(), (std::vector<std::u16string>{u"c1_a_ab_En-cat.ogg", u"c1_a_ab_En-cat.ogg",
                                                       u"c1_wiki_x.ogg", u"c1_wiki_.evil.example_x.ogg"}));
}

TEST_F(RequestTest, HostileAudioLink_StaysInTheVoiceFileFolder) {
  gHost.page = entryPage(languageSection("English", "/..\\..\\x:y.ogg", "one"));
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  ASSERT_EQ(gHost.downloads.size(), 1u);
  EXPECT_EQ(gHost.downloads[0].localPath, voiceFolder + u"c1_.._.._x_y.ogg");
  EXPECT_EQ(audioNames(), std::vector<std::u16string>{u"c1_.._.._x_y.ogg"});
}

// A host may hand any other scheme to handlers that open local files or
// shares: such links are passed over as sections without audio are, so they
// use up neither the calls nor the slots.
TEST_F(RequestTest, LinksOfOtherSchemes_AreNeverOffered) {
  std::string sections;
  for (const char* link : {"file://attacker.example/share/x.ogg", "ftp://h/x.ogg", "javascript:alert(1)//x.ogg",
                           "C:\\Users\\x.ogg", "FILE:///etc/x.ogg"}) {
    sections += languageSection("L" + std::to_string(sections.size()), link, "sense");
  }
  for (int i = 0; i < 40; ++i) sections += languageSection("F" + std::to_string(i), "file:///x.ogg", "sense");
  sections += languageSection("English", "HTTPS://media.lexora.org/a/Cat.ogg", "one");
  gHost.page = entryPage(sections);
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  ASSERT_EQ(gHost.downloads.size(), 1u);
  EXPECT_EQ(gHost.downloads[0].url, "HTTPS://media.lexora.org/a/Cat.ogg");
  EXPECT_EQ(audioNames(), std::vector<std::u16string>{u"c1_a_Cat.ogg"});
}

// Windows takes names that differ only in case for one file: a second link
// of that name would overwrite the first recording and take a second slot.
// The same name again is the same file (a repeated language), as before.
TEST_F(RequestTest, NamesDifferingOnlyInCase_AreOneFile) {
  gHost.page = entryPage(languageSection("English", "/w/Cat.ogg", "one") +
                         languageSection("French", "/w/cat.ogg", "two") +
                         languageSection("German", "/W/CAT.ogg", "three") +
                         languageSection("Dutch", "/w/dog.ogg", "four") +
                         languageSection("English", "/w/x.ogg", "five"));
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  ASSERT_EQ(gHost.downloads.size(), 3u);
  EXPECT_EQ(audioNames(), (std::vector<std::u16string>{u"c1_w_Cat.ogg", u"c1_w_dog.ogg", u"c1_w_Cat.ogg"}));

  // A name whose download failed holds no file: its other case may come.
  TearDown();
  SetUp();
  gHost.page = entryPage(languageSection("English", "/w/Cat.ogg", "one") +
                         languageSection("French", "/w/cat.ogg", "two"));
  gHost.downloadFails = {true};
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(gHost.downloads.size(), 2u);
  EXPECT_EQ(audioNames(), std::vector<std::u16string>{u"c1_w_cat.ogg"});
}

// More sections with audio than the record has slots: the stage stops once
// every slot holds a name, and the host's cancel pointer after the last slot
// stays as it was.
TEST_F(RequestTest, MoreThanSixteenFiles_StopsAtSixteenSlots) {
  const struct {
    int sections;
    std::vector<bool> fails;
    size_t downloads;
  } kCases[] = {
      {16, {}, 16},
      {17, {}, 16},
      {20, {true, false, true}, 18},  // failures do not take a slot
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sections);
    TearDown();
    SetUp();
    std::string sections;
    for (int i = 0; i < c.sections; ++i) {
      const std::string n = std::to_string(i);
      sections += languageSection("L" + n, ("/w/" + n + ".ogg").c_str(), "sense");
    }
    gHost.page = entryPage(sections);
    gHost.downloadFails = c.fails;
    const int32_t* const cancelPointer = record.cancelFlag;
    EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
    EXPECT_EQ(gHost.downloads.size(), c.downloads);
    EXPECT_EQ(untouchedSlots(), 0u);
    EXPECT_EQ(record.cancelFlag, cancelPointer);
    EXPECT_EQ(text(record.audioFiles[15]), u"c1_w_" + std::u16string(c.fails.empty() ? u"15" : u"17") + u".ogg");
  }
}

// Failed downloads take no slot, so the calls have a bound of their own: a
// page that repeats its language heading would ask for the file once per
// repeat.
TEST_F(RequestTest, FailingDownloads_StopAfterThirtyTwoCalls) {
  std::string repeats;
  for (int i = 0; i < 100; ++i) repeats += "<h2><span class=\"mw-headline\">English</span></h2>\n";
  std::string manySections;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    manySections += languageSection("L" + n, ("/w/" + n + ".ogg").c_str(), "sense");
  }
  const struct {
    std::string page;
    int failing;  // the first this many calls fail
    size_t stored;
  } kCases[] = {
      {entryPage(languageSection("English", kCatAudio, "one") + repeats), 1000, 0},
      {entryPage(manySections), 1000, 0},
      {entryPage(manySections), 20, 12},  // the calls run out before the slots
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    TearDown();
    SetUp();
    gHost.page = c.page;
    gHost.downloadFails.assign(static_cast<size_t>(c.failing), true);
    EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
    EXPECT_EQ(gHost.downloads.size(), 32u);
    EXPECT_EQ(audioNames().size(), c.stored);
  }
}

// --- the page string and bad arguments ---

TEST_F(RequestTest, PageBytes_EndAtTheFirstZeroByte) {
  gHost.page = catPage() + std::string(1, '\0') +
               languageSection("French", "/w/hidden.ogg", "hidden");
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), kCatEntry);
  EXPECT_EQ(gHost.downloads.size(), 1u);
}

#if !defined(_WIN32)
// A host may forget the terminating zero: the page then ends at the string's
// byte length, even when more bytes follow in its block.
TEST_F(RequestTest, PageWithoutTerminatingZero_IsReadUpToItsByteLength) {
  gHost.pageMode = PageMode::Unbounded;
  const std::string page = catPage();
  gHost.page = page + languageSection("French", "/w/hidden.ogg", "hidden");
  gHost.unboundedLength = static_cast<int32_t>(page.size());
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), kCatEntry);

  // The block is exactly as long as the bytes: reading on would overrun it.
  TearDown();
  SetUp();
  gHost.pageMode = PageMode::Unbounded;
  gHost.unboundedLength = static_cast<int32_t>(gHost.page.size());
  EXPECT_EQ(lookUp(u"cat"), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), kCatEntry);
}
#endif

TEST_F(RequestTest, BadArguments_AreRefusedWithoutCalls) {
  for (int32_t dict : {-1, 3, 4, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(dict);
    EXPECT_EQ(lookUp(u"cat", dict), LookupOutcome::BadArguments);
  }
  EXPECT_EQ(runLookup(1, u"cat", nullptr, basePath.c_str(), &callbacks), LookupOutcome::BadArguments);
  EXPECT_EQ(runLookup(1, u"cat", &record, basePath.c_str(), nullptr), LookupOutcome::BadArguments);
  HostCallbacks noFetch{nullptr, fakehost::downloadFile};
  EXPECT_EQ(runLookup(1, u"cat", &record, basePath.c_str(), &noFetch), LookupOutcome::BadArguments);
  EXPECT_TRUE(gHost.fetchedUrls.empty());
  EXPECT_EQ(record.entryText, kHostSlot);
}

TEST_F(RequestTest, NullDownloadCallback_SkipsTheAudioStage) {
  HostCallbacks fetchOnly{fakehost::fetchPage, nullptr};
  EXPECT_EQ(runLookup(1, u"cat", &record, basePath.c_str(), &fetchOnly), LookupOutcome::Found);
  EXPECT_EQ(text(record.entryText), kCatEntry);
  EXPECT_EQ(untouchedSlots(), 16u);
}

// An exception passing through the request (as out of memory would) leaves
// nothing allocated behind: the page string, the parser and every text are
// released on the way out. The sanitizer build checks that.
TEST_F(RequestTest, ExceptionInACallback_ReleasesEverything) {
  gHost.pageMode = PageMode::Throw;
  EXPECT_THROW(lookUp(u"cat"), std::bad_alloc);

  gHost.pageMode = PageMode::Normal;
  gHost.throwInDownload = true;
  EXPECT_THROW(lookUp(u"cat"), std::bad_alloc);
  EXPECT_EQ(record.entryText, kHostSlot);
  EXPECT_EQ(untouchedSlots(), 16u);
}
