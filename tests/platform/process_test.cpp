// Starting programs without a shell: exit status and output, arguments that
// arrive unchanged, start failures, and the PATH lookup.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

TEST(RunProcessTest, ReportsExitStatusAndCapturedOutput) {
  ProcessResult r = RunProcess({"sh", "-c", "echo hi; echo err >&2; exit 3"}, true);
  EXPECT_EQ(r.spawnError, 0);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.output, "hi\n");

  r = RunProcess({"sh", "-c", "exit 0"}, false);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "");

  // More than a pipe holds: the output is read while the child runs.
  r = RunProcess({"sh", "-c", "i=0; while [ $i -lt 5000 ]; do echo 0123456789012345678901234567890123456789; "
                              "i=$((i+1)); done"},
                 true);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output.size(), 5000u * 41u);

  // A child killed by a signal did not exit normally.
  r = RunProcess({"sh", "-c", "kill -9 $$"}, false);
  EXPECT_EQ(r.spawnError, 0);
  EXPECT_EQ(r.exitCode, -1);
}

TEST(RunProcessTest, ArgumentsArriveUnchanged) {
  TempDir work;
  ScopedCurrentDir cwd(work.path());
  const std::vector<std::string> args = {"two words", "$(touch x)", "`touch x`", "*", "a;b|c&d>x",
                                         "'single' \"double\"", "", "back\\slash", "日本語"};
  std::vector<std::string> argv = {"printf", "<%s>\\n"};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProcessResult r = RunProcess(argv, true);
  ASSERT_EQ(r.exitCode, 0);
  std::string expected;
  for (const std::string& a : args) expected += "<" + a + ">\n";
  EXPECT_EQ(r.output, expected);
  EXPECT_TRUE(fs::is_empty(work.path()));
}

TEST(RunProcessTest, ProgramThatCannotStartGivesItsErrno) {
  ProcessResult r = RunProcess({"zep-no-such-program"}, true);
  EXPECT_EQ(r.spawnError, ENOENT);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(StartDetachedProcess({"zep-no-such-program"}), ENOENT);
  EXPECT_EQ(RunProcess({}, false).spawnError, EINVAL);
  EXPECT_EQ(StartDetachedProcess({}), EINVAL);
}

TEST(ProgramOnPathTest, FindsOnlyExecutableFilesOnPath) {
  TempDir dir;
  fs::permissions(dir.write("bin/zep-tool", "#!/bin/sh\n"), fs::perms::owner_all);
  dir.write("bin/zep-plain", "not executable");
  fs::create_directories(dir.path() / "bin/zep-folder");
  EXPECT_TRUE(ProgramOnPath("sh"));
  EXPECT_FALSE(ProgramOnPath("zep-no-such-program"));
  EXPECT_TRUE(ProgramOnPath("/bin/sh"));

  ScopedEnv path("PATH", ("/nonexistent:" + (dir.path() / "bin").string()).c_str());
  EXPECT_TRUE(ProgramOnPath("zep-tool"));
  EXPECT_TRUE(ProgramOnPath((dir.path() / "bin/zep-tool").string()));
  EXPECT_FALSE(ProgramOnPath("zep-plain"));
  EXPECT_FALSE(ProgramOnPath((dir.path() / "bin/zep-plain").string()));
  EXPECT_FALSE(ProgramOnPath("sh"));
  // A folder is no program, though it can be searched.
  EXPECT_FALSE(ProgramOnPath("zep-folder"));
}

}  // namespace
