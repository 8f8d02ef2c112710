// The decoder thread of one movie and its clock. The sound buffer loops
// over its ring; every sample is written at the ring place its time gives
// it, never behind the play cursor, and what the cursor has passed is made
// silent again, so that a track that ends early or a decoder that falls
// behind is heard as silence, never as sound from a turn of the ring ago.
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
// Sound written ahead of the play position: refilled up to kSoundAheadMs
// once less than kSoundLowMs is left, so that the thread wakes for it in
// bursts rather than for every block.
constexpr int64_t kSoundAheadMs = 1000;
constexpr int64_t kSoundLowMs = 500;
// The longest the thread sleeps while it has nothing to do (what the cursor
// passed must be made silent well before it comes round again).
constexpr int64_t kMaxIdleMs = 100;
// How close to a whole turn of the ring ahead of the cursor sound may be
// written (the mixer reads a block past the cursor).
constexpr int64_t kRingMarginMs = 100;
// How often the thread looks again for room to write sound that waits.
constexpr int64_t kPendingPollMs = 20;
constexpr int32_t kBytesPerFrame = 4;  // 16-bit stereo

// Counts the pictures handed to the screen, across movies, so that no two
// pictures share a revision (main thread).
uint32_t pictureRevision = 0;

}  // namespace

struct MovieSession::Core {
  Core(DecoderFactory f, std::string p, int32_t i, std::unique_ptr<SoundBuffer> s, int32_t rate, Notify n)
      : makeDecoder(std::move(f)),
        path(std::move(p)),
        id(i),
        audioRate(std::max(rate, 1)),
        notify(n),
        sound(std::move(s)) {
    if (sound) ringFrames = sound->size() / kBytesPerFrame;
  }

  // Under mutex:
  int64_t clockLocked();
  void clearPlayedLocked();
  void putLocked(int64_t at, int64_t count, const int16_t* from);
  void writePendingLocked();
  void readyLocked();
  void startPlayingLocked();
  void endLocked(State to);
  // Keeps the pixels of a picture that was shown or never will be for a
  // later one: a new picture buffer costs its allocation, its clearing and
  // a page fault for each of its pages before the decoder writes it.
  void recycleLocked(std::vector<uint8_t>&& pixels);
  // How long the thread may sleep when it has nothing to do.
  int64_t idleMsLocked(int64_t clock) const;
  int64_t framesToMs(int64_t frames) const { return frames * 1000 / audioRate; }

  const DecoderFactory makeDecoder;
  std::unique_ptr<platform::MovieDecoder> decoder;  // the thread's alone
  const std::string path;
  const int32_t id;
  const int32_t audioRate;
  const Notify notify;
  std::atomic<bool> stop{false};  // read by the decoder while it waits for data

  std::mutex mutex;
  std::condition_variable wake;      // the thread waits on it for room or the quit
  std::condition_variable idle;      // waitIdle waits on it
  std::condition_variable finished;  // the destructor waits on it
  // Everything below is guarded by mutex.
  std::unique_ptr<SoundBuffer> sound;
  bool quit = false;
  bool done = false;  // the thread has left
  State state = kOpening;
  bool endTaken = false;
  bool videoDone = false;
  bool soundDone = false;
  // The decoder answered kFull: that stream waits until the other one
  // has given something.
  bool pictureWaits = false;
  bool soundWaits = false;
  // Refilling the pictures or the sound (see kSoundLowMs).
  bool pictureRefill = true;
  bool soundRefill = true;
  uint64_t idleAsked = 0;  // waitIdle's requests
  uint64_t idleSeen = 0;   // the last request the thread answered by going idle
  bool withSound = false;
  size_t capacity = kMaxFrames;  // pictures kept ahead
  std::deque<platform::MovieVideoFrame> frames;
  // Pixels given back, filled again by the decoder; any size until the
  // file is open, then only the movie's own.
  std::vector<std::vector<uint8_t>> spare;
  int32_t width = 0;
  int32_t height = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;
  int64_t endMs = 0;  // the end of the last picture or of the sound decoded
  Stats stats;
  // Clock and ring, in sound frames from the movie's time 0. Ready: decoded
  // far enough ahead to start; the clock starts once the first picture,
  // handed out, is shown.
  bool ready = false;
  int64_t firstTurnMicros = -1;  // the screen's first turn once the first picture was due
  bool firstTaken = false;
  bool started = false;
  int64_t startMicros = 0;
  int64_t ringFrames = 0;
  uint32_t lastCursor = 0;
  int64_t played = 0;   // what the cursor has passed
  int64_t written = 0;  // the end of what was written
  int64_t cleared = 0;  // silent again up to here
  bool havePending = false;
  platform::MovieSoundBlock pending;  // decoded, not yet (all) written
};

