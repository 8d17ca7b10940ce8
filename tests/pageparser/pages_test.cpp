// Whole entry pages: every page under samples/pages/<host>/wiki/ is parsed as
// the lookup parses it, and its entry text and audio links are compared with
// the hand-written samples/expected/<host>/<name>.txt and <name>.audio.
// samples/pages-markup2/ and samples/pages-markup3/ hold the same articles in
// the two later markups, each the twin of the classic page of its name: read
// in current-markup mode, all three give samples/expected-current/<host>/
// <name>.txt and .audio. Pages are found by walking the folders, so a new
// page needs no code here.
#include "pageparser/lexora_parser.h"
#include "plugin/url.h"
#include "textlib/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

const fs::path kSamples = fs::path(DX_SOURCE_DIR) / "samples";

struct SamplePage {
  fs::path html;      ///< samples/pages/<host>/wiki/<name>.html
  fs::path expected;  ///< samples/expected/<host>/<name> without suffix
  fs::path expectedCurrent;  ///< the same under samples/expected-current/
  std::string url;    ///< the address the lookup fetches it from
};

std::string readBytes(const fs::path& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error) return "<missing " + path.string() + ">";
  std::string bytes(static_cast<size_t>(size), '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::string utf8Of(const char16_t* text, int32_t count) {
  __kvstrA bytes;
  toUtf8(bytes, text, count);
  return bytes.str();
}

/// The page stores: the classic pages, then the twins in the later markups.
const char* const kClassicStore = "pages";
const char* const kLaterStores[] = {"pages-markup2", "pages-markup3"};

std::vector<SamplePage> findSamplePages(const char* store = kClassicStore) {
  std::vector<SamplePage> pages;
  const fs::path root = kSamples / store;
  if (!fs::is_directory(root)) return pages;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (!item.is_regular_file() || item.path().extension() != ".html") continue;
    // <host> is the first folder below pages/; the name keeps its escapes.
    const fs::path relative = item.path().lexically_relative(root);
    const fs::path host = *relative.begin();
    const fs::path name = item.path().stem();
    pages.push_back({item.path(), kSamples / "expected" / host / name, kSamples / "expected-current" / host / name,
                     "http://" + host.string() + "/wiki/" + name.string()});
  }
  std::sort(pages.begin(), pages.end(),
            [](const SamplePage& a, const SamplePage& b) { return a.html < b.html; });
  return pages;
}

// What the lookup gets out of one page: the entry text and the listed links,
// a section without a link written as "-".
struct ParsedSample {
  std::string entry;
  std::vector<std::string> audioLinks;
};

ParsedSample parseSample(const std::string& bytes, PageMarkup markup = PageMarkup::Classic,
                         const std::string& pageUrl = "") {
  // Decoded a block of lines at a time, as the lookup reads the page, its
  // audio links resolved as the lookup resolves them.
  TLexoraParser parser(markup, [&pageUrl](std::u16string_view link) { return resolveLinkText(pageUrl.c_str(), link); });
  parser.setUtf8Input(bytes.c_str(), static_cast<int32_t>(bytes.size()));
  parser.parse();

  parser.trimSectionTexts();

  // The links first: moving the entry out spends the store.
  ParsedSample result;
  for (int32_t index = 0;; ++index) {
    const __kvstrW link = parser.audioLinkAt(index);
    if (link.empty()) break;
    result.audioLinks.push_back(*link.str() == kNoAudioMark[0] ? std::string("-")
                                                               : utf8Of(link.str(), -1));
  }
  std::u16string entry(static_cast<size_t>(parser.entryLength()), u'\0');
  parser.moveResultInto(entry.data(), static_cast<int64_t>(entry.size()));
  result.entry = utf8Of(entry.c_str(), static_cast<int32_t>(entry.size()));
  return result;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SamplePagesTest, EveryEditionHasPagesWithExpectations) {
  const auto pages = findSamplePages();
  ASSERT_GE(pages.size(), 6u) << "no sample pages under " << (kSamples / "pages").string();
  int editions[3] = {0, 0, 0};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.html.string());
    const std::string host = page.html.parent_path().parent_path().filename().string();
    editions[0] += host == "ja.lexora.org";
    editions[1] += host == "en.lexora.org";
    editions[2] += host == "fr.lexora.org";
    EXPECT_TRUE(fs::is_regular_file(page.expected.string() + ".txt"));
    EXPECT_TRUE(fs::is_regular_file(page.expected.string() + ".audio"));
  }
  EXPECT_GE(editions[0], 1);
  EXPECT_GE(editions[1], 4);
  EXPECT_GE(editions[2], 1);
}

