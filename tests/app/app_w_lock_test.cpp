// The single-instance lock through the real app_w: games whose mutex names
// differ run side by side whatever their characters or length, and a lock
// that cannot be taken at all lets the game run with a warning.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/utf8.h"
#include "tests/support/app_w_run.h"

namespace {

namespace fs = std::filesystem;

class AppWLock : public AppWRun {
 protected:
  // The game of writeGame() under another mutex name, given as the CP932
  // bytes the configuration file holds.
  void writeGameNamed(const std::string& cp932Name) {
    writeGame(cp932Name);
    dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6000))\n");
  }
};

TEST_F(AppWLock, GamesWithDifferentMutexNamesRunSideBySide) {
  struct Pair {
    std::string heldUtf8;   // locked by this test, as the engine spells it
    std::string heldCp932;  // the same name in the configuration file
    std::string otherCp932;
  };
  const std::string longA(300, 'a');
  const std::vector<Pair> pairs = {
      {"\xE3\x81\x82", "\x82\xA0", "\x82\xA2"},  // "あ" and "い"
      {"a b", "a b", "a_b"},                     // a blank is no underscore
      {longA + "1", longA + "1", longA + "2"},   // past the file-name limit
      {"\xE3\x81\x82" + longA, "\x82\xA0" + longA, "\x82\xA2" + longA},
  };
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.heldUtf8.substr(0, 8));
    ASSERT_EQ(platform::AcquireInstanceLock(p.heldUtf8), 0);
    writeGameNamed(p.otherCp932);
    platform::ProcessResult result = run("game.scm");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output.find("ロック"), std::string::npos) << result.output;
    writeGameNamed(p.heldCp932);
    result = run("game.scm");
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("すでに起動しています"), std::string::npos) << result.output;
  }
  for (const auto& entry : fs::directory_iterator(getenv("XDG_RUNTIME_DIR"))) {
    EXPECT_LE(entry.path().filename().string().size(), 255u);
  }
}

TEST_F(AppWLock, ALockThatCannotBeTakenRunsTheGameWithAWarning) {
  writeGame();
  // XDG_RUNTIME_DIR naming no folder.
  const fs::path missing = dir_.path() / "no-runtime";
  platform::ProcessResult result = run("game.scm", "XDG_RUNTIME_DIR='" + missing.string() + "'");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("[WARN ]"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("(" + missing.string() + "/" + mutex_ + ".lock)"), std::string::npos)
      << result.output;

  // A link where the lock file goes is never followed (whoever runs this).
  const std::string lock = platform::InstanceLockPath(mutex_);
  const fs::path target = dir_.write("target", "untouched");
  fs::create_symlink(target, lock);
  result = run("game.scm");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("(" + lock + ")"), std::string::npos) << result.output;
  EXPECT_EQ(ReadWholeFile(target), "untouched");
}

TEST_F(AppWLock, WithoutARuntimeFolderTheLockLivesInTheUsersOwnTmpFolder) {
  writeGame();
  std::string lock;
  {
    ScopedEnv unset("XDG_RUNTIME_DIR", nullptr);
    lock = platform::InstanceLockPath(mutex_);
    ASSERT_EQ(platform::AcquireInstanceLock(mutex_), 0);
  }
  // "/tmp/zep-<uid>": a folder of the user's own that nobody else may enter.
  const fs::path folder = fs::path(lock).parent_path();
  EXPECT_EQ(folder.parent_path(), "/tmp");
  EXPECT_EQ(folder.filename().string().rfind("zep-", 0), 0u) << folder;
  EXPECT_EQ(fs::path(lock).filename(), mutex_ + ".lock");
  const fs::file_status st = fs::symlink_status(folder);
  EXPECT_EQ(st.type(), fs::file_type::directory);
  EXPECT_EQ(st.permissions() & fs::perms::all, fs::perms::owner_all);
  const platform::ProcessResult result = run("game.scm", "env -u XDG_RUNTIME_DIR");
  std::error_code ignored;
  fs::remove(lock, ignored);  // the lock stays held; only the name goes
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("すでに起動しています"), std::string::npos) << result.output;
}

}  // namespace