MovieSession::MovieSession(DecoderFactory makeDecoder, std::string path, int32_t id, std::unique_ptr<SoundBuffer> sound,
                           int32_t audioRate, int32_t volume, Notify notify)
    : id_(id),
      core_(std::make_shared<Core>(std::move(makeDecoder), std::move(path), id, std::move(sound), audioRate, notify)) {
  if (core_->sound) core_->sound->setVolume(volume);
}

MovieSession::~MovieSession() {
  Core& c = *core_;
  std::unique_lock<std::mutex> lock(c.mutex);
  c.quit = true;
  c.stop = true;
  c.wake.notify_all();
  if (thread_.joinable()) {
    if (c.finished.wait_for(lock, std::chrono::milliseconds(kJoinTimeoutMs), [&] { return c.done; })) {
      lock.unlock();
      thread_.join();
      lock.lock();
    } else {
      // The thread is stuck in the system (a read that nothing ends): it
      // keeps the rest alive and leaves once the read returns; the sound
      // goes now.
      LogWrite(LOG_WARN, u"movie(%s) : the decoder did not stop within %d ms; left to end on its own\n",
               platform::FromUtf8(c.path), kJoinTimeoutMs);
      thread_.detach();
    }
  }
  std::unique_ptr<SoundBuffer> sound = std::move(c.sound);
  lock.unlock();
  if (sound) sound->stop();
}

void MovieSession::start() {
  try {
    thread_ = std::thread(&MovieSession::run, core_);
  } catch (const std::system_error&) {
    LogWrite(LOG_WARN, u"failed to open movie(%s) : no thread\n", platform::FromUtf8(core_->path));
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->endLocked(kFailed);
  }
}

MovieSession::State MovieSession::state() {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->state;
}

bool MovieSession::takeEnd() {
  std::lock_guard<std::mutex> lock(core_->mutex);
  if (core_->state != kEnded || core_->endTaken) return false;
  core_->endTaken = true;
  return true;
}

void MovieSession::setVolume(int32_t volume) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  if (core_->sound) core_->sound->setVolume(volume);
}

void MovieSession::place(int32_t x, int32_t y, int32_t w, int32_t h) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->x = x;
  core_->y = y;
  core_->w = w;
  core_->h = h;
}

bool MovieSession::takeFrame(MovieFrame* frame) {
  Core& c = *core_;
  std::lock_guard<std::mutex> lock(c.mutex);
  const int64_t clock = c.clockLocked();
  bool due = false;
  platform::MovieVideoFrame newest;
  if (!c.started) {
    // The first picture, whatever its time: the clock waits for it.
    if (!c.ready || c.firstTaken || c.frames.empty()) return false;
    newest = std::move(c.frames.front());
    c.frames.pop_front();
    c.firstTaken = due = true;
  }
  while (c.started && !c.frames.empty() && c.frames.front().timeMs <= clock) {
    c.recycleLocked(std::move(newest.bgra));  // late: never shown
    newest = std::move(c.frames.front());
    c.frames.pop_front();
    due = true;
  }
  if (!due) return false;
  ++c.stats.presented;
  const int64_t next = c.frames.empty() ? newest.timeMs + newest.durationMs : c.frames.front().timeMs;
  if (clock < next) ++c.stats.onTime;
  LogWrite(LOG_TRACE, u"movie picture of %I64d ms shown at %I64d ms\n", newest.timeMs, clock);
  frame->bgra = std::move(newest.bgra);
  frame->width = c.width;
  frame->height = c.height;
  frame->revision = ++pictureRevision;
  frame->x = c.x;
  frame->y = c.y;
  frame->w = c.w;
  frame->h = c.h;
  if (c.frames.size() <= c.capacity / 2) c.wake.notify_all();  // room for the next pictures
  return true;
}

