// The process entry: option parsing, args.txt and the stream redirection
// in-process; the command line end to end on a copy of the real app_w in
// each test's own folder (so an args.txt beside the build's binary never
// changes a run).
#include "app/invoker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/std_streams.h"
#include "tests/support/app_w_run.h"
#include "tests/support/test_support.h"

namespace {

using Args = std::vector<std::u16string>;

const char kUsage[] =
    "[VELKO app invoker: help] USAGE: app_w.exe [-stdout logfname] [-loadpath <dir1>;<dir2>] srcfile.scm";


TEST(InvokerOptions, ReadsOptionsUpToTheConfigurationFile) {
  InvokerOptions options;
  options.loadPaths = {u"."};
  const Args args = {u"app_w",     u"-loadpath", u"a;;b/", u"-loadpath", u"c\\d", u"-stdout", u"1.txt",
                     u"-stdout",   u"2.txt",     u"-workdir", u"w",      u"-loglevel", u"3",
                     u"game.scm", u"-d",        u"-stdout"};
  EXPECT_EQ(ParseInvokerOptions(args, &options), 13u);
  EXPECT_FALSE(options.exitCode.has_value());
  EXPECT_EQ(options.loadPaths, (Args{u".", u"a/", u"b/", u"c/d/"}));
  EXPECT_EQ(options.stdoutFile, u"2.txt");  // the last one wins
  EXPECT_EQ(options.workDir, u"w");
  EXPECT_EQ(options.logLevel, u"3");
  EXPECT_FALSE(GetDebugFlag());  // -d after the configuration file is a further argument
}

TEST(InvokerOptions, NearMissesAreIgnored) {
  InvokerOptions options;
  const Args args = {u"app_w", u"-dx", u"-stdoutx", u"game.scm"};
  EXPECT_EQ(ParseInvokerOptions(args, &options), 3u);
  EXPECT_FALSE(options.exitCode.has_value());
  EXPECT_TRUE(options.stdoutFile.empty());
  EXPECT_FALSE(GetDebugFlag());
  EXPECT_FALSE(GetDebugBreakFlag());
}

TEST(InvokerOptions, HelpAndMissingValuesEndStartUpWithABox) {
  for (const char16_t* help : {u"-h", u"-help", u"-hx"}) {
    InvokerOptions options;
    testing::internal::CaptureStderr();
    ParseInvokerOptions({u"app_w", help, u"game.scm"}, &options);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(kUsage), std::string::npos);
    EXPECT_EQ(options.exitCode, 0);
  }
  for (const char* name : {"-loadpath", "-loglevel", "-stdout", "-workdir"}) {
    InvokerOptions options;
    testing::internal::CaptureStderr();
    ParseInvokerOptions({u"app_w", u"-d", std::u16string(name, name + std::strlen(name))}, &options);
    const std::string box = "[VELKO app invoker: abort] " + std::string(name) + "には引数が必要です\n";
    EXPECT_NE(testing::internal::GetCapturedStderr().find(box), std::string::npos) << name;
    EXPECT_EQ(options.exitCode, 1) << name;
  }
}

TEST(InvokerArgsFile, OneArgumentPerLineFromCp932) {
  TempDir dir;
  const std::string longLine(2000, 'x');
  const auto path = dir.write("args.txt", "-d\r\n\r\n\n\x83\x51\x81\x5b\x83\x80 1.scm\r\n" + longLine + "\nlast");
  Args args = {u"app_w", u"old"};
  ASSERT_TRUE(ReadArgsFile(path.u16string(), &args));
  EXPECT_EQ(args, (Args{u"app_w", u"-d", u"ゲーム 1.scm", std::u16string(longLine.begin(), longLine.end()), u"last"}));

  Args kept = {u"app_w"};
  EXPECT_FALSE(ReadArgsFile((dir.path() / "none.txt").u16string(), &kept));
  EXPECT_EQ(kept, (Args{u"app_w"}));
}

