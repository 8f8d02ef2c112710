// The leveled log: which levels get through the mask, the exact shape of a
// line, long and odd messages, the debug box, logging from many threads, and
// the fatal stop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/fatal.h"
#include "app/log.h"
#include "platform/clock.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

using testing::MatchesRegex;
using testing::StartsWith;

// The mask is process-wide: every test puts back what it found.
class LogTest : public testing::Test {
 protected:
  void SetUp() override { savedMask_ = GetLogLevelMask(); }
  void TearDown() override { SetLogLevelMask(savedMask_); }

 private:
  uint32_t savedMask_ = 0;
};

using LogDeathTest = LogTest;

// Records the UTF-16 lines as they were built (LogCapture converts them).
struct RawLines {
  RawLines() { SetLogObserver(&RawLines::observe, this); }
  ~RawLines() { SetLogObserver(nullptr, nullptr); }
  static void observe(void* self, uint32_t level, std::u16string_view line) {
    static_cast<RawLines*>(self)->lines.emplace_back(level, std::u16string(line));
  }
  std::vector<std::pair<uint32_t, std::u16string>> lines;
};

TEST_F(LogDeathTest, DefaultMaskDropsTraceAndDebugKeepsWarnErrorFatal) {
  // The mask a fresh process starts with: checked in a child, where no other
  // test has touched it.
  EXPECT_EXIT(
      {
        LogCapture capture;
        LogWrite(LOG_TRACE, u"t\n");
        LogWrite(LOG_DEBUG, u"d\n");
        LogWrite(LOG_WARN, u"w\n");
        LogWrite(LOG_ERROR, u"e\n");
        LogWrite(LOG_FATAL, u"f\n");
        std::string seen;
        for (const std::string& line : capture.lines()) seen += line.substr(21, 1);
        fprintf(stderr, "mask=%X seen=%s\n", GetLogLevelMask(), seen.c_str());
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "mask=1C seen=wef\n");
}

TEST_F(LogTest, WarnMaskWritesWarnErrorFatalOnly) {
  SetLogLevelMask(LOG_WARN);
  EXPECT_EQ(GetLogLevelMask(), 0x1Cu);
  LogCapture capture;
  LogWrite(LOG_TRACE, u"trace line\n");
  LogWrite(LOG_DEBUG, u"debug line\n");
  LogWrite(LOG_WARN, u"warn line\n");
  LogWrite(LOG_ERROR, u"error line\n");
  LogWrite(LOG_FATAL, u"fatal line\n");
  ASSERT_EQ(capture.lines().size(), 3u) << capture.all();
  EXPECT_THAT(capture.lines()[0], StartsWith("[WARN ] "));
  EXPECT_THAT(capture.lines()[1], StartsWith("[ERROR] "));
  EXPECT_THAT(capture.lines()[2], StartsWith("[FATAL] "));
}

TEST_F(LogTest, ZeroMaskStillWritesErrorAndFatal) {
  SetLogLevelMask(0);
  EXPECT_EQ(GetLogLevelMask(), 0x18u);
  EXPECT_FALSE(IsLogLevelEnabled(LOG_WARN));
  EXPECT_TRUE(IsLogLevelEnabled(LOG_ERROR));
  EXPECT_TRUE(IsLogLevelEnabled(LOG_FATAL));
  LogCapture capture;
  LogWrite(LOG_WARN, u"dropped\n");
  LogWrite(LOG_ERROR, u"kept error\n");
  LogWrite(LOG_FATAL, u"kept fatal\n");
  ASSERT_EQ(capture.lines().size(), 2u) << capture.all();
  EXPECT_THAT(capture.lines()[0], MatchesRegex("\\[ERROR\\] \\[[0-9]{10}\\] kept error\n"));
  EXPECT_THAT(capture.lines()[1], MatchesRegex("\\[FATAL\\] \\[[0-9]{10}\\] kept fatal\n"));
}

TEST_F(LogTest, DebugOptionMaskWritesEveryLevelWithItsName) {
  SetLogLevelMask(7);
  EXPECT_EQ(GetLogLevelMask(), 0x1Fu);
  LogCapture capture;
  LogWrite(LOG_TRACE, u"a\n");
  LogWrite(LOG_DEBUG, u"b\n");
  LogWrite(LOG_WARN, u"c\n");
  LogWrite(LOG_ERROR, u"d\n");
  LogWrite(LOG_FATAL, u"e\n");
  ASSERT_EQ(capture.lines().size(), 5u) << capture.all();
  EXPECT_THAT(capture.lines()[0], MatchesRegex("\\[TRACE\\] \\[[0-9]{10}\\] a\n"));
  EXPECT_THAT(capture.lines()[1], MatchesRegex("\\[DEBUG\\] \\[[0-9]{10}\\] b\n"));
  EXPECT_THAT(capture.lines()[2], MatchesRegex("\\[WARN \\] \\[[0-9]{10}\\] c\n"));
  EXPECT_THAT(capture.lines()[3], MatchesRegex("\\[ERROR\\] \\[[0-9]{10}\\] d\n"));
  EXPECT_THAT(capture.lines()[4], MatchesRegex("\\[FATAL\\] \\[[0-9]{10}\\] e\n"));
}

TEST_F(LogTest, DirectWritersIgnoreTheMask) {
  SetLogLevelMask(0);
  LogCapture capture;
  LogWriteLine(LOG_TRACE, u"direct\n", {});
  LogWriteWithBox(0, LOG_DEBUG, u"boxed %d\n", 7);
  ASSERT_EQ(capture.lines().size(), 2u) << capture.all();
  EXPECT_THAT(capture.lines()[0], StartsWith("[TRACE] "));
  EXPECT_THAT(capture.lines()[1], MatchesRegex("\\[DEBUG\\] \\[[0-9]{10}\\] boxed 7\n"));
}

TEST_F(LogTest, WarnLineHasExactPrefixAndNoAddedLineEnd) {
  LogCapture capture;
  LogWrite(LOG_WARN, u"msg\n");
  LogWrite(LOG_WARN, u"no end");
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_THAT(capture.lines()[0], MatchesRegex("^\\[WARN \\] \\[[0-9]{10}\\] msg\n$"));
  EXPECT_THAT(capture.lines()[1], MatchesRegex("^\\[WARN \\] \\[[0-9]{10}\\] no end$"));
}

TEST_F(LogTest, TickIsTheMonotonicClockCutTo32Bits) {
  LogCapture capture;
  const uint32_t before = static_cast<uint32_t>(platform::MonotonicMilliseconds());
  LogWrite(LOG_WARN, u"tick\n");
  const uint32_t after = static_cast<uint32_t>(platform::MonotonicMilliseconds());
  ASSERT_EQ(capture.lines().size(), 1u);
  const std::string digits = capture.lines()[0].substr(9, 10);
  ASSERT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << capture.lines()[0];
  const uint32_t tick = static_cast<uint32_t>(std::stoull(digits));
  // Unsigned differences stay right across a wrap of the 32-bit counter.
  EXPECT_LE(static_cast<uint32_t>(tick - before), static_cast<uint32_t>(after - before))
      << "tick " << tick << " outside [" << before << ", " << after << "]";
}

TEST_F(LogTest, LineGoesToStandardOutputAsUtf8) {
  LogCapture capture;
  testing::internal::CaptureStdout();
  LogWrite(LOG_WARN, u"日本語 %d 𠮷\n", 3);
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(out, capture.lines()[0]);
  EXPECT_THAT(out, MatchesRegex("\\[WARN \\] \\[[0-9]{10}\\] 日本語 3 𠮷\n"));
}

TEST_F(LogTest, PercentSignInArgumentIsWrittenLiterallyOnce) {
  LogCapture capture;
  LogWrite(LOG_WARN, u"%s\n", u"100% done, %d %s %%");
  ASSERT_EQ(capture.lines().size(), 1u);
  const std::string& line = capture.lines()[0];
  EXPECT_EQ(line.substr(21), "100% done, %d %s %%\n");
}

TEST_F(LogTest, DoublePercentInFormatWritesOneSign) {
  LogCapture capture;
  LogWrite(LOG_WARN, u"rate 50%%\n");
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0].substr(21), "rate 50%\n");
}

