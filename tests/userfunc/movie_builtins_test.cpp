// The movie built-ins over the real player with the fake decoder (no sound
// device: the movie's clock is the monotonic one): the skip rules, input
// that may or may not cut a movie short, an earlier movie's end, an
// unplayable file, the volume rules, the end notice, a stop while the
// decoder is busy, and picture buffers that serve again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/event_queue.h"
#include "app/game_environment.h"
#include "app/movie_screen.h"
#include "app/screen_flags.h"
#include "platform/movie_decoder_fake.h"
#include "sound/movie_player.h"
#include "sound/movie_session.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

int ThreadCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                        std::filesystem::directory_iterator()));
}

// The fake decoder, counting the pictures it is asked for without a buffer
// of the picture's size to fill.
class CountingDecoder final : public platform::MovieDecoder {
 public:
  CountingDecoder(const platform::FakeMovieScript& script, std::atomic<int>* fresh)
      : inner_(platform::CreateFakeMovieDecoder(script)), fresh_(fresh) {}
  bool open(const std::string& path, int32_t rate, const std::atomic<bool>* stop, std::string* error) override {
    return inner_->open(path, rate, stop, error);
  }
  int32_t width() const override { return inner_->width(); }
  int32_t height() const override { return inner_->height(); }
  bool hasAudio() const override { return inner_->hasAudio(); }
  Result nextPicture(platform::MovieVideoFrame* video, std::string* error) override {
    if (video->bgra.size() != size_t(width()) * size_t(height()) * 4) ++*fresh_;
    return inner_->nextPicture(video, error);
  }
  Result nextSound(platform::MovieSoundBlock* sound, std::string* error) override {
    return inner_->nextSound(sound, error);
  }

 private:
  std::unique_ptr<platform::MovieDecoder> inner_;
  std::atomic<int>* fresh_;
};

class MovieBuiltinTest : public UserfuncTest {
 protected:
  MovieBuiltinTest() {
    useFake(platform::FakeMovieScript{16, 12, 3, 10, 0, 0, ""});
    userMode();
    movie_install();
  }
  ~MovieBuiltinTest() override {
    movie_releaseAll();
    SetMovieScreen(before_);
    movie_setDecoderForTests(nullptr);
    MoviePlayingFlag = 0;
    GetEventQueue().takeAll();
  }

