// The decoder thread of one movie and its clock.
#include "sound/movie_session.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "app/log.h"
#include "platform/clock.h"
#include "platform/utf8.h"

namespace {

// Pictures kept ahead: a few, and not more than this many bytes of them.
constexpr size_t kMaxFrames = 8;
constexpr size_t kMaxQueuedBytes = 32u << 20;
// Sound written ahead of the play position, at most.
constexpr int64_t kSoundAheadMs = 1000;
// Silence put after what was written, so that a decoder that falls behind
// leaves a gap rather than sound heard before.
constexpr int64_t kSilenceAfterMs = 100;
// How often a waiting thread looks at the clock.
constexpr auto kPoll = std::chrono::milliseconds(5);
constexpr int32_t kBytesPerFrame = 4;  // 16-bit stereo

// Counts the pictures handed to the screen, across movies, so that no two
// pictures share a revision (main thread).
uint32_t pictureRevision = 0;

}  // namespace

MovieSession::MovieSession(std::unique_ptr<platform::MovieDecoder> decoder, std::string path, int32_t id,
                           std::unique_ptr<SoundBuffer> sound, int32_t audioRate, int32_t volume, Notify notify)
    : decoder_(std::move(decoder)),
      path_(std::move(path)),
      id_(id),
      sound_(std::move(sound)),
      audioRate_(std::max(audioRate, 1)),
      notify_(notify) {
  if (sound_) {
    sound_->setVolume(volume);
    ringBytes_ = sound_->size();
  }
}

MovieSession::~MovieSession() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (sound_) sound_->stop();
}

void MovieSession::start() {
  try {
    thread_ = std::thread(&MovieSession::run, this);
  } catch (const std::system_error&) {
    LogWrite(LOG_WARN, u"failed to open movie(%s) : no thread\n", platform::FromUtf8(path_));
    std::lock_guard<std::mutex> lock(mutex_);
    endLocked(kFailed);
  }
}

MovieSession::State MovieSession::state() {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

bool MovieSession::takeEnd() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ != kEnded || endTaken_) return false;
  endTaken_ = true;
  return true;
}

void MovieSession::setVolume(int32_t volume) {
  if (sound_) sound_->setVolume(volume);
}

void MovieSession::place(int32_t x, int32_t y, int32_t w, int32_t h) {
  std::lock_guard<std::mutex> lock(mutex_);
  x_ = x;
  y_ = y;
  w_ = w;
  h_ = h;
}

bool MovieSession::takeFrame(MovieFrame* frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!started_) return false;
  const int64_t clock = clockLocked();
  bool due = false;
  platform::MovieVideoFrame newest;
  while (!frames_.empty() && frames_.front().timeMs <= clock) {
    newest = std::move(frames_.front());
    frames_.pop_front();
    due = true;
  }
  if (!due) return false;
  frame->bgra = std::move(newest.bgra);
  frame->width = width_;
  frame->height = height_;
  frame->revision = ++pictureRevision;
  frame->x = x_;
  frame->y = y_;
  frame->w = w_;
  frame->h = h_;
  wake_.notify_all();  // room for the next picture
  return true;
}

int64_t MovieSession::clockMs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return clockLocked();
}

bool MovieSession::waitIdle(int32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t asked = ++idleAsked_;
  wake_.notify_all();
  return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return idleSeen_ >= asked || state_ == kEnded || state_ == kFailed;
  });
}

// ------------------------------------------------------- decoder thread

