// The tutorial game from the command line, as docs/authoring.md starts it:
// the real app_w on a copy of examples/tutorial comes up on its title
// without a warning, and a quit signal while the title waits ends the run
// normally.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/app_w_run.h"

namespace {

TEST_F(AppWRun, TheTutorialStartsOnItsTitleWithoutAWarning) {
  std::filesystem::copy(std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "tutorial", dir_.path(),
                        std::filesystem::copy_options::recursive);
  // The title waits for a click that never comes: once the log shows the
  // wait, SIGTERM closes the game as a window manager would.
  const std::string command = "cd '" + dir_.path().string() +
                              "' || exit 2; SDL_VIDEODRIVER=offscreen ASAN_OPTIONS=detect_leaks=0 ./app_w -d game.scm"
                              " > log 2>&1 & pid=$!; for i in $(seq 400); do"
                              " grep -q 'CallUserFunc(4000, 1, -1, 0)' log && break; sleep 0.05; done;"
                              " kill -TERM $pid; wait $pid";
  const platform::ProcessResult result = platform::RunProcess({"sh", "-c", command}, false);
  const std::string log = ReadWholeFile(dir_.path() / "log");
  EXPECT_EQ(result.exitCode, 0) << log;
  EXPECT_NE(log.find("CallUserFunc(2053, 0, 1, 1, 280, 180, 255, 1, 0)"), std::string::npos) << log;
  EXPECT_NE(log.find("CallUserFunc(4000, 1, -1, 0)"), std::string::npos) << log;
  EXPECT_EQ(log.find("[WARN ]"), std::string::npos) << log;
  EXPECT_EQ(log.find("[ERROR]"), std::string::npos) << log;
}

}  // namespace
