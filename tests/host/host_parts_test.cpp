// The host's own pieces, below the level the end-to-end script sees: text
// conversion at the plug-in's edge, the page BSTR layout, the command line,
// URL maps, the store's path mapping and downloads that appear whole or not.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/entry_layout.h"
#include "host/host_files.h"
#include "host/host_text.h"
#include "host/module_config.h"
#include "host/options.h"
#include "host/page_cache.h"

using namespace host;

TEST(HostTextTest, Utf16ToUtf8_PairsJoinAndLoneSurrogatesBecomeReplacement) {
  const struct {
    std::u16string in;
    std::string want;
  } kCases[] = {
      {u"", ""},
      {u"cat", "cat"},
      {u"\u00e9\u3042", "\xc3\xa9\xe3\x81\x82"},
      {u"\xd83d\xde00", "\xf0\x9f\x98\x80"},  // U+1F600 from its pair
      {u"a\xd83d", "a\xef\xbf\xbd"},          // high surrogate at the end
      {u"\xde00z", "\xef\xbf\xbdz"},          // low surrogate alone
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.want);
    EXPECT_EQ(utf16ToUtf8(row.in.c_str()), row.want);
  }
  EXPECT_EQ(utf16ToUtf8(nullptr), "");
}

TEST(HostTextTest, Utf8ToUtf16_AcceptsWellFormedOnly) {
  std::u16string out;
  EXPECT_TRUE(utf8ToUtf16("\xe3\x81\x82\xf0\x9f\x98\x80", out));
  EXPECT_EQ(out, u"\u3042\xd83d\xde00");
  // Each byte that does not begin a well-formed sequence becomes U+FFFD (the
  // text the platform layer makes of a malformed path); the bytes after it
  // are read afresh.
  const struct {
    const char* bytes;
    std::u16string want;
  } kMalformed[] = {
      {"\xe9x", u"\ufffdx"},                              // Latin-1, a lead byte without its continuation
      {"\xc0\xaf", u"\ufffd\ufffd"},                       // overlong "/"
      {"\xed\xa0\x80", u"\ufffd\ufffd\ufffd"},              // an encoded surrogate
      {"\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},     // past U+10FFFF
      {"a\xe3\x81", u"a\ufffd\ufffd"},                     // cut short
      {"\x80<", u"\ufffd<"},                               // continuation without a lead
  };
  for (const auto& row : kMalformed) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    EXPECT_FALSE(utf8ToUtf16(row.bytes, out));
    EXPECT_EQ(out, row.want);
  }
}

TEST(HostTextTest, JsonEscape_QuotesBackslashAndControlsOnly) {
  EXPECT_EQ(jsonEscape("a\"b\\c\n\t\r\x01\x1f\x7f\xc3\xa9/\xc2\x80\xc2\x9f\xc2\xa0"),
            "a\\\"b\\\\c\\n\\t\\r\\u0001\\u001f\\u007f\xc3\xa9/\\u0080\\u009f\xc2\xa0");
}

TEST(HostTextTest, VisibleText_ShowsControlsAndKeepsTabLineFeedAndText) {
  const struct {
    const char* in;
    const char* want;
  } kCases[] = {
      {"a\tb\nc \xc3\xa9\xe3\x81\x82", "a\tb\nc \xc3\xa9\xe3\x81\x82"},
      {"\x1b[2J\x07\r\x7f", "^[[2J^G^M^?"},
      {"\xc2\x80\xc2\x9b\xc2\xa0", "\\x80\\x9b\xc2\xa0"},  // C1 shown, NBSP kept
      {"\x9b\xc2", "\xef\xbf\xbd\xef\xbf\xbd"},            // bytes outside UTF-8
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.want);
    EXPECT_EQ(visibleText(row.in), row.want);
  }
  EXPECT_EQ(visibleText(std::string("a\0b", 3)), "a^@b");
}

TEST(HostTextTest, PageBstr_HasByteLengthPrefixBytesAndTwoByteNul) {
  const std::string page("<p>\0x", 5);  // a zero inside stays; the plug-in stops there
  TPageBstr builder;
  ASSERT_TRUE(builder.append(page.data(), 2) && builder.append(page.data() + 2, 3));
  BSTR text = builder.release();
  ASSERT_NE(text, nullptr);
  const char* block = reinterpret_cast<const char*>(text) - 4;
  uint32_t length = 0;
  std::memcpy(&length, block, 4);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::memcmp(text, page.data(), 5), 0);
  EXPECT_EQ(block[4 + 5], 0);
  EXPECT_EQ(block[4 + 6], 0);
  freeBstr(text);
  freeBstr(nullptr);

  BSTR empty = builder.release();  // released builders start again empty
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], u'\0');
  freeBstr(empty);
}