TEST_F(LogTest, OverlongMessageIsCutToTheLineBuffer) {
  RawLines raw;
  const std::u16string huge(50000, u'x');
  LogWrite(LOG_WARN, u"%s", huge);
  LogWrite(LOG_WARN, u"after\n");
  ASSERT_EQ(raw.lines.size(), 2u);
  const std::u16string& line = raw.lines[0].second;
  EXPECT_LE(line.size(), 10239u);
  ASSERT_GT(line.size(), 21u);
  EXPECT_EQ(platform::ToUtf8(line.substr(0, 8)), "[WARN ] ");
  // What is kept is the start of the message, nothing else.
  EXPECT_EQ(line.substr(21), huge.substr(0, line.size() - 21));
  // The writer goes on normally after a cut line.
  EXPECT_EQ(platform::ToUtf8(raw.lines[1].second.substr(21)), "after\n");
}

TEST_F(LogTest, MessageThatJustFitsIsKeptWhole) {
  RawLines raw;
  const std::u16string text(10239 - 21 - 1, u'y');
  LogWrite(LOG_WARN, u"%s\n", text);
  ASSERT_EQ(raw.lines.size(), 1u);
  EXPECT_EQ(raw.lines[0].second.size(), 10239u);
  EXPECT_EQ(raw.lines[0].second.substr(21), text + u"\n");
}

TEST_F(LogTest, CutNeverSplitsASurrogatePair) {
  RawLines raw;
  // Pairs of U+20BB7 from every starting parity, so some cut falls between
  // the two halves of a pair.
  for (size_t lead = 0; lead < 2; ++lead) {
    std::u16string text(lead, u'a');
    while (text.size() < 12000) text += u"\U00020BB7";
    LogWrite(LOG_WARN, u"%s", text);
  }
  ASSERT_EQ(raw.lines.size(), 2u);
  for (const auto& [level, line] : raw.lines) {
    ASSERT_FALSE(line.empty());
    EXPECT_LE(line.size(), 10239u);
    const char16_t last = line.back();
    EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << "line ends in a lone high surrogate";
    EXPECT_EQ(platform::ToUtf8(line).find("\xEF\xBF\xBD"), std::string::npos);
  }
}

