// The tutorial game from the command line, as docs/authoring.md starts it:
// the real app_w on a copy of examples/tutorial comes up on its title
// without a warning, and a quit signal while the title waits ends the run
// normally; on an X server of the test's own, played as a player does, it
// loads after a restart what it saved before.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "tests/platform/x_client.h"
#include "tests/support/app_w_run.h"
#include "tests/support/xvfb.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(AppWRun, TheTutorialStartsOnItsTitleWithoutAWarning) {
  std::filesystem::copy(std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "tutorial", dir_.path(),
                        std::filesystem::copy_options::recursive);
  // The title waits for a click that never comes: once the log shows the
  // wait, SIGTERM closes the game as a window manager would.
  const std::string command = "cd '" + dir_.path().string() +
                              "' || exit 2; SDL_VIDEODRIVER=offscreen ASAN_OPTIONS=detect_leaks=0 ./app_w -d game.scm"
                              " > log 2>&1 & pid=$!; for i in $(seq 400); do"
                              " grep -q 'CallUserFunc(4000, 8197, -1, 0)' log && break; sleep 0.05; done;"
                              " kill -TERM $pid; wait $pid";
  const platform::ProcessResult result = platform::RunProcess({"sh", "-c", command}, false);
  const std::string log = ReadWholeFile(dir_.path() / "log");
  EXPECT_EQ(result.exitCode, 0) << log;
  EXPECT_NE(log.find("CallUserFunc(2053, 0, 1, 1, 280, 180, 255, 1, 0)"), std::string::npos) << log;
  EXPECT_NE(log.find("CallUserFunc(4000, 8197, -1, 0)"), std::string::npos) << log;
  EXPECT_EQ(log.find("[WARN ]"), std::string::npos) << log;
  EXPECT_EQ(log.find("[ERROR]"), std::string::npos) << log;
}

// The title's wait, and the load screen's.
constexpr char kTitleWait[] = "CallUserFunc(4000, 8197, -1, 0)";
constexpr char kScreenWait[] = "CallUserFunc(4000, 24576, -1, 0)";
// The story's second step: the character comes in after the first line.
constexpr char kCharacter[] = "CallUserFunc(2010, 1, 1, 1622,";

// True once the run's log holds a text so many times, within the time.
using Logged = std::function<bool(const char* text, size_t count, int timeoutMs)>;

// One run on the test's X server, with the player's settings and saves in
// the test's folder; `player` plays it through the second client, then the
// run gets SIGTERM. Its debug log.
std::string PlayOnX(const Xvfb& xvfb, const std::filesystem::path& dir,
                    const std::function<void(XClient&, unsigned long, const Logged&)>& player) {
  const std::filesystem::path log = dir / "log";
  std::filesystem::remove(log);
  std::filesystem::remove(dir / "pid");
  const std::string command = "cd '" + dir.string() + "' || exit 2; " + xvfb.childEnvironment(dir) +
                              " XDG_DATA_HOME='" + (dir / "data").string() +
                              "' ASAN_OPTIONS=detect_leaks=0 timeout 60 ./app_w -d game.scm > log 2>&1 &"
                              " echo $! > pid; wait $!";
  std::thread game([&] { platform::RunProcess({"sh", "-c", command}, false); });
  const Logged logged = [&](const char* text, size_t count, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (Count(ReadWholeFile(log), text) >= count) return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  {
    XClient client(xvfb.display());
    const unsigned long window = client.waitForWindow("Tutorial", 30000);
    // Input reaches the game once its window shows a frame.
    if (window && logged(kTitleWait, 1, 20000) && logged("first frame presented", 1, 20000)) {
      player(client, window, logged);
    }
  }
  // The run's timeout command passes the signal on to app_w.
  std::string pid;
  for (int i = 0; i < 100 && pid.empty(); ++i) {
    pid = ReadWholeFile(dir / "pid");
    if (pid.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
  if (!pid.empty()) platform::RunProcess({"kill", "-TERM", pid}, false);
  game.join();
  return ReadWholeFile(log);
}

// The story's first line saved with F5 and a click on the save screen; after
// a restart, F9 on the title opens the load screen and Escape closes it
// again, and the title's load line opens it once more, where a click loads
// the save: the story goes on from its first line (a click brings the
// character in) without the title starting it, and no warning is logged.
TEST_F(AppWRun, TheTutorialLoadsAfterARestartWhatItSaved) {
  Xvfb xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "no Xvfb here (tools/install-deps.sh installs it)";
  std::filesystem::copy(std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "tutorial", dir_.path(),
                        std::filesystem::copy_options::recursive);
  bool saved = false;
  const std::string first = PlayOnX(xvfb, dir_.path(), [&](XClient& client, unsigned long window, const Logged& logged) {
    client.click(window, 400, 300);  // the story begins
    if (!logged("CallUserFunc(2021, 1)", 1, 20000)) return;  // its window shown, the first line coming
    client.pressKey(window, "F5");
    if (!logged(kScreenWait, 1, 20000)) return;
    client.click(window, 400, 300);  // saves slot 1
    saved = logged("CallUserFunc(6002, -1, 0)", 1, 20000);
  });
  ASSERT_TRUE(saved) << first;

  bool loaded = false;
  const std::string second = PlayOnX(xvfb, dir_.path(), [&](XClient& client, unsigned long window, const Logged& logged) {
    client.pressKey(window, "F9");
    if (!logged(kScreenWait, 1, 20000)) return;
    client.pressKey(window, "Escape");
    if (!logged(kTitleWait, 2, 20000)) return;
    client.click(window, 400, 390);  // "Load a save"
    if (!logged(kScreenWait, 2, 20000)) return;
    client.click(window, 400, 300);  // loads slot 1
    if (!logged("CallUserFunc(4202, 1)", 1, 20000)) return;
    // Clicks until the story moves on from the loaded line.
    for (int i = 0; i < 20 && !loaded; ++i) {
      client.click(window, 400, 300);
      loaded = logged(kCharacter, 1, 300);
    }
  });
  EXPECT_TRUE(loaded) << second;
  EXPECT_EQ(Count(second, "CallUserFunc(6002, 1, 0)"), 0u) << second;  // the title never started the story
  for (const std::string* log : {&first, &second}) {
    EXPECT_EQ(log->find("[WARN ]"), std::string::npos) << *log;
    EXPECT_EQ(log->find("[ERROR]"), std::string::npos) << *log;
  }
}

}  // namespace