namespace {

std::string parse(std::vector<const char*> args, TOptions& options) {
  args.insert(args.begin(), "lexoradx-lookup");
  return parseOptions(static_cast<int>(args.size()), args.data(), options);
}

}  // namespace

TEST(HostOptionsTest, ValuesInBothFormsAndOptionsAfterTheWord) {
  TOptions options;
  ASSERT_EQ(parse({"cat", "--dict=fr", "--map", "http://a/=http://b/", "--map=http://c/=x=y",
                   "--online", "--timeout", "5"},
                  options),
            "");
  EXPECT_EQ(options.word, "cat");
  EXPECT_EQ(options.dictionaries, std::vector<std::string>{"fr"});
  ASSERT_EQ(options.urlMaps.size(), 2u);
  EXPECT_EQ(options.urlMaps[1].first, "http://c/");
  EXPECT_EQ(options.urlMaps[1].second, "x=y");  // only the first "=" splits
  EXPECT_TRUE(options.online);
  EXPECT_EQ(options.timeoutSeconds, 5);
}

TEST(HostOptionsTest, ShortOptionsBundle_AndTheFirstWithAValueTakesTheRest) {
  TOptions options;
  ASSERT_EQ(parse({"-jndfr", "chat", "-r", "-d", "ja"}, options), "");
  EXPECT_TRUE(options.json && options.noAudio && options.raw);
  EXPECT_EQ(options.dictionaries, (std::vector<std::string>{"fr", "ja"}));  // several -d add up
  EXPECT_EQ(options.word, "chat");
  TOptions split;
  ASSERT_EQ(parse({"-ld"}, split), "-d needs a value");
  ASSERT_EQ(parse({"-lq"}, split), "unknown option -q");
}

TEST(HostOptionsTest, DoubleDashLetsAWordBeginWithAHyphen) {
  TOptions options;
  ASSERT_EQ(parse({"--", "-ism"}, options), "");
  EXPECT_EQ(options.word, "-ism");
}

TEST(HostOptionsTest, UsageErrors) {
  const struct {
    std::vector<const char*> args;
    const char* want;
  } kCases[] = {
      {{"--timeout", "3601", "cat"}, "--timeout needs a whole number of seconds from 1 to 3600"},
      {{"--timeout", "5s", "cat"}, "--timeout needs a whole number of seconds from 1 to 3600"},
      {{"--deadline", "0", "cat"}, "--deadline needs a whole number of seconds from 1 to 3600"},
      {{"--map", "nothing", "cat"}, "--map needs FROM=TO with a non-empty FROM"},
      {{"--pages=", "cat"}, "--pages needs a non-empty value"},
      {{"cat", "--module"}, "--module needs a value"},
      {{"--json=1", "cat"}, "--json takes no value"},
      {{"", }, "WORD is empty"},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.want);
    TOptions options;
    EXPECT_EQ(parse(row.args, options), row.want);
  }
}

TEST(HostOptionsTest, UrlMaps_FirstMatchingPrefixWinsAndRewritesOnce) {
  const std::vector<std::pair<std::string, std::string>> maps = {
      {"http://en.lexora.org/media/", "http://127.0.0.1:9/huge/"},
      {"http://en.lexora.org/", "http://127.0.0.1:9/en.lexora.org/"},
  };
  EXPECT_EQ(applyUrlMaps("http://en.lexora.org/media/x.ogg", maps), "http://127.0.0.1:9/huge/x.ogg");
  EXPECT_EQ(applyUrlMaps("http://en.lexora.org/wiki/cat", maps),
            "http://127.0.0.1:9/en.lexora.org/wiki/cat");
  EXPECT_EQ(applyUrlMaps("http://fr.lexora.org/wiki/chat", maps), "http://fr.lexora.org/wiki/chat");
}

TEST(HostStoreTest, StorePath_MapsHostAndPathAndKeepsEscapes) {
  const struct {
    const char* url;
    const char* suffix;
    const char* want;
  } kCases[] = {
      {"http://en.lexora.org/wiki/cat", ".html", "/s/en.lexora.org/wiki/cat.html"},
      {"http://ja.lexora.org/wiki/%E3%81%82", ".html", "/s/ja.lexora.org/wiki/%E3%81%82.html"},
      {"http://en.lexora.org/wiki/a%2F..%2Fb", ".html", "/s/en.lexora.org/wiki/a%2F..%2Fb.html"},
      {"http://media.lexora.org/a/ab/En-cat.ogg?x=1#t", "", "/s/media.lexora.org/a/ab/En-cat.ogg"},
      {"https://127.0.0.1:8080/p", "", "/s/127.0.0.1:8080/p"},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.url);
    std::string path, error;
    ASSERT_TRUE(storePath("/s", row.url, row.suffix, path, error)) << error;
    EXPECT_EQ(path, row.want);
  }
}

