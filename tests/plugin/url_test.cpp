// URL and local audio path composition: percent-encoding, URL joining, the
// voice-file path (with its folder really created in a temporary folder) and
// the path helpers. Local paths are compared with the platform's separator.
#include "plugin/url.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

const std::u16string kSep(1, platform::kPathSeparator);

std::string encoded(const char* text) {
  __kvstrA target;
  percentEncode(target, text);
  return target.str();
}

// A fresh folder under the system's temporary folder, removed at the end.
class TTempFolder {
 public:
  TTempFolder() {
    const fs::path base = fs::temp_directory_path();
    for (int i = 0;; ++i) {
      path_ = base / ("lexoradx-url-test-" + std::to_string(i));
      if (fs::create_directory(path_)) break;
    }
  }
  ~TTempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  /// The folder's path with a trailing separator, as TVoiceFolder composes it.
  std::u16string withSeparator() const { return path_.u16string() + kSep; }

 private:
  fs::path path_;
};

// Changes the current folder for the lifetime of the object.
class TCurrentFolder {
 public:
  explicit TCurrentFolder(const fs::path& folder) : saved_(fs::current_path()) { fs::current_path(folder); }
  ~TCurrentFolder() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

}  // namespace

// --- percentEncode ---

TEST(PercentEncodeTest, EveryByte_IsClassifiedAgainstTheUnreservedSet) {
  // The 71 bytes that stay as they are, written out by hand.
  const char kUnreserved[] =
      "!'()*-."
      "0123456789"
      "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
      "_"
      "abcdefghijklmnopqrstuvwxyz"
      "~";
  ASSERT_EQ(std::strlen(kUnreserved), 71u);
  for (int b = 1; b <= 255; ++b) {
    SCOPED_TRACE(b);
    const char text[2] = {static_cast<char>(b), 0};
    std::string want;
    if (std::strchr(kUnreserved, b)) {
      want = text;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", b);
      want = escape;
    }
    EXPECT_EQ(encoded(text), want);
  }
}

