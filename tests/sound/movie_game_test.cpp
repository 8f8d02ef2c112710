// Movies in a whole game: the sample's movie played by built-in 2090 over a
// drawn scene, with the sound output pumped by hand so that the movie's
// clock moves one picture per frame; every picture is read back from the
// screen buffer. A system-screen key stops a playing movie.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/screen_flags.h"
#include "gamestate/state_mgr.h"
#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "platform/audio_device_fake.h"
#include "sound/movie_player.h"
#include "sound/ut_sound_device_dsound.h"
#include "sound/ut_sound_system.h"
#include "tests/platform/game_run.h"
#include "tools/sample_movie.h"

namespace {

const std::filesystem::path kSample = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
// Where the test places the movie on the 800 x 600 screen.
constexpr int32_t kMovieX = 40;
constexpr int32_t kMovieY = 30;
// Sound frames of one movie picture (25 per second at 44100 Hz).
constexpr int kFramesPerPicture = 44100 / 25;

void WriteGame(const TempDir& dir, int32_t mode) {
  dir.write("game.scm",
            "(:product-info (:product-name . \"Movie\") (:savedata-usage . 0) (:savedata-version . 1))\n"
            "(:system (:mutex-name . \"zep-movie-" + dir.path().filename().string() + "\"))\n"
            "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
            "  (:script-extension \"scm\") (:image-basedir \"image\") (:image-basename \"bg\")\n"
            "  (:image-num-digits 3) (:image-extension \"png\") (:font-0-type 0) (:font-0-name \"IPAGothic\")\n"
            "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\")\n"
            "  (:save-syssave-default-name \"default.dat\"))\n"
            "(:key (\"save\" . \"F5\"))\n"
            "(:window (:window-title \"Movie\") (:window-width 800) (:window-height 600))\n");
  // Full music level and movie factor: the movie plays at full volume.
  dir.write("save/default.dat", "((version . 1) (sysflag (sysflag-int (267 . 9) (309 . 100)) (sysflag-string)))");
  dir.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 100 0))\n");
  dir.write("scene/scene0100.scm",
            "(a3:define-set (0 0)\n"
            "  (a3:call-user-func 2021 0)\n"
            "  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)\n"
            "  (a3:call-user-func 4000 0 30 0)\n"
            "  (a3:call-user-func 2090 \"" + std::string(kSampleMoviePath) + "\" " + std::to_string(mode) + ")\n"
            "  (a3:call-user-func 4000 0 -1 0))\n");
  dir.write("scene/scene9006.scm", "(a3:define-set (0 0) (a3:call-user-func 4000 0 -1 0))\n");
  for (const char* file : {"image/bg001.png", kSampleMoviePath}) {
    std::filesystem::create_directories((dir.path() / file).parent_path());
    std::filesystem::copy_file(kSample / file, dir.path() / file);
  }
}

RGBAImageRef ReadScreen() {
  RGBAImageRef screen;
  if (auto* device = dynamic_cast<GDevGL*>(GDevFactory::device)) device->readScreen(&screen);
  return screen;
}

// Whether the movie's first bar shows at the movie's place.
bool MovieShown(const RGBAImageRef& screen) {
  const uint8_t* p = screen->pixel(kMovieX + kSampleMovieBarWidth / 2, kMovieY + 160);
  const SampleMovieColor bar = kSampleMovieBars[0];
  return std::abs(p[2] - bar.r) < 24 && std::abs(p[1] - bar.g) < 24 && std::abs(p[0] - bar.b) < 24;
}

class MovieGame : public testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
    UTSoundDeviceDSound::setOutputForTests(&platform::CreateFakeAudioDevice, false);
  }
  void TearDown() override { UTSoundDeviceDSound::setOutputForTests(nullptr, true); }

  static platform::FakeAudioDevice* output() {
    auto* device = dynamic_cast<UTSoundDeviceDSound*>(GetSoundSystem().device.get());
    return device ? static_cast<platform::FakeAudioDevice*>(device->output()) : nullptr;
  }
};