TEST(InvokerStreams, StdoutFileTakesBothStreamsInOrder) {
  // The death-test child runs this body again: a fresh TempDir would differ
  // there, the sandbox it shares with this process does not.
  const std::filesystem::path file = std::filesystem::path(std::getenv("ZEP_TEST_SANDBOX")) / "both.txt";
  EXPECT_EXIT(
      {
        if (!platform::RedirectStdStreamsToFile(file.string())) std::_Exit(2);
        std::fputs("out1\n", stdout);
        std::fflush(stdout);
        std::fputs("err1\n", stderr);
        std::fputs("out2\n", stdout);
        std::fflush(stdout);
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadWholeFile(file), "out1\nerr1\nout2\n");
  std::filesystem::remove(file);
  EXPECT_FALSE(platform::RedirectStdStreamsToFile((file.parent_path() / "no/such/folder/log.txt").string()));
}

TEST(InvokerMainTest, DebugBreakWithoutADebuggerOnlyWarns) {
  LogCapture log;
  testing::internal::CaptureStderr();
  EXPECT_EQ(InvokerMain({u"app_w", u"-debugbreak"}), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(kUsage), std::string::npos);
  EXPECT_TRUE(GetDebugBreakFlag());
  EXPECT_TRUE(log.contains("[WARN ]") && log.contains("-debugbreak")) << log.all();
}

// --- app_w on the command line ---

TEST_F(AppWRun, NoArgumentsShowsTheUsageOnce) {
  const platform::ProcessResult result = run("");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const size_t at = result.output.find(kUsage);
  ASSERT_NE(at, std::string::npos) << result.output;
  EXPECT_EQ(result.output.find(kUsage, at + 1), std::string::npos) << result.output;
}

TEST_F(AppWRun, MissingValueOrConfigurationFailsWithCodeOne) {
  platform::ProcessResult result = run("-stdout");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("[VELKO app invoker: abort] -stdoutには引数が必要です"), std::string::npos)
      << result.output;

  result = run("missing.scm");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("コンフィグファイルが見つからない(missing.scm)"), std::string::npos) << result.output;
}

TEST_F(AppWRun, StdoutFileInTheWorkFolderTakesTheLog) {
  std::filesystem::create_directory(dir_.path() / "work");
  const platform::ProcessResult result = run("-workdir work -stdout log.txt missing.scm");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.output, "");
  EXPECT_NE(ReadWholeFile(dir_.path() / "work/log.txt").find("コンフィグファイルが見つからない(missing.scm)"),
            std::string::npos);
}

TEST_F(AppWRun, ArgsFileWithDebugRunsTheGameWithEveryLevel) {
  writeGame();
  dir_.write("args.txt", "-d\r\ngame.scm\r\n");
  const platform::ProcessResult result = run("");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("[TRACE]"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(6000)"), std::string::npos) << result.output;
}

TEST_F(AppWRun, StdoutOptionKeepsTheRunOffTheTerminal) {
  writeGame();
  const platform::ProcessResult result = run("-d -stdout log.txt game.scm");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output, "");
  EXPECT_NE(ReadWholeFile(dir_.path() / "log.txt").find("CallUserFunc(6000)"), std::string::npos);
}

TEST_F(AppWRun, SecondInstanceStops) {
  writeGame();
  ASSERT_EQ(platform::AcquireInstanceLock(mutex_), 0);
  const platform::ProcessResult result = run("game.scm");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("すでに起動しています"), std::string::npos) << result.output;
}

// The window is shown with its first picture, never before: a game that
// ends at once shows none.
TEST_F(AppWRun, TheWindowIsShownWithItsFirstPicture) {
  writeGame();
  platform::ProcessResult result = run("-d game.scm");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output.find("window shown"), std::string::npos) << result.output;

  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 4001) (a3:call-user-func 6000))\n");
  result = run("-d game.scm");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const size_t shown = result.output.find("window shown: ");
  const size_t first = result.output.find("first frame presented: ");
  ASSERT_NE(shown, std::string::npos) << result.output;
  ASSERT_NE(first, std::string::npos) << result.output;
  EXPECT_LT(shown, first);
}

}  // namespace