TEST_F(LogTest, BoxFlagShowsTheFinishedLineHeadless) {
  LogCapture capture;
  testing::internal::CaptureStderr();
  LogWriteWithBox(1, LOG_WARN, u"box %d\n", 42);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_THAT(err, MatchesRegex("\\[デバッグメッセージ\\] \\[WARN \\] \\[[0-9]{10}\\] box 42\n"));
  EXPECT_EQ(err, "[デバッグメッセージ] " + capture.lines()[0]);
}

TEST_F(LogTest, WithoutBoxFlagNothingIsShown) {
  LogCapture capture;
  testing::internal::CaptureStderr();
  LogWriteWithBox(2, LOG_ERROR, u"quiet\n");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "");
  EXPECT_EQ(capture.lines().size(), 1u);
}

TEST_F(LogTest, ShowDebugMessageBoxHeadlessPrintsCaptionAndText) {
  testing::internal::CaptureStderr();
  ShowDebugMessageBox(u"見てください");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[デバッグメッセージ] 見てください\n");
}

TEST_F(LogTest, ThreadsLoggingAtOnceEachGetWholeLines) {
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 300;
  LogCapture capture;
  testing::internal::CaptureStdout();
  {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t] {
        // Each thread's message has its own length, so a shared buffer would
        // show as a mixed or truncated line.
        const std::u16string pad(static_cast<size_t>(t * 7 + 1), static_cast<char16_t>(u'a' + t));
        for (int n = 0; n < kLinesEach; ++n) LogWrite(LOG_WARN, u"t%d n%d %s\n", t, n, pad);
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  const std::string out = testing::internal::GetCapturedStdout();

  ASSERT_EQ(capture.lines().size(), static_cast<size_t>(kThreads * kLinesEach));
  std::set<std::pair<int, int>> seen;
  for (const std::string& line : capture.lines()) {
    ASSERT_THAT(line, MatchesRegex("\\[WARN \\] \\[[0-9]{10}\\] t[0-9] n[0-9]+ [a-h]+\n"));
    int t = -1;
    int n = -1;
    ASSERT_EQ(sscanf(line.c_str() + 21, "t%d n%d", &t, &n), 2);
    const size_t space = line.find(' ', line.find(" n") + 1);
    const std::string pad = line.substr(space + 1, line.size() - space - 2);
    EXPECT_EQ(pad, std::string(static_cast<size_t>(t * 7 + 1), static_cast<char>('a' + t))) << line;
    seen.emplace(t, n);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLinesEach));
  // Standard output holds the same lines, none torn apart.
  size_t outLines = 0;
  for (char c : out) outLines += c == '\n';
  EXPECT_EQ(outLines, static_cast<size_t>(kThreads * kLinesEach));
  for (const std::string& line : capture.lines()) {
    EXPECT_NE(out.find(line), std::string::npos) << line;
  }
}

TEST_F(LogDeathTest, AbortLogsFatalLineShowsBoxAndExitsWithOne) {
  // Standard output is sent to standard error inside the child, so the
  // check sees the log line and the box in the order they were written.
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        zep_abort(u"boom");
      },
      testing::ExitedWithCode(1),
      "\\[FATAL\\] \\[[0-9]{10}\\] zep_abort\\(\\): program aborted\\. msg=boom\n"
      "\\[異常終了\\] boom\n");
}

TEST_F(LogDeathTest, AbortIsWrittenEvenWithZeroMask) {
  EXPECT_EXIT(
      {
        SetLogLevelMask(0);
        SendStdoutToStderr();
        zep_abort(u"内部エラー");
      },
      testing::ExitedWithCode(1),
      "msg=内部エラー\n\\[異常終了\\] 内部エラー");
}

TEST_F(LogDeathTest, AbortFromWorkerThreadEndsTheProcess) {
  EXPECT_EXIT(
      {
        std::thread worker([] { zep_abort(u"from worker"); });
        worker.join();
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "\\[異常終了\\] from worker");
}

TEST_F(LogDeathTest, AbortFlushesPendingStreams) {
  // A fully buffered stream of its own: only a flush of every stream gets
  // this text into the file before the process ends.
  // The child runs the test again from its start, so the file lies in the
  // sandbox both share rather than in a folder each would make anew.
  const std::string path = std::string(std::getenv("ZEP_TEST_SANDBOX")) + "/abort-flush.txt";
  std::remove(path.c_str());
  EXPECT_EXIT(
      {
        FILE* side = fopen(path.c_str(), "w");
        static char buffer[4096];
        setvbuf(side, buffer, _IOFBF, sizeof buffer);
        fputs("side stream text", side);
        zep_abort(u"flush");
      },
      testing::ExitedWithCode(1), "\\[異常終了\\] flush");
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "side stream text");
  std::remove(path.c_str());
}

}  // namespace