void MovieSession::pictureShown() {
  Core& c = *core_;
  std::lock_guard<std::mutex> lock(c.mutex);
  if (!c.firstTaken || c.started || c.quit) return;
  c.startPlayingLocked();
  c.wake.notify_all();
}

void MovieSession::screenTurn() {
  Core& c = *core_;
  std::lock_guard<std::mutex> lock(c.mutex);
  if (c.ready && !c.firstTaken && !c.started && c.firstTurnMicros < 0) {
    c.firstTurnMicros = platform::MonotonicMicroseconds();
  }
}

void MovieSession::giveBack(std::vector<uint8_t> pixels) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->recycleLocked(std::move(pixels));
}

std::vector<std::vector<uint8_t>> MovieSession::takePixels() {
  Core& c = *core_;
  std::lock_guard<std::mutex> lock(c.mutex);
  std::vector<std::vector<uint8_t>> pixels;
  size_t bytes = 0;
  const auto keep = [&](std::vector<uint8_t>& p) {
    if (p.empty() || pixels.size() >= c.capacity || bytes + p.size() > kMaxQueuedBytes) return;
    bytes += p.size();
    pixels.push_back(std::move(p));
  };
  for (std::vector<uint8_t>& p : c.spare) keep(p);
  for (platform::MovieVideoFrame& f : c.frames) keep(f.bgra);
  c.spare.clear();
  c.frames.clear();
  return pixels;
}

int64_t MovieSession::nextFrameInMs() {
  Core& c = *core_;
  std::lock_guard<std::mutex> lock(c.mutex);
  if (!c.started) return c.ready && !c.firstTaken && !c.frames.empty() ? 0 : -1;
  if (c.frames.empty()) return -1;
  return std::max<int64_t>(c.frames.front().timeMs - c.clockLocked(), 0);
}

int64_t MovieSession::clockMs() {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->clockLocked();
}

MovieSession::Stats MovieSession::stats() {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->stats;
}

bool MovieSession::waitIdle(int32_t timeoutMs) {
  Core& c = *core_;
  std::unique_lock<std::mutex> lock(c.mutex);
  const uint64_t asked = ++c.idleAsked;
  c.wake.notify_all();
  return c.idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return c.idleSeen >= asked || c.state == kEnded || c.state == kFailed;
  });
}

// ------------------------------------------------------- decoder thread