bool MovieSession::open() {
  std::string error;
  if (!decoder_->open(path_, audioRate_, &error)) {
    LogWrite(LOG_WARN, u"failed to open movie(%s) : %s\n", platform::FromUtf8(path_), platform::FromUtf8(error));
    std::lock_guard<std::mutex> lock(mutex_);
    endLocked(kFailed);
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  width_ = decoder_->width();
  height_ = decoder_->height();
  withSound_ = sound_ && ringBytes_ >= kBytesPerFrame && decoder_->hasAudio();
  const size_t frameBytes = std::max<size_t>(size_t(width_) * size_t(height_) * 4, 1);
  capacity_ = std::clamp<size_t>(kMaxQueuedBytes / frameBytes, 2, kMaxFrames);
  return true;
}

void MovieSession::run() {
  if (!open()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!quit_) {
    dropPassedFramesLocked(clockLocked());
    if (decodeDone_) {
      if (!started_) startPlayingLocked();
      if (clockLocked() >= endMs_) {
        endLocked(kEnded);
        break;
      }
    }
    if (!needsMoreLocked()) {
      // Far enough ahead: play, and look again when the clock has moved.
      if (!started_) startPlayingLocked();
      idleSeen_ = idleAsked_;
      idle_.notify_all();
      wake_.wait_for(lock, kPoll);
      continue;
    }
    lock.unlock();
    platform::MovieVideoFrame frame;
    std::vector<int16_t> samples;
    std::string error;
    const platform::MovieDecoder::Result result = decoder_->next(&frame, &samples, &error);
    lock.lock();
    if (quit_) break;
    switch (result) {
      case platform::MovieDecoder::kVideo:
        endMs_ = std::max(endMs_, frame.timeMs + frame.durationMs);
        if (frame.bgra.size() == size_t(width_) * size_t(height_) * 4) frames_.push_back(std::move(frame));
        break;
      case platform::MovieDecoder::kAudio:
        writeSoundLocked(samples);
        break;
      case platform::MovieDecoder::kEnd:
        decodeDone_ = true;
        break;
      case platform::MovieDecoder::kError:
        LogWrite(LOG_WARN, u"failed to decode movie(%s) : %s\n", platform::FromUtf8(path_),
                 platform::FromUtf8(error));
        endLocked(kFailed);
        return;
    }
  }
}

int64_t MovieSession::clockLocked() {
  if (!started_) return 0;
  if (!withSound_) return (platform::MonotonicMicroseconds() - startMicros_) / 1000;
  uint32_t play = 0, write = 0;
  if (sound_->getCurrentPosition(&play, &write) == kBufferOk) {
    played_ += ((play + ringBytes_ - lastCursor_) % ringBytes_) / kBytesPerFrame;
    lastCursor_ = play;
  }
  return played_ * 1000 / audioRate_;
}

bool MovieSession::needsMoreLocked() {
  if (decodeDone_ || frames_.size() >= capacity_) return false;
  return !withSound_ || (written_ - played_) * 1000 / audioRate_ < kSoundAheadMs;
}

void MovieSession::dropPassedFramesLocked(int64_t clock) {
  // The newest due picture stays for the screen to take.
  while (frames_.size() >= 2 && frames_[1].timeMs <= clock) frames_.pop_front();
}

void MovieSession::writeSoundLocked(const std::vector<int16_t>& samples) {
  const int64_t frames = static_cast<int64_t>(samples.size() / 2);
  decodedSound_ += frames;
  endMs_ = std::max(endMs_, decodedSound_ * 1000 / audioRate_);
  if (!withSound_ || frames == 0) return;
  // A decoder that fell behind goes on from where the sound is now.
  if (written_ < played_) written_ = played_;
  const int64_t ringFrames = ringBytes_ / kBytesPerFrame;
  const int64_t silence = std::min(kSilenceAfterMs * audioRate_ / 1000, ringFrames / 4);
  const int64_t most = ringFrames - silence;
  const auto put = [&](int64_t at, int64_t count, const int16_t* from) {
    void* first = nullptr;
    void* second = nullptr;
    uint32_t firstBytes = 0, secondBytes = 0;
    const auto offset = static_cast<uint32_t>((at % ringFrames) * kBytesPerFrame);
    const auto bytes = static_cast<uint32_t>(count * kBytesPerFrame);
    if (sound_->lock(offset, bytes, &first, &firstBytes, &second, &secondBytes, 0) != kBufferOk) return;
    const auto* source = reinterpret_cast<const uint8_t*>(from);
    if (from) {
      std::memcpy(first, source, firstBytes);
      if (second) std::memcpy(second, source + firstBytes, secondBytes);
    } else {
      std::memset(first, 0, firstBytes);
      if (second) std::memset(second, 0, secondBytes);
    }
    sound_->unlock(first, firstBytes, second, secondBytes);
  };
  for (int64_t done = 0; done < frames;) {
    const int64_t count = std::min(frames - done, most);
    put(written_, count, samples.data() + done * 2);
    written_ += count;
    done += count;
  }
  if (silence > 0) put(written_, silence, nullptr);
}

void MovieSession::startPlayingLocked() {
  started_ = true;
  if (state_ == kOpening) state_ = kRunning;
  startMicros_ = platform::MonotonicMicroseconds();
  if (withSound_) {
    sound_->setCurrentPosition(0);
    lastCursor_ = 0;
    sound_->play(true);
  }
}

void MovieSession::endLocked(State state) {
  state_ = state;
  if (sound_) sound_->stop();
  idle_.notify_all();
  if (notify_) notify_(id_);
}
