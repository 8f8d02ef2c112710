// The process-wide movie player over one MovieSession at a time.
#include "sound/movie_player.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/game_environment.h"
#include "app/movie_screen.h"
#include "app/screen_flags.h"
#include "platform/utf8.h"
#include "platform/window.h"
#include "sound/movie_session.h"
#include "sound/sorn.h"
#include "sound/ut_sound_device.h"

namespace {

constexpr int32_t kMovieEndCode = 27;
// The movie's sound buffer: twice what the thread writes ahead.
constexpr int32_t kSoundBufferMs = 2000;

struct Player {
  std::unique_ptr<MovieSession> session;
  int32_t volume = 0;  // hundredths of a decibel, kept across movies
  int32_t id = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;
  std::function<std::unique_ptr<platform::MovieDecoder>()> decoderFactory;
  // The picture buffers of the last movie, for the next one.
  std::vector<std::vector<uint8_t>> pixels;
};

Player& player() {
  static Player* instance = new Player;
  return *instance;
}

// Ends the movie, keeping its picture buffers.
void ReleaseSession() {
  Player& p = player();
  if (!p.session) return;
  p.pixels = p.session->takePixels();
  p.session.reset();
}

// The decoder thread wakes the main thread's event wait.
void NotifyMainThread(int32_t id) { platform::PostMovieNotice(id); }

// The flag down; the scene is drawn again where the movie was.
void ClearPlayingFlag() {
  if (!MoviePlayingFlag) return;
  MoviePlayingFlag = 0;
  GUIChangedFlag = 1;
}

// A movie that could not be opened or decoded (already logged) leaves no
// movie and no playing flag, so that the screen is drawn again.
bool DropFailedMovie() {
  Player& p = player();
  if (!p.session || p.session->state() != MovieSession::kFailed) return false;
  ReleaseSession();
  ClearPlayingFlag();
  return true;
}

void Open(std::u16string_view file, int32_t id) {
  Player& p = player();
  movie_releaseAll();
  // A name that resolves to no file plays nothing: no flag, no movie.
  const std::u16string path = ResolveWithAltSearchPath(file);
  if (path.empty()) return;
  MoviePlayingFlag = 1;
  p.id = id;
  int32_t rate = 44100;
  std::unique_ptr<SoundBuffer> sound;
  if (sorn_createOutputBuffer(kSoundBufferMs, &rate, &sound) != kSornOk) sound.reset();
  // The decoder is made on the session's thread: the first one loads the
  // movie module, which takes a while.
  MovieSession::DecoderFactory factory = &platform::CreateFfmpegMovieDecoder;
  if (p.decoderFactory) factory = [made = p.decoderFactory](std::string*) { return made(); };
  p.session = std::make_unique<MovieSession>(std::move(factory), platform::ToUtf8(path), id, std::move(sound), rate,
                                             p.volume, &NotifyMainThread);
  p.session->place(p.x, p.y, p.w, p.h);
  for (std::vector<uint8_t>& pixels : p.pixels) p.session->giveBack(std::move(pixels));
  p.pixels.clear();
  p.session->start();
}

// What the main window draws and hands over.
class PlayerScreen final : public MovieScreen {
 public:
  bool takeFrame(MovieFrame* frame) override {
    MovieSession* session = player().session.get();
    return session && session->takeFrame(frame);
  }
  int64_t nextFrameInMs() override {
    MovieSession* session = player().session.get();
    return session ? session->nextFrameInMs() : -1;
  }
  void pictureShown() override {
    if (MovieSession* session = player().session.get()) session->pictureShown();
  }
  void frameStepped() override {
    if (MovieSession* session = player().session.get()) session->screenTurn();
  }
  void giveBack(std::vector<uint8_t> pixels) override {
    if (MovieSession* session = player().session.get()) session->giveBack(std::move(pixels));
  }
  void onGraphEvent(int64_t parameter) override { movie_onGraphEvent(parameter); }
  void releaseAll() override { movie_releaseAll(); }
};

}  // namespace

bool movie_command(int32_t command, std::u16string_view file, int32_t x, int32_t y, int32_t w, int32_t h,
                   int32_t id) {
  Player& p = player();
  switch (command) {
    case 0:
      p.x = x, p.y = y, p.w = w, p.h = h;
      Open(file, id);
      break;
    case 1:
      ClearPlayingFlag();
      movie_releaseAll();
      break;
    case 2:
      p.x = x, p.y = y, p.w = w, p.h = h;
      if (p.session) p.session->place(x, y, w, h);
      break;
    case 3:
      p.volume = LinearToAttenuation(std::clamp(x, 0, 100) * 100);
      if (p.session) p.session->setVolume(p.volume);
      break;
    case 4:
      DropFailedMovie();
      break;
    default:
      break;
  }
  return true;
}

bool movie_play(std::u16string_view file, int32_t id, int32_t& result) {
  movie_command(0, file, 0, 0, 0, 0, id);
  result = 0;
  return true;
}

bool movie_stop(int32_t& result) {
  movie_command(1, u"", 0, 0, 0, 0, 0);
  result = 0;
  return true;
}

bool movie_setVolume(int32_t percent, int32_t& result) {
  movie_command(3, u"", percent, 0, 0, 0, 0);
  result = 0;
  return true;
}

bool movie_getState(int32_t& state, int32_t& id) {
  Player& p = player();
  id = p.id;
  state = 0;
  if (!p.session || DropFailedMovie()) return true;
  switch (p.session->state()) {
    case MovieSession::kOpening: state = -1; break;
    case MovieSession::kRunning: state = 2; break;
    default: state = 1; break;
  }
  return true;
}

void movie_onGraphEvent(int64_t parameter) {
  Player& p = player();
  if (!p.session || DropFailedMovie()) return;
  if (p.session->takeEnd()) {
    PostEvent(std::make_unique<AppEvent>(kMovieEndCode, u"EC_COMPLETE", static_cast<int32_t>(parameter)));
  }
}

void movie_releaseAll() { ReleaseSession(); }

int32_t movie_volume() { return player().volume; }

void movie_install() {
  static PlayerScreen screen;
  SetMovieScreen(&screen);
}

void movie_setDecoderForTests(std::function<std::unique_ptr<platform::MovieDecoder>()> factory) {
  player().decoderFactory = std::move(factory);
}

bool movie_waitIdleForTests(int32_t timeoutMs) {
  MovieSession* session = player().session.get();
  return session && session->waitIdle(timeoutMs);
}

MovieSession::Stats movie_stats() {
  MovieSession* session = player().session.get();
  return session ? session->stats() : MovieSession::Stats{};
}
