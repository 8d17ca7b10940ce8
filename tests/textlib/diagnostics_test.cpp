// The diagnostic lines of a parse: held until written, each stream in one
// piece, and written by the gatherer's end if nobody flushed.
#include "textlib/diagnostics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TCaptured {
  std::string out, err;
};

// Runs `write` with both standard streams captured.
template <class Write>
TCaptured captured(Write write) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  write();
  TCaptured streams;
  streams.out = testing::internal::GetCapturedStdout();
  streams.err = testing::internal::GetCapturedStderr();
  return streams;
}

}  // namespace

TEST(DiagnosticsTest, Lines_AreHeldUntilFlushThenWrittenInOrder) {
  TDiagnostics lines;
  const TCaptured before = captured([&] {
    lines.appendError("one\n");
    lines.appendOutputLine("head:", u"a", 1);
    lines.appendError("two\n");
    lines.appendOutputLine("head:", u"b", 1);
    lines.flushIfLarge();
  });
  EXPECT_EQ(before.out, "");
  EXPECT_EQ(before.err, "");
  const TCaptured after = captured([&] { lines.flush(); });
  EXPECT_EQ(after.out, "head:a\nhead:b\n");
  EXPECT_EQ(after.err, "one\ntwo\n");
  EXPECT_EQ(captured([&] { lines.flush(); }).out, "");  // written once
}

// A parse cut short by an exception still writes what it gathered.
TEST(DiagnosticsTest, End_WritesWhatIsLeft) {
  const TCaptured streams = captured([] {
    TDiagnostics lines;
    lines.appendError("warning\n");
    lines.appendOutputLine("head:", u"x", 1);
  });
  EXPECT_EQ(streams.out, "head:x\n");
  EXPECT_EQ(streams.err, "warning\n");
}

TEST(DiagnosticsTest, OutputLine_IsUtf8UpToANul) {
  const TCaptured streams = captured([] {
    TDiagnostics lines;
    lines.appendOutputLine("head:", u"\u00e9\u8a9e\U0001F600|\xD800|", 8);
    lines.appendOutputLine("head:", u"ab\0cd", 5);
    lines.appendOutputLine("", u"", 0);
  });
  EXPECT_EQ(streams.out, "head:\xC3\xA9\xE8\xAA\x9E\xF0\x9F\x98\x80|\xEF\xBF\xBD|\nhead:ab\n\n");
}

// Past a block's worth the lines go out between blocks, all of them.
TEST(DiagnosticsTest, ManyLines_AreWrittenBetweenBlocks) {
  const std::u16string run(1000, u'x');
  const std::string line = "head:" + std::string(run.size(), 'x') + "\n";
  TDiagnostics lines;
  std::string want;
  const TCaptured streams = captured([&] {
    for (int i = 0; i < 100; ++i) {
      lines.appendOutputLine("head:", run.c_str(), static_cast<int32_t>(run.size()));
      want += line;
    }
    lines.flushIfLarge();
  });
  EXPECT_EQ(streams.out, want);
}
