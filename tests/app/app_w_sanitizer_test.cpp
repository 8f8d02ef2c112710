// The sanitizer build of app_w with its leak checker on: a clean run exits 0
// (the system libraries' leaks are suppressed), while a leak of the engine's
// own kind still fails the process. Other builds skip.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/app_w_run.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST_F(AppWRun, UnderTheSanitizerACleanRunExitsZeroAndALeakOfOursFails) {
  if (!kSanitized) GTEST_SKIP() << "not a sanitizer build";
  writeGame(mutex_);
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0) (a3:call-user-func 4000 0 200 0) (a3:call-user-func 6000))\n");
  const platform::ProcessResult clean = platform::RunProcess(
      {"sh", "-c",
       "cd '" + dir_.path().string() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ./app_w game.scm 2>&1"},
      true);
  EXPECT_EQ(clean.exitCode, 0) << clean.output;
  EXPECT_EQ(clean.output.find("LeakSanitizer"), std::string::npos) << clean.output;
#if defined(ZEP_LEAK_HELPER)
  const platform::ProcessResult leaky = platform::RunProcess({"sh", "-c", std::string(ZEP_LEAK_HELPER) + " 2>&1"}, true);
  EXPECT_NE(leaky.exitCode, 0) << leaky.output;
  EXPECT_NE(leaky.output.find("LeakSanitizer: detected memory leaks"), std::string::npos) << leaky.output;
#endif
}

}  // namespace