TEST(SamplePagesTest, EntryText_MatchesHandWrittenExpectation) {
  for (const auto& page : findSamplePages()) {
    SCOPED_TRACE(page.html.string());
    const ParsedSample parsed = parseSample(readBytes(page.html));
    EXPECT_EQ(parsed.entry, readBytes(page.expected.string() + ".txt"));
    EXPECT_EQ(parsed.entry.find('\r'), std::string::npos);
  }
}

TEST(SamplePagesTest, AudioLinks_ListedInLanguageOrder) {
  for (const auto& page : findSamplePages()) {
    SCOPED_TRACE(page.html.string());
    const ParsedSample parsed = parseSample(readBytes(page.html));
    EXPECT_EQ(parsed.audioLinks, linesOf(readBytes(page.expected.string() + ".audio")));
  }
}

// The command-line host serves audio from samples/media/<host>/<path>: every
// link a sample page lists must have its recording there. A link without a
// scheme is read on the page's own host unless it names a host itself.
TEST(SamplePagesTest, AudioLinks_HaveBundledRecordings) {
  const std::string scheme = "http://";
  for (const auto& page : findSamplePages()) {
    SCOPED_TRACE(page.html.string());
    const std::string pageHost = page.html.parent_path().parent_path().filename().string();
    std::vector<std::string> links = linesOf(readBytes(page.expected.string() + ".audio"));
    for (const auto& link : linesOf(readBytes(page.expectedCurrent.string() + ".audio"))) links.push_back(link);
    for (const auto& link : links) {
      if (link == "-") continue;
      std::string hostAndPath = pageHost + link;
      if (link.compare(0, scheme.size(), scheme) == 0) hostAndPath = link.substr(scheme.size());
      if (link.compare(0, 2, "//") == 0) hostAndPath = link.substr(2);
      const fs::path recording = kSamples / "media" / fs::path(hostAndPath).relative_path();
      if (!fs::is_regular_file(recording)) {
        ADD_FAILURE() << "no recording " << recording.string();
        continue;
      }
      EXPECT_LT(fs::file_size(recording), 16u * 1024u) << "keep bundled recordings small";
    }
  }
}

// Line terminators never reach the parser: the same page with CR LF line ends
// gives the same entry.
TEST(SamplePagesTest, EntryText_SameWithCrLfLineEnds) {
  for (const auto& page : findSamplePages()) {
    SCOPED_TRACE(page.html.string());
    std::string crlf;
    for (char c : readBytes(page.html)) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    EXPECT_EQ(parseSample(crlf).entry, readBytes(page.expected.string() + ".txt"));
  }
}

// --- current-markup mode ---

TEST(SamplePagesTest, EveryEditionHasTwinsInBothLaterMarkups) {
  for (const char* store : kLaterStores) {
    SCOPED_TRACE(store);
    std::vector<std::string> hosts;
    for (const auto& page : findSamplePages(store)) {
      const fs::path relative = page.html.lexically_relative(kSamples / store);
      EXPECT_TRUE(fs::is_regular_file(kSamples / kClassicStore / relative)) << "no classic twin";
      hosts.push_back(relative.begin()->string());
    }
    for (const char* host : {"ja.lexora.org", "en.lexora.org", "fr.lexora.org"}) {
      EXPECT_NE(std::find(hosts.begin(), hosts.end(), host), hosts.end()) << host;
    }
  }
}

// The three markups of one article give one current-mode entry.
TEST(SamplePagesTest, CurrentMarkup_EveryStoreGivesTheCurrentExpectation) {
  for (const char* store : {kClassicStore, kLaterStores[0], kLaterStores[1]}) {
    for (const auto& page : findSamplePages(store)) {
      SCOPED_TRACE(page.html.string());
      const ParsedSample parsed = parseSample(readBytes(page.html), PageMarkup::Current, page.url);
      EXPECT_EQ(parsed.entry, readBytes(page.expectedCurrent.string() + ".txt"));
      EXPECT_EQ(parsed.audioLinks, linesOf(readBytes(page.expectedCurrent.string() + ".audio")));
      EXPECT_NE(parsed.entry, "");
    }
  }
}

// The classic rules find no entry in the later markups.
TEST(SamplePagesTest, ClassicMode_FindsNoEntryInLaterMarkups) {
  for (const char* store : kLaterStores) {
    for (const auto& page : findSamplePages(store)) {
      SCOPED_TRACE(page.html.string());
      EXPECT_EQ(parseSample(readBytes(page.html)).entry, "");
    }
  }
}

}  // namespace