TEST(HostStoreTest, IsFileStraightIn_OnlyANameRightInsideTheFolder) {
  const struct {
    const char* path;
    bool want;
  } kCases[] = {
      {"/b/VoiceFiles/c1_a.ogg", true},     {"/b/VoiceFiles/c1_a/b.ogg", false},
      {"/b/VoiceFiles/", false},            {"/b/VoiceFiles/..", false},
      {"/b/VoiceFiles/.", false},           {"/b/VoiceFilesX/c1_a.ogg", false},
      {"/b/Voice/c1_a.ogg", false},         {"/b/VoiceFiles/..c1_a.ogg", true},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(isFileStraightIn("/b/VoiceFiles/", row.path), row.want);
  }
}

TEST(HostStoreTest, StorePath_RefusesUrlsThatLeaveTheStoreOrNameNoFile) {
  const char* const kRefused[] = {
      "http://en.lexora.org/../secret",  "http://en.lexora.org/wiki/../../x",
      "http://../etc/passwd",            "http://./x",
      "http://en.lexora.org/wiki/.",     "http://en.lexora.org/wiki/",
      "http://en.lexora.org",            "http:///x",
      "en.lexora.org/wiki/cat",
  };
  for (const char* url : kRefused) {
    SCOPED_TRACE(url);
    std::string path, error;
    EXPECT_FALSE(storePath("/s", url, ".html", path, error));
    EXPECT_FALSE(error.empty());
  }
}

namespace {

class HostFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lexoradx-host-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  std::vector<std::string> names(const std::string& under = "") const {
    std::vector<std::string> found;
    const std::string command = "ls -A '" + folder_ + under + "'";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char line[1024];
      while (fgets(line, sizeof line, pipe)) found.emplace_back(line, strcspn(line, "\n"));
      pclose(pipe);
    }
    return found;
  }

  std::string folder_;
};

}  // namespace

TEST_F(HostFilesTest, PartialFile_AppearsOnlyWhenCommitted) {
  const std::string target = folder_ + "/c1_x.ogg";
  {
    TPartialFile file(target);
    std::string error;
    ASSERT_TRUE(file.open(error)) << error;
    ASSERT_TRUE(file.write("abc", 3, error));
    EXPECT_EQ(names().size(), 1u);  // the temporary file
    EXPECT_EQ(access(target.c_str(), F_OK), -1);
  }  // dropped without commit: a failed transfer
  EXPECT_TRUE(names().empty());

  TPartialFile file(target);
  std::string error;
  ASSERT_TRUE(file.open(error) && file.write("abc", 3, error) && file.commit(error)) << error;
  EXPECT_EQ(names(), std::vector<std::string>{"c1_x.ogg"});
  std::string bytes;
  ASSERT_TRUE(readWholeFile(target, 3, bytes, error));
  EXPECT_EQ(bytes, "abc");
}

TEST_F(HostFilesTest, PartialFile_ALongestLegalNameFits) {
  const std::string target = folder_ + "/" + std::string(255, 'n');
  std::string error;
  EXPECT_TRUE(storeWhole(target, "abc", error)) << error;
  EXPECT_EQ(names(), std::vector<std::string>{std::string(255, 'n')});
}

TEST_F(HostFilesTest, ReadWholeFile_RefusesFilesOverTheLimit) {
  const std::string path = folder_ + "/page.html";
  {
    TPartialFile file(path);
    std::string error;
    ASSERT_TRUE(file.open(error) && file.write("12345", 5, error) && file.commit(error));
  }
  std::string bytes, error;
  EXPECT_TRUE(readWholeFile(path, 5, bytes, error));
  EXPECT_FALSE(readWholeFile(path, 4, bytes, error));
  EXPECT_NE(error.find("larger than"), std::string::npos);
  EXPECT_FALSE(readWholeFile(folder_ + "/absent", 5, bytes, error));

  error.clear();
  EXPECT_FALSE(readWholeFile(path, 5, [](const char*, std::size_t) { return false; }, error));
  EXPECT_EQ(error, "");  // the sink that stopped the reading says why
}

TEST_F(HostFilesTest, MakeDirectories_CreatesEveryLevelAndRejectsAFile) {
  std::string error;
  EXPECT_TRUE(makeDirectories(folder_ + "/a/b/c", error)) << error;
  EXPECT_TRUE(makeDirectories(folder_ + "/a/b/c", error)) << error;  // existing is fine
  TPartialFile file(folder_ + "/f");
  ASSERT_TRUE(file.open(error) && file.commit(error));
  EXPECT_FALSE(makeDirectories(folder_ + "/f", error));
}