TEST(PercentEncodeTest, Texts_AreEncodedBytewise) {
  const struct {
    const char* in;
    const char* want;
  } kCases[] = {
      {"", ""},
      {"cat", "cat"},
      {"a b", "a%20b"},
      {"~*'()!-._", "~*'()!-._"},
      {"\xC3\xA9", "%C3%A9"},
      {"\xE3\x81\x82", "%E3%81%82"},
      {"/", "%2F"},
      {"\x7F", "%7F"},
      {"a+b", "a%2Bb"},
      {"100%", "100%25"},
      {"x?y=1&z#f", "x%3Fy%3D1%26z%23f"},
      {"\xFF\x80", "%FF%80"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(encoded(c.in), c.want);
  }
}

TEST(PercentEncodeTest, NullText_GivesEmpty) { EXPECT_EQ(encoded(nullptr), ""); }

TEST(PercentEncodeTest, Target_IsReplacedNotAppended) {
  __kvstrA target("old contents");
  percentEncode(target, "a b");
  EXPECT_STREQ(target.str(), "a%20b");
}

// --- urlPathStart and resolveUrl ---

TEST(UrlPathStartTest, FindsTheFirstSlashAfterTheHost) {
  const struct {
    const char* url;
    int offset;  // -1: null
  } kCases[] = {
      {"http://h/a/b", 8},
      {"http://ja.lexora.org/wiki/cat", 20},
      {"http://h", -1},
      {"http://", -1},
      {"abc/def", -1},
      {"//h/a", -1},
      {"http:///x/y", 9},  // the "/" run after "://" is skipped
      {"s://h/a://b/c", 5},
      {"", -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.url);
    const char* start = urlPathStart(c.url);
    EXPECT_EQ(start ? static_cast<int>(start - c.url) : -1, c.offset);
  }
  EXPECT_EQ(urlPathStart(nullptr), nullptr);
}

TEST(ResolveUrlTest, LinksResolveAgainstThePageUrl) {
  const char* kPage = "http://ja.lexora.org/wiki/cat";
  const struct {
    const char* page;
    const char* link;
    const char* want;
  } kCases[] = {
      // A scheme of its own, or a whole path: the link as the page wrote it.
      {kPage, "http://media.lexora.org/a/ab/b.ogg", "http://media.lexora.org/a/ab/b.ogg"},
      {kPage, "https://media.lexora.org", "https://media.lexora.org"},
      {kPage, "C:evil.ogg", "C:evil.ogg"},
      {kPage, "/w/a.ogg", "http://ja.lexora.org/w/a.ogg"},
      {kPage, "/w/../a.ogg?x=1#f", "http://ja.lexora.org/w/../a.ogg?x=1#f"},
      {kPage, "/x.ogg?from=http://h/p", "http://ja.lexora.org/x.ogg?from=http://h/p"},
      // Another host, with the page's scheme.
      {kPage, "//media.lexora.org/a/ab/x.ogg", "http://media.lexora.org/a/ab/x.ogg"},
      {"https://h/wiki/cat", "//m", "https://m"},
      // Read from the page's folder, never glued to its host.
      {kPage, "x.ogg", "http://ja.lexora.org/wiki/x.ogg"},
      {kPage, ".evil.example/x.ogg", "http://ja.lexora.org/wiki/.evil.example/x.ogg"},
      {kPage, "@127.0.0.1:9/x.ogg", "http://ja.lexora.org/wiki/@127.0.0.1:9/x.ogg"},
      {kPage, "1a:b.ogg", "http://ja.lexora.org/wiki/1a:b.ogg"},  // no scheme starts with a digit
      {kPage, "../x.ogg", "http://ja.lexora.org/x.ogg"},
      {kPage, "../../../x.ogg", "http://ja.lexora.org/x.ogg"},
      {kPage, "./a/./b/../x.ogg", "http://ja.lexora.org/wiki/a/x.ogg"},
      {kPage, ".", "http://ja.lexora.org/wiki/"},
      {kPage, "..", "http://ja.lexora.org/"},
      {kPage, "x.ogg?a=b#c", "http://ja.lexora.org/wiki/x.ogg?a=b#c"},
      // No path: the page's own, with its query unless the link has one.
      {kPage, "", "http://ja.lexora.org/wiki/cat"},
      {kPage, nullptr, "http://ja.lexora.org/wiki/cat"},
      {"http://h/a/b?q#f", "", "http://h/a/b?q"},
      {"http://h/a/b?q#f", "#g", "http://h/a/b?q#g"},
      {"http://h/a/b?q#f", "?r", "http://h/a/b?r"},
      {"http://h/a/b?q#f", "c", "http://h/a/c"},
      // A page URL without a path is read as the root.
      {"http://h", "x.ogg", "http://h/x.ogg"},
      {"http://h", "/a.ogg", "http://h/a.ogg"},
      {nullptr, "/a.ogg", "/a.ogg"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.page ? c.page : "(null)") + " + " + (c.link ? c.link : "(null)"));
    EXPECT_STREQ(resolveUrl(c.page, c.link).str(), c.want);
  }
}

// --- TVoiceFolder ---

TEST(VoiceFolderTest, LinkPath_BecomesThePrefixedName) {
  TTempFolder temp;
  const std::u16string base = temp.withSeparator() + u"main.dat";
  const std::u16string folder = temp.withSeparator() + u"VoiceFiles" + kSep;
  const struct {
    const char* link;
    const char16_t* want;
  } kCases[] = {
      {"http://media.lexora.org/a/ab/En-cat.ogg", u"c1_a_ab_En-cat.ogg"},
      {"/w/x.ogg", u"c1_w_x.ogg"},
      {"x.ogg", u"c1_x.ogg"},
      {"//media.lexora.org/a/b.ogg", u"c1__media.lexora.org_a_b.ogg"},  // only one "/" is dropped
      {"http://h/a/b.ogg?x=1/2#f", u"c1_a_b.ogg_x=1_2#f"},
      {"http://h/a/%C3%A9.ogg", u"c1_a_%C3%A9.ogg"},                    // escapes are not decoded
      {"http://h/a/\xC3\xA9t\xC3\xA9.ogg", u"c1_a_\u00E9t\u00E9.ogg"},  // UTF-8 becomes UTF-16
      {"", u"c1_"},
      {nullptr, u"c1_"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.link ? c.link : "(null)");
    EXPECT_EQ(std::u16string(TVoiceFolder(base.c_str(), u"VoiceFiles").audioPath(c.link, u"c1_").str()),
              folder + c.want);
  }
  EXPECT_TRUE(fs::is_directory(temp.path() / "VoiceFiles"));
}