void MovieSession::run(const std::shared_ptr<Core>& core) {
  Core& c = *core;
  const auto leave = [&c](std::unique_lock<std::mutex>& lock) {
    if (!lock.owns_lock()) lock.lock();
    c.stats.threadCpuMicros = platform::ThreadCpuMicroseconds();
    c.done = true;
    c.finished.notify_all();
  };
  std::unique_lock<std::mutex> lock(c.mutex, std::defer_lock);
  std::string error;
  {
    std::unique_lock<std::mutex> peek(c.mutex);
    if (c.quit) return leave(peek);
  }
  const int32_t rate = c.sound && c.ringFrames > 0 ? c.audioRate : 0;
  c.decoder = c.makeDecoder ? c.makeDecoder(&error) : nullptr;
  if (!c.decoder || !c.decoder->open(c.path, rate, &c.stop, &error)) {
    lock.lock();
    if (!c.quit) {
      LogWrite(LOG_WARN, u"failed to open movie(%s) : %s\n", platform::FromUtf8(c.path), platform::FromUtf8(error));
      c.endLocked(kFailed);
    }
    return leave(lock);
  }
  lock.lock();
  c.width = c.decoder->width();
  c.height = c.decoder->height();
  c.withSound = rate != 0 && c.decoder->hasAudio();
  const size_t frameBytes = std::max<size_t>(size_t(c.width) * size_t(c.height) * 4, 1);
  c.capacity = std::clamp<size_t>(kMaxQueuedBytes / frameBytes, 2, kMaxFrames);
  // Pixels of an earlier movie serve this one when they have its size.
  std::erase_if(c.spare, [frameBytes](const std::vector<uint8_t>& p) { return p.size() != frameBytes; });
  if (c.spare.size() > c.capacity) c.spare.resize(c.capacity);
  bool damageTold = false;
  while (!c.quit) {
    const int64_t clock = c.clockLocked();
    c.clearPlayedLocked();
    c.writePendingLocked();
    // The newest due picture stays for the screen to take.
    while (c.frames.size() >= 2 && c.frames[1].timeMs <= clock) {
      c.recycleLocked(std::move(c.frames.front().bgra));
      c.frames.pop_front();
    }
    const bool soundOver = !c.withSound || (c.soundDone && !c.havePending);
    if (c.started && c.videoDone && soundOver && clock >= c.endMs) {
      c.endLocked(kEnded);
      break;
    }
    const int64_t aheadMs = c.framesToMs(c.written - c.played);
    if (aheadMs < kSoundLowMs) c.soundRefill = true;
    if (aheadMs >= kSoundAheadMs) c.soundRefill = false;
    if (c.frames.size() <= c.capacity / 2) c.pictureRefill = true;
    if (c.frames.size() >= c.capacity) c.pictureRefill = false;
    const bool wantSound = c.withSound && !c.soundDone && !c.havePending && !c.soundWaits && c.soundRefill;
    const bool wantPicture = !c.videoDone && !c.pictureWaits && c.pictureRefill;
    if (!wantSound && !wantPicture) {
      // Far enough ahead: play (once the screen shows the first picture),
      // and look again when the clock has moved or the screen took
      // pictures.
      if (!c.ready) c.readyLocked();
      if (!c.started && c.videoDone && c.frames.empty() && !c.firstTaken) c.startPlayingLocked();
      if (!c.started && !c.firstTaken && c.firstTurnMicros >= 0 &&
          platform::MonotonicMicroseconds() - c.firstTurnMicros >= kFirstPictureWaitMs * 1000) {
        LogWrite(LOG_TRACE, u"movie(%s) : the screen has shown nothing for %d ms; the clock starts\n",
                 platform::FromUtf8(c.path), kFirstPictureWaitMs);
        c.startPlayingLocked();
      }
      c.idleSeen = c.idleAsked;
      c.idle.notify_all();
      c.wake.wait_for(lock, std::chrono::milliseconds(c.idleMsLocked(clock)));
      continue;
    }
    platform::MovieVideoFrame frame;
    platform::MovieSoundBlock block;
    if (!wantSound && !c.spare.empty()) {
      frame.bgra = std::move(c.spare.back());
      c.spare.pop_back();
    }
    lock.unlock();
    const platform::MovieDecoder::Result result =
        wantSound ? c.decoder->nextSound(&block, &error) : c.decoder->nextPicture(&frame, &error);
    if (!damageTold && !c.decoder->damage().empty()) {
      damageTold = true;
      LogWrite(LOG_WARN, u"movie(%s) is damaged : %s\n", platform::FromUtf8(c.path),
               platform::FromUtf8(c.decoder->damage()));
    }
    lock.lock();
    if (c.quit) break;
    switch (result) {
      case platform::MovieDecoder::kVideo:
        ++c.stats.decoded;
        c.soundWaits = false;
        c.endMs = std::max(c.endMs, frame.timeMs + frame.durationMs);
        if (frame.bgra.size() == size_t(c.width) * size_t(c.height) * 4) c.frames.push_back(std::move(frame));
        break;
      case platform::MovieDecoder::kAudio:
        c.pictureWaits = false;
        c.endMs = std::max(c.endMs, c.framesToMs(block.firstFrame + int64_t(block.samples.size() / 2)));
        c.pending = std::move(block);
        c.havePending = !c.pending.samples.empty();
        c.writePendingLocked();
        break;
      case platform::MovieDecoder::kEnd:
        (wantSound ? c.soundDone : c.videoDone) = true;
        break;
      case platform::MovieDecoder::kFull:
        (wantSound ? c.soundWaits : c.pictureWaits) = true;
        // One of the two always has room; both waiting means neither can.
        if (c.soundWaits && c.pictureWaits) c.soundWaits = c.pictureWaits = false;
        break;
      case platform::MovieDecoder::kError:
        LogWrite(LOG_WARN, u"failed to decode movie(%s) : %s\n", platform::FromUtf8(c.path),
                 platform::FromUtf8(error));
        c.endLocked(kFailed);
        return leave(lock);
    }
    // The pixels lent for a picture that did not come.
    if (result != platform::MovieDecoder::kVideo) c.recycleLocked(std::move(frame.bgra));
  }
  leave(lock);
}