TEST(EntryLayoutTest, BlocksAndSections_PronunciationRunningIntoALabel) {
  const auto languages = parseEntryLayout(
      "[[English]]\nipa  :/a/\naudio:http://m/a.ogg\n[Noun]\nline 1\nline 2\n\n[Verb]\nv\n"
      "[[French]]\nipa  :[a][Nom]\nn\n[[Latin]]\n\naudio:/l.ogg\n[[Greek]]\nipa  :[g]");
  ASSERT_EQ(languages.size(), 4u);
  const TEntryLanguage& english = languages[0];
  EXPECT_EQ(english.ipa, "/a/");
  EXPECT_EQ(english.audio, "http://m/a.ogg");
  ASSERT_EQ(english.sections.size(), 2u);
  EXPECT_EQ(english.sections[0].text, "line 1\nline 2\n");  // a text that ended with a line end
  EXPECT_EQ(english.sections[1].text, "v");
  ASSERT_EQ(languages[1].sections.size(), 1u);
  EXPECT_EQ(languages[1].ipa, "[a]");
  EXPECT_EQ(languages[1].sections[0].name, "Nom");
  EXPECT_EQ(languages[2].ipa, "");
  EXPECT_EQ(languages[2].audio, "/l.ogg");
  EXPECT_EQ(languages[3].ipa, "[g]");  // the entry's end: no label can follow
  EXPECT_TRUE(parseEntryLayout("").empty());
}

TEST(ModuleConfigTest, ConfigNumber_ReadAsTheModuleReadsIt) {
  const struct {
    const char* ini;
    long want;
  } kCases[] = {
      {"[config]\nCurrentMarkup=1\n", 1},
      {"[Config]\r\n  currentmarkup = 2 ; on\r\n", 2},
      {"[config]\nCurrentMarkup=yes\n", 0},   // numbers only
      {"[config]\nCurrentMarkup=\n", -1},     // empty reads as absent
      {"[other]\nCurrentMarkup=1\n", -1},
      {"; CurrentMarkup=1\n[config]\nAudioEnabled=0\n", -1},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.ini);
    EXPECT_EQ(configNumber(row.ini, "CurrentMarkup", -1), row.want);
  }
  EXPECT_EQ(moduleConfigPath("/a.b/LexoraDX.so"), "/a.b/LexoraDX.ini");
  EXPECT_EQ(moduleConfigPath("/a.b/LexoraDX"), "/a.b/LexoraDX.ini");
}

TEST_F(HostFilesTest, PageCache_KeepsPagesByUrlUnderItsBound) {
  const TPageCache cache(folder_ + "/pages", 25);
  const auto ageBy = [&](const char* url, int seconds) {
    for (const std::string& name : names("/pages")) {
      const std::string path = folder_ + "/pages/" + name;
      std::string bytes, error;
      if (!readWholeFile(path, 100, bytes, error) || bytes.rfind(url, 0) != 0) continue;
      const timeval when[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
      utimes(path.c_str(), when);
    }
  };
  cache.store("http://a/", "http://a/ page");  // 14 bytes
  ageBy("http://a/", 100);
  cache.store("http://b/", "http://b/");  // 9 bytes: 23 in all
  int64_t age = 0;
  EXPECT_TRUE(cache.age("http://a/", age));
  EXPECT_GE(age, 100);
  std::string page;
  EXPECT_TRUE(cache.read("http://a/", [&page](const char* data, std::size_t size) {
    page.append(data, size);
    return true;
  }));
  EXPECT_EQ(page, "http://a/ page");
  cache.store("http://c/", "http://c/");  // over the bound: the oldest goes
  EXPECT_FALSE(cache.age("http://a/", age));
  EXPECT_TRUE(cache.age("http://b/", age) && cache.age("http://c/", age));
  EXPECT_FALSE(TPageCache().age("http://b/", age));  // no folder: holds nothing
  EXPECT_EQ(describeAge(59), "59 seconds");
  EXPECT_EQ(describeAge(3 * 86400 + 5), "3 days");
  EXPECT_EQ(describeAge(3600), "1 hour");
}

TEST(HostTextTest, LowerCaseForms_FirstLetterThenAll_EachNewOnly) {
  const struct {
    const char* word;
    std::vector<std::string> want;
  } kCases[] = {
      {"CAT", {"cAT", "cat"}},
      {"Cat", {"cat"}},
      {"cat", {}},
      {"\xc3\x89T\xc3\x89", {"\xc3\xa9T\xc3\x89", "\xc3\xa9t\xc3\xa9"}},  // ÉTÉ: éTÉ, été
      {"\xe3\x81\xad\xe3\x81\x93", {}},                                     // no case at all
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.word);
    EXPECT_EQ(lowerCaseForms(row.word), row.want);
  }
}