TEST(VoiceFolderTest, HostileLinks_StayInsideTheVoiceFileFolder) {
  TTempFolder temp;
  const std::u16string base = temp.withSeparator() + u"main.dat";
  const std::u16string folder = temp.withSeparator() + u"VoiceFiles" + kSep;
  const struct {
    const char* link;
    const char16_t* want;
  } kCases[] = {
      {"/..\\..\\Windows\\evil.ogg", u"c1_.._.._Windows_evil.ogg"},
      {"/../../etc/passwd", u"c1_.._.._etc_passwd"},
      {"http://h/../../x.ogg", u"c1_.._.._x.ogg"},
      {"..", u"c1_"},  // Windows would drop the dots
      {"/..", u"c1_"},
      {"/.", u"c1_"},
      {"C:\\evil.ogg", u"c1_C__evil.ogg"},
      {"C:evil.ogg", u"c1_C_evil.ogg"},
      {"\\\\server\\share\\x.ogg", u"c1___server_share_x.ogg"},
      {"/a.ogg:stream", u"c1_a.ogg_stream"},
      {"http://h", u"c1_http___h"},  // no path: the whole link, its ":" mended
      {"/a.ogg?x=1", u"c1_a.ogg_x=1"},
      {"/a*b?c\"d<e>f|g", u"c1_a_b_c_d_e_f_g"},
      {"/a\x01" "b\x1F" "c\td\n.ogg", u"c1_a_b_c_d_.ogg"},
      {"/a\x7F" "b", u"c1_a\u007Fb"},  // DEL is a valid file-name character
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.link);
    const __kvstrW path = TVoiceFolder(base.c_str(), u"VoiceFiles").audioPath(c.link, u"c1_");
    const std::u16string got = path.str();
    EXPECT_EQ(got, folder + c.want);
    ASSERT_EQ(got.compare(0, folder.size(), folder), 0) << "outside the voice-file folder";
    EXPECT_EQ(fileNamePart(path.str()), path.str() + folder.size()) << "name has more than one component";
    const std::u16string name = got.substr(folder.size());
    EXPECT_NE(name, u".");
    EXPECT_NE(name, u"..");
  }
}

// Windows drops trailing dots and blanks and refuses a final component past
// 255 units: the name reported must be the file that exists.
TEST(VoiceFolderTest, NamesWindowsCannotKeep_AreFitted) {
  TTempFolder temp;
  const std::u16string base = temp.withSeparator() + u"main.dat";
  const std::u16string folder = temp.withSeparator() + u"VoiceFiles" + kSep;
  const std::string longStem(300, 'a');
  const std::u16string pair = u"\U0001F600";
  const struct {
    std::string link;
    std::u16string want;
  } kCases[] = {
      {"/a/dot.ogg.", u"c1_a_dot.ogg"},
      {"/a/x.ogg . .. ", u"c1_a_x.ogg"},
      {"/a.b c", u"c1_a.b c"},
      {"/" + longStem + ".ogg", u"c1_" + std::u16string(248, u'a') + u".ogg"},
      {"/" + longStem + ".ogg...", u"c1_" + std::u16string(248, u'a') + u".ogg"},
      {"/" + longStem, u"c1_" + std::u16string(252, u'a')},
      {"/" + std::string(251, 'a') + "....." + longStem, u"c1_" + std::u16string(251, u'a')},
      // A pair is never cut in two.
      {"/" + std::string(246, 'a') + "\xF0\x9F\x98\x80.ogg", u"c1_" + std::u16string(246, u'a') + pair + u".ogg"},
      {"/" + std::string(247, 'a') + "\xF0\x9F\x98\x80.ogg", u"c1_" + std::u16string(247, u'a') + u".ogg"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.link.substr(0, 20));
    const std::u16string got = TVoiceFolder(base.c_str(), u"VoiceFiles").audioPath(c.link.c_str(), u"c1_").str();
    EXPECT_EQ(got, folder + c.want);
    EXPECT_LE(got.size() - folder.size(), 255u);
  }
  // Nothing left of the name: no path, and no folder made for it.
  EXPECT_TRUE(TVoiceFolder(base.c_str(), u"Empty").audioPath("/. . .", u"").empty());
  EXPECT_FALSE(fs::exists(temp.path() / "Empty"));
}