int64_t MovieSession::Core::clockLocked() {
  if (!started) return 0;
  if (!withSound) return (platform::MonotonicMicroseconds() - startMicros) / 1000;
  uint32_t play = 0;
  if (sound && sound->getCurrentPosition(&play, nullptr) == kBufferOk) {
    const auto ringBytes = static_cast<uint32_t>(ringFrames * kBytesPerFrame);
    played += ((play + ringBytes - lastCursor) % ringBytes) / kBytesPerFrame;
    lastCursor = play;
  }
  return framesToMs(played);
}

void MovieSession::Core::putLocked(int64_t at, int64_t count, const int16_t* from) {
  void* first = nullptr;
  void* second = nullptr;
  uint32_t firstBytes = 0, secondBytes = 0;
  const auto offset = static_cast<uint32_t>((at % ringFrames) * kBytesPerFrame);
  const auto bytes = static_cast<uint32_t>(count * kBytesPerFrame);
  if (count < 1 || sound->lock(offset, bytes, &first, &firstBytes, &second, &secondBytes, 0) != kBufferOk) return;
  if (from) {
    const auto* source = reinterpret_cast<const uint8_t*>(from);
    std::memcpy(first, source, firstBytes);
    if (second) std::memcpy(second, source + firstBytes, secondBytes);
  } else {
    std::memset(first, 0, firstBytes);
    if (second) std::memset(second, 0, secondBytes);
  }
  sound->unlock(first, firstBytes, second, secondBytes);
}

void MovieSession::Core::clearPlayedLocked() {
  if (!withSound || !sound) return;
  // What the cursor passed is silent before it comes round again.
  const int64_t from = std::max(cleared, played - ringFrames);
  if (played > from) putLocked(from, played - from, nullptr);
  cleared = std::max(cleared, played);
}

void MovieSession::Core::writePendingLocked() {
  if (!havePending || !sound) return;
  const int64_t count = int64_t(pending.samples.size() / 2);
  const int64_t first = pending.firstFrame;
  // Never behind the cursor (the mixer may be reading there), never a turn
  // of the ring ahead of it.
  const int64_t low = started ? played + 1 : 0;
  const int64_t high = played + ringFrames - std::min(kRingMarginMs * audioRate / 1000, ringFrames / 4);
  const int64_t from = std::max(first, low);
  const int64_t to = std::min(first + count, high);
  if (to > from) {
    putLocked(from, to - from, pending.samples.data() + (from - first) * 2);
    written = std::max(written, to);
  }
  // What came too late is dropped; what does not fit yet waits.
  const int64_t used = std::clamp<int64_t>(std::max(to, from) - first, 0, count);
  if (from >= first + count) {
    havePending = false;
    written = std::max(written, first + count);
  } else if (used > 0 && to > from) {
    pending.samples.erase(pending.samples.begin(), pending.samples.begin() + ptrdiff_t(used) * 2);
    pending.firstFrame += used;
    havePending = !pending.samples.empty();
  }
}

int64_t MovieSession::Core::idleMsLocked(int64_t clock) const {
  int64_t ms = kMaxIdleMs;
  if (havePending) ms = kPendingPollMs;
  if (withSound && !soundDone && !havePending && !soundWaits) {
    ms = std::min(ms, framesToMs(written - played) - kSoundLowMs);
  }
  const bool soundOver = !withSound || (soundDone && !havePending);
  if (videoDone && soundOver) ms = std::min(ms, endMs - clock);
  return std::max<int64_t>(ms, 1);
}

void MovieSession::Core::readyLocked() {
  ready = true;
  if (state == kOpening) state = kRunning;
}

void MovieSession::Core::startPlayingLocked() {
  started = true;
  startMicros = platform::MonotonicMicroseconds();
  if (withSound) {
    sound->setCurrentPosition(0);
    lastCursor = 0;
    sound->play(true);
  }
}

void MovieSession::Core::recycleLocked(std::vector<uint8_t>&& pixels) {
  if (pixels.empty() || spare.size() >= capacity) return;
  // Before the file is open the size is not known yet.
  if (width > 0 && pixels.size() != size_t(width) * size_t(height) * 4) return;
  spare.push_back(std::move(pixels));
}

void MovieSession::Core::endLocked(State to) {
  state = to;
  if (sound) sound->stop();
  idle.notify_all();
  if (notify && !quit) notify(id);
}
