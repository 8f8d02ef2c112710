// Through the real app_w, headless with the disk sound driver: a movie
// played to its end ends its wait, and a missing movie is logged and ends
// its wait at once, so the run goes on to its end.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/app_w_run.h"

namespace {

TEST_F(AppWRun, AMovieEndsItsWaitAndAMissingOneIsLoggedAndPassedOver) {
  writeGame(mutex_);
  std::filesystem::create_directories(dir_.path() / "movie");
  std::filesystem::copy_file(std::filesystem::path(ZEP_SOURCE_DIR) / "examples/sample/movie/opening.mpg",
                             dir_.path() / "movie/opening.mpg");
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2090 \"movie/opening.mpg\" 2)\n"
             "  (a3:call-user-func 2090 \"movie/missing.mpg\" 0)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result =
      run("-d game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw SDL_DISKAUDIODELAY=0");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const std::string& out = result.output;
  const size_t first = out.find("CallUserFunc(2090");
  const size_t second = out.find("CallUserFunc(2090", first + 1);
  const size_t warning = out.find("failed to open movie(movie/missing.mpg) : ");
  ASSERT_NE(second, std::string::npos) << out;
  EXPECT_NE(out.find("movie/missing.mpg", second), std::string::npos) << out;
  EXPECT_GT(warning, second) << out;
  EXPECT_NE(warning, std::string::npos) << out;
}

}  // namespace