TEST(IsWebUrlTest, OnlyHttpAndHttpsNamingAHost) {
  const struct {
    const char* url;
    bool web;
  } kCases[] = {
      {"http://h/a.ogg", true},
      {"HTTPS://h/a.ogg", true},
      {"hTtP://h", true},
      {"file://attacker.example/share/x.ogg", false},
      {"ftp://h/x.ogg", false},
      {"javascript:alert(1)//x.ogg", false},
      {"C:\\Users\\x.ogg", false},
      {"httpx://h/a.ogg", false},
      {"http:/h/a.ogg", false},
      {"http:///a.ogg", false},
      {"//h/a.ogg", false},
      {"/a.ogg", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.url ? c.url : "(null)");
    EXPECT_EQ(isWebUrl(c.url), c.web);
  }
}

TEST(VoiceFolderTest, BasePathFolder_DecidesWhereTheFolderGoes) {
  TTempFolder temp;
  const std::u16string root = temp.withSeparator();
  // A trailing separator names the folder itself; without it the last
  // component is taken for a file name.
  EXPECT_EQ(std::u16string(TVoiceFolder(root.c_str(), u"VoiceFiles").audioPath("/x.ogg", u"c1_").str()),
            root + u"VoiceFiles" + kSep + u"c1_x.ogg");
  const std::u16string sub = root + u"Dict";
  EXPECT_EQ(std::u16string(TVoiceFolder(sub.c_str(), u"Voice2").audioPath("/x.ogg", u"c1_").str()),
            root + u"Voice2" + kSep + u"c1_x.ogg");
  EXPECT_TRUE(fs::is_directory(temp.path() / "VoiceFiles"));
  EXPECT_TRUE(fs::is_directory(temp.path() / "Voice2"));
  EXPECT_FALSE(fs::exists(temp.path() / "Dict"));
}

// One lookup asks the file system once, however many files it stores; the
// next lookup makes the folder again if it went meanwhile.
TEST(VoiceFolderTest, Folder_IsMadeOnceAFolderObject) {
  TTempFolder temp;
  const std::u16string base = temp.withSeparator() + u"main.dat";
  TVoiceFolder lookup(base.c_str(), u"VoiceFiles");
  const std::u16string first = lookup.audioPath("/x.ogg", u"c1_").str();
  ASSERT_TRUE(fs::is_directory(temp.path() / "VoiceFiles"));
  fs::remove(temp.path() / "VoiceFiles");
  EXPECT_EQ(std::u16string(lookup.audioPath("/y.ogg", u"c1_").str()), first.substr(0, first.size() - 5) + u"y.ogg");
  EXPECT_FALSE(fs::exists(temp.path() / "VoiceFiles"));
  EXPECT_EQ(std::u16string(TVoiceFolder(base.c_str(), u"VoiceFiles").audioPath("/x.ogg", u"c1_").str()), first);
  EXPECT_TRUE(fs::is_directory(temp.path() / "VoiceFiles"));
}

