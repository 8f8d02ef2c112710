// Runaway scripts on the real app_w: a loop that never waits, like a page
// asleep in its wait, ends on a termination or hang-up signal the
// way a finished run ends, and endless
// recursion ends with its ERROR and exit code 1 instead of eating memory.
#include <string>

#include "tests/support/app_w_run.h"

namespace {

class AppWRunaway : public AppWRun {
 protected:
  // Starts the game in the background, waits until its start script runs,
  // sends the signal and reports "rc=<exit code>", or "hung" when it was
  // still running 5 s later.
  platform::ProcessResult runAndSignal(const std::string& signal) {
    const std::string script =
        "cd '" + dir_.path().string() + "' || exit 2; "
        "ASAN_OPTIONS=detect_leaks=0 ./app_w -d game.scm > out.txt 2>&1 & pid=$!; "
        "for i in $(seq 400); do grep -q 'exec_set(9010' out.txt && break; sleep 0.05; done; "
        "sleep 0.2; kill -" + signal + " $pid; "
        "for i in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done; "
        "if kill -0 $pid 2>/dev/null; then kill -KILL $pid; echo hung; fi; "
        "wait $pid; echo rc=$?";
    return platform::RunProcess({"sh", "-c", script}, true);
  }
};

TEST_F(AppWRunaway, SignalsEndALoopThatNeverWaitsAndAnIdleWait) {
  writeGame(mutex_);
  const char* const scripts[] = {"(a3:label 0) (a3:goto 0)", "(a3:call-user-func 4000 1 -1 0)"};
  for (const char* script : scripts) {
    dir_.write("scene/scene9010.scm", std::string("(a3:define-set (0 0) ") + script + ")\n");
    for (const char* signal : {"TERM", "HUP"}) {
      const platform::ProcessResult result = runAndSignal(signal);
      EXPECT_NE(result.output.find("rc=0"), std::string::npos) << script << " " << signal << "\n" << result.output;
      EXPECT_EQ(result.output.find("hung"), std::string::npos) << script << " " << signal;
    }
  }
}

TEST_F(AppWRunaway, EndlessRecursionEndsWithCodeOne) {
  writeGame(mutex_);
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-sub 0))\n(a3:define-sub (0 0) (a3:call-sub 0))\n");
  const platform::ProcessResult result = run("game.scm");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("[ERROR]"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("(scenario=9010, set=-1, sub=0)"), std::string::npos) << result.output;
}

}  // namespace