TEST_F(MovieGame, EveryPictureIsShownInOrderOverTheLastSceneWithItsSoundThenTheSceneComesBack) {
  TempDir game;
  WriteGame(game, 2);
  GameRun run(game.path());
  ASSERT_TRUE(run.init());
  RGBAImageRef before;
  std::vector<int32_t> shown;
  std::vector<int32_t> states;
  bool endedAfterLastPicture = false;
  int64_t soundFrom = -1;
  int endFrame = -1;
  run.onFrame = [&](int frame) {
    if (frame > 400) run.stop();
    if (!MoviePlayingFlag) {
      if (shown.empty()) before = ReadScreen();
      if (!shown.empty() && endFrame < 0) endFrame = frame;
      if (endFrame > 0 && frame > endFrame + 3) run.stop();
      return;
    }
    if (shown.empty() && soundFrom < 0) {
      movie_command(2, u"", kMovieX, kMovieY, kSampleMovieWidth, kSampleMovieHeight, 0);
      soundFrom = static_cast<int64_t>(output()->output().size());
    }
    const RGBAImageRef screen = ReadScreen();
    ASSERT_TRUE(screen);
    bool advanced = false;
    if (MovieShown(screen)) {
      const int32_t number = SampleMovieFrameNumber(screen->pixel(0, 0), screen->width * 4, kMovieX, kMovieY);
      advanced = shown.empty() || shown.back() != number;
      if (advanced) shown.push_back(number);
      // Outside the movie the last scene stays.
      EXPECT_EQ(std::memcmp(screen->pixel(600, 400), before->pixel(600, 400), 4), 0);
      EXPECT_EQ(std::memcmp(screen->pixel(kMovieX - 1, kMovieY), before->pixel(kMovieX - 1, kMovieY), 4), 0);
    }
    int32_t state = 0, id = 0;
    movie_getState(state, id);
    states.push_back(state);
    if (!shown.empty() && shown.back() == kSampleMovieFrames - 1) endedAfterLastPicture = true;
    movie_waitIdleForTests(5000);
    // The clock moves one picture each time a new one is on the screen, and
    // on after the last until the sound has played out.
    if (advanced || endedAfterLastPicture) output()->pump(kFramesPerPicture);
  };
  ASSERT_TRUE(run.run());

  std::vector<int32_t> expected;
  for (int32_t i = 0; i < kSampleMovieFrames; ++i) expected.push_back(i);
  EXPECT_EQ(shown, expected);
  EXPECT_TRUE(endedAfterLastPicture);
  EXPECT_NE(std::find(states.begin(), states.end(), 2), states.end());
  EXPECT_GT(endFrame, 0);
  EXPECT_FALSE(run.controller().state().isMoviePlaying());
  // The sound reached the mix.
  const std::vector<int16_t>& mix = output()->output();
  int32_t peak = 0;
  for (size_t i = static_cast<size_t>(std::max<int64_t>(soundFrom, 0)); i < mix.size(); ++i) {
    peak = std::max(peak, std::abs(int32_t{mix[i]}));
  }
  EXPECT_GT(peak, 2000);
  // The scene is drawn again where the movie was.
  const RGBAImageRef after = ReadScreen();
  ASSERT_TRUE(after && before);
  EXPECT_EQ(std::memcmp(after->pixel(kMovieX + 40, kMovieY + 160), before->pixel(kMovieX + 40, kMovieY + 160), 4), 0);
}

TEST_F(MovieGame, ASystemScreenKeyStopsThePlayingMovieAndTheScreenIsDrawnAgain) {
  TempDir game;
  WriteGame(game, 1);
  GameRun run(game.path());
  ASSERT_TRUE(run.init());
  int keyFrame = -1;
  int64_t renderedAtKey = 0;
  run.onFrame = [&](int frame) {
    if (frame > 300) run.stop();
    if (keyFrame < 0 && MoviePlayingFlag) {
      movie_waitIdleForTests(5000);
      int32_t state = 0, id = 0;
      movie_getState(state, id);
      if (state != 2) return;
      run.key(GameRun::kKeyF5);
      keyFrame = frame;
      renderedAtKey = GetRenderedFrameCount();
    }
    if (keyFrame > 0 && frame == keyFrame + 5) run.stop();
  };
  ASSERT_TRUE(run.run());
  ASSERT_GT(keyFrame, 0);
  EXPECT_EQ(MoviePlayingFlag, 0);
  EXPECT_FALSE(run.controller().state().isMoviePlaying());
  int32_t state = -5, id = 0;
  movie_getState(state, id);
  EXPECT_EQ(state, 0);
  EXPECT_GT(GetRenderedFrameCount(), renderedAtKey);
  EXPECT_FALSE(MovieShown(ReadScreen()));
}

}  // namespace