TEST(VoiceFolderTest, FolderThatCannotBeMade_StillGivesThePath) {
  TTempFolder temp;
  const std::u16string base = temp.withSeparator() + u"missing" + kSep + u"main.dat";
  EXPECT_EQ(std::u16string(TVoiceFolder(base.c_str(), u"VoiceFiles").audioPath("/x.ogg", u"c1_").str()),
            temp.withSeparator() + u"missing" + kSep + u"VoiceFiles" + kSep + u"c1_x.ogg");
  EXPECT_FALSE(fs::exists(temp.path() / "missing"));
}

TEST(VoiceFolderTest, BasePathWithoutFolder_IsRelativeToTheCurrentFolder) {
  TTempFolder temp;
  TCurrentFolder inside(temp.path());
  const std::u16string want = u"VoiceFiles" + kSep + u"c1_a_x.ogg";
  for (const char16_t* base : {static_cast<const char16_t*>(nullptr), u"", u"main.dat"}) {
    SCOPED_TRACE(base ? std::string(base, base + std::char_traits<char16_t>::length(base)) : "(null)");
    EXPECT_EQ(std::u16string(TVoiceFolder(base, u"VoiceFiles").audioPath("http://h/a/x.ogg", u"c1_").str()), want);
  }
  EXPECT_TRUE(fs::is_directory(temp.path() / "VoiceFiles"));
}

TEST(VoiceFolderTest, EmptyFolderText_AddsNoSeparator) {
  TTempFolder temp;
  TCurrentFolder inside(temp.path());
  EXPECT_EQ(std::u16string(TVoiceFolder(u"main.dat", u"").audioPath("/a/x.ogg", u"c1_").str()), u"c1_a_x.ogg");
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

// --- fileNamePart, directoryPart, replaceAll ---

TEST(FileNamePartTest, NameFollowsTheLastSeparatorElseTheLastColon) {
  const struct {
    const char16_t* path;
    int offset;
  } kCases[] = {
      {u"C:\\Dict\\x.ogg", 8},
      {u"C:x.ogg", 2},
      {u"x.ogg", 0},
      {u"/a/b", 3},
      {u"a/b\\c", 4},
      {u"a\\b/c", 4},
      {u"C:\\Dict\\", 8},  // a trailing separator leaves the empty name
      {u"a:b/c:d", 4},     // a separator wins over a later colon
      {u"a:b:c", 4},
      {u"", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.offset);
    EXPECT_EQ(fileNamePart(c.path) - c.path, c.offset);
  }
  EXPECT_EQ(fileNamePart(nullptr), nullptr);
}

TEST(DirectoryPartTest, TextBeforeTheName) {
  const struct {
    const char16_t* path;
    const char16_t* want;
  } kCases[] = {
      {u"C:\\Dict\\main.dat", u"C:\\Dict\\"},
      {u"main.dat", u""},
      {u"C:main.dat", u"C:"},
      {u"/a/b/", u"/a/b/"},
      {u"/a/b", u"/a/"},
      {nullptr, u""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(std::u16string(directoryPart(c.path).str()), c.want);
  }
}

TEST(ReplaceAllTest, OccurrencesAreReplacedLeftToRightOnce) {
  const struct {
    const char16_t* text;
    const char16_t* find;
    const char16_t* replacement;
    const char16_t* want;
  } kCases[] = {
      {u"a/b/c", u"/", u"_", u"a_b_c"},
      {u"aaa", u"aa", u"b", u"ba"},     // no overlap
      {u"a/b", u"/", u"//", u"a//b"},   // replaced text is not scanned again
      {u"abab", u"ab", u"", u""},
      {u"/", u"/", u"xyz", u"xyz"},
      {u"x", u"/", u"_", u"x"},
      {u"ab", u"abc", u"z", u"ab"},     // find longer than the text
      {u"", u"/", u"_", u""},
      {nullptr, u"/", u"_", u""},
      {u"a/b", u"", u"_", u"a/b"},      // an empty find replaces nothing
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(std::u16string(replaceAll(c.text, c.find, c.replacement).str()), c.want);
  }
}