  void useFake(const platform::FakeMovieScript& script) {
    movie_setDecoderForTests([script] { return platform::CreateFakeMovieDecoder(script); });
  }
  int32_t movieState() {
    int32_t state = 0, id = 0;
    movie_getState(state, id);
    return state;
  }
  // Ticks the wait until it ends (null after five seconds), a frame step
  // of a screen that draws nothing each time.
  std::unique_ptr<UFResult> tickUntilEnd(const UFResult& wait) {
    for (int i = 0; i < 1000; ++i) {
      GetMovieScreen()->frameStepped();
      if (std::unique_ptr<UFResult> done = tick(wait)) return done;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return nullptr;
  }

  MovieScreen* const before_ = GetMovieScreen();
  TempDir dir;
  // The fake decoder ignores the file, but the player plays only names
  // that resolve to one.
  const std::string moviePath = dir.write("op.mpg", "").string();
  const std::u16string movie{moviePath.begin(), moviePath.end()};
  GameEnvironment environment{u"", {}, {}};
  UserfuncImpl movies{&environment, &state};
};

TEST_F(MovieBuiltinTest, SkipAndInputRulesDecideWhatEndsTheWait) {
  // Message skip with mode 1 (or a mode outside 0..3, which counts as 0):
  // nothing plays, the frame passes.
  state.setSkipping(1);
  const UserfuncImpl::Args passed = {APValue(movie), APValue(1)};
  EXPECT_EQ(movies.call(2090, passed)->kind, UFResult::kValueThenYield);
  EXPECT_EQ(movies.call(2090, {APValue(u"op.mpg"), APValue(9)})->kind, UFResult::kValueThenYield);
  EXPECT_EQ(movieState(), 0);
  EXPECT_EQ(MoviePlayingFlag, 0);

  // Mode 2 under message skip: skip goes off, a click does not stop the
  // movie, its end does.
  useFake(platform::FakeMovieScript{16, 12, 50, 10, 0, 0, ""});
  const UserfuncImpl::Args forced = {APValue(movie), APValue(2)};
  std::unique_ptr<UFResult> wait = movies.call(2090, forced);
  ASSERT_EQ(wait->kind, UFResult::kWait);
  EXPECT_EQ(state.isSkipping(), 0);
  EXPECT_TRUE(state.isMoviePlaying());
  EXPECT_EQ(MoviePlayingFlag, 1);
  EXPECT_EQ(feed(*wait, MouseEvent(5, 5, MouseEvent::kPress, MouseEvent::kLeft, 0, 0)), nullptr);
  EXPECT_EQ(feed(*wait, MouseEvent(5, 5, MouseEvent::kRelease, MouseEvent::kLeft, 0, 0)), nullptr);
  EXPECT_EQ(feed(*wait, AppEvent(16, 0)), nullptr);
  ASSERT_NE(tickUntilEnd(*wait), nullptr);
  EXPECT_FALSE(state.isMoviePlaying());
  EXPECT_EQ(MoviePlayingFlag, 0);

  // Mode 1: a press alone goes on, its release stops the movie; an earlier
  // movie's end does not end the wait of the next one.
  useFake(platform::FakeMovieScript{16, 12, 100, 40, 0, 0, ""});
  const UserfuncImpl::Args plain = {APValue(movie), APValue(1)};
  wait = movies.call(2090, plain);
  EXPECT_EQ(feed(*wait, AppEvent(27, movies.movieId() - 1)), nullptr);
  EXPECT_EQ(feed(*wait, MouseEvent(5, 5, MouseEvent::kPress, MouseEvent::kLeft, 0, 0)), nullptr);
  EXPECT_NE(movieState(), 0);
  EXPECT_NE(feed(*wait, MouseEvent(5, 5, MouseEvent::kRelease, MouseEvent::kLeft, 0, 0)), nullptr);
  EXPECT_EQ(movieState(), 0);
  wait = movies.call(2090, plain);
  EXPECT_NE(feed(*wait, AppEvent(27, movies.movieId())), nullptr);

  // A file that cannot be opened: logged, and the first event ends the wait
  // with both flags down.
  useFake(platform::FakeMovieScript{16, 12, 3, 10, 0, 0, "No such file or directory"});
  LogCapture log;
  wait = movies.call(2090, plain);
  ASSERT_NE(tickUntilEnd(*wait), nullptr);
  EXPECT_TRUE(log.contains("failed to open movie(" + moviePath + ") : No such file or directory")) << log.all();
  EXPECT_FALSE(state.isMoviePlaying());
  EXPECT_EQ(MoviePlayingFlag, 0);

  // A name that resolves to no file plays nothing: no flag, state 0, and
  // the first event ends the wait.
  wait = movies.call(2090, {APValue(u"missing.mpg"), APValue(2)});
  EXPECT_EQ(MoviePlayingFlag, 0);
  EXPECT_EQ(movieState(), 0);
  EXPECT_NE(feed(*wait, AppEvent(99, 0)), nullptr);
  EXPECT_FALSE(state.isMoviePlaying());
}

TEST_F(MovieBuiltinTest, VolumesFollowTheSettingsAndTheEndIsPostedOnceWithTheMovieId) {
  int32_t result = -1;
  movie_setVolume(50, result);
  EXPECT_EQ(movie_volume(), -752);
  movie_setVolume(0, result);
  EXPECT_EQ(movie_volume(), -10000);
  state.setSysflagInt(267, 9);
  state.setSysflagInt(309, 100);
  EXPECT_EQ(call(2092, 100)->value, 0);
  EXPECT_EQ(movie_volume(), 0);
  state.setSysflagInt(266, 1);  // music muted
  call(2092, 100);
  EXPECT_EQ(movie_volume(), -10000);

  movie_play(movie, 7, result);
  int32_t playState = 0, id = 0;
  for (int i = 0; i < 400 && playState != 1; ++i) {
    GetMovieScreen()->frameStepped();
    movie_getState(playState, id);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(playState, 1);
  EXPECT_EQ(id, 7);
  GetEventQueue().takeAll();
  movie_onGraphEvent(7);
  movie_onGraphEvent(7);
  auto events = GetEventQueue().takeAll();
  ASSERT_EQ(events.size(), 1u);
  const AppEvent* end = EventAs<AppEvent>(events.front().get());
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->code, 27);
  EXPECT_EQ(end->text, u"EC_COMPLETE");
  EXPECT_EQ(end->parameter(), 7);
}

TEST_F(MovieBuiltinTest, AStopWhileTheDecoderIsBusyJoinsItsThread) {
  const int baseline = ThreadCount();
  useFake(platform::FakeMovieScript{320, 240, 250, 40, 0, 30, ""});
  int32_t result = 0;
  movie_play(movie, 1, result);
  std::this_thread::sleep_for(std::chrono::milliseconds(45));
  EXPECT_EQ(ThreadCount(), baseline + 1);
  movie_stop(result);
  EXPECT_EQ(ThreadCount(), baseline);
  EXPECT_EQ(movieState(), 0);
  EXPECT_EQ(MoviePlayingFlag, 0);
}

TEST_F(MovieBuiltinTest, TheClockWaitsForAScreenHeldUpButNotForOneThatStepsWithoutDrawing) {
  // A main thread held up past the wait (no frame steps): its first turn
  // shows the first picture. A screen that steps without drawing (a
  // minimized window): the clock starts after the wait, and the picture
  // shown on the return is a later one.
  MovieScreen* screen = GetMovieScreen();
  useFake(platform::FakeMovieScript{16, 12, 400, 10, 0, 0, ""});
  const auto firstShownIsTheFirstPicture = [&](bool stepping) {
    int32_t result = 0;
    movie_play(movie, 1, result);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(MovieSession::kFirstPictureWaitMs + 800);
    while (std::chrono::steady_clock::now() < until) {
      if (stepping) screen->frameStepped();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    MovieFrame frame;
    bool taken = false;
    for (int i = 0; i < 200 && !(taken = screen->takeFrame(&frame)); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(taken);
    uint32_t color = 0;
    if (frame.bgra.size() >= 4) std::memcpy(&color, frame.bgra.data(), 4);
    screen->pictureShown();
    movie_stop(result);
    return color == platform::FakeMovieColor(0);
  };
  EXPECT_TRUE(firstShownIsTheFirstPicture(false));
  EXPECT_FALSE(firstShownIsTheFirstPicture(true));
}

TEST_F(MovieBuiltinTest, PictureBuffersServeAgainForLaterPicturesAndTheNextMovieOfTheirSize) {
  // The screen takes a picture every 25 ms of a movie with one every 10 ms
  // and gives the one before back, as the main window does: most pictures
  // are late and dropped. New buffers go only to the pictures kept ahead
  // (at most 8), the one being decoded and the one on the screen.
  MovieScreen* screen = GetMovieScreen();
  std::atomic<int> fresh{0};
  const auto play = [&](const platform::FakeMovieScript& script, MovieFrame* shown) {
    fresh = 0;
    movie_setDecoderForTests([script, &fresh] { return std::make_unique<CountingDecoder>(script, &fresh); });
    int32_t result = 0;
    movie_play(movie, 1, result);
    int taken = 0;
    for (int i = 0; i < 400 && movieState() != 1; ++i) {
      MovieFrame next;
      if (screen->takeFrame(&next)) {
        EXPECT_EQ(next.bgra.size(), size_t(script.width) * size_t(script.height) * 4);
        if (shown->width == next.width && shown->height == next.height) screen->giveBack(std::move(shown->bgra));
        *shown = std::move(next);
        screen->pictureShown();
        ++taken;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(movieState(), 1);
    EXPECT_LT(taken, script.frames);
  };
  MovieFrame shown;
  play(platform::FakeMovieScript{64, 48, 60, 10, 0, 0, ""}, &shown);
  EXPECT_LE(fresh, 10);
  // The next movie of that size takes the kept buffers (at most one new one
  // when the screen falls further behind than in the first); one of another
  // size gets its own, of its size: at least the 8 kept ahead.
  play(platform::FakeMovieScript{64, 48, 30, 10, 0, 0, ""}, &shown);
  EXPECT_LE(fresh, 2);
  play(platform::FakeMovieScript{32, 24, 30, 10, 0, 0, ""}, &shown);
  EXPECT_GE(fresh, 8);
  EXPECT_LE(fresh, 10);
}

}  // namespace
