// The mixer device: the output opened in the chosen format, the silent
// timer buffer whose cursor counts the output played, and the worker
// threads' steps over the stream channels.
#include "sound/ut_sound_device_dsound.h"

#include <chrono>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/utf8.h"
#include "sound/ds_sfx.h"
#include "sound/ds_stream_channel.h"
#include "sound/sound_log.h"
#include "sound/ut_sound_system.h"

namespace {

UTSoundDeviceDSound::OutputFactory g_outputFactory = nullptr;
bool g_runThreads = true;
// Worker starts left until the one that fails; 0: none fails.
int32_t g_threadStartsUntilFailure = 0;

constexpr int32_t kTimerKind = 1;
constexpr int32_t kDecoderKind = 2;
constexpr int32_t kOpenAttempts = 5;
constexpr int32_t kPlaying = 3;
// How long nothing but the timer buffer plays before the output rests.
constexpr int64_t kIdleMicros = 1000000;

int64_t NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

template <class F>
std::thread StartThread(F&& body) {
  if (g_threadStartsUntilFailure > 0 && --g_threadStartsUntilFailure == 0) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "refused for a test");
  }
  return std::thread(std::forward<F>(body));
}

std::unique_ptr<platform::AudioDevice> MakeOutput() {
  return g_outputFactory ? g_outputFactory() : platform::CreateSdlAudioDevice();
}

}  // namespace

void UTSoundDeviceDSound::setOutputForTests(OutputFactory factory, bool runThreads) {
  g_outputFactory = factory;
  g_runThreads = runThreads;
}

void UTSoundDeviceDSound::failThreadStartForTests(int32_t n) { g_threadStartsUntilFailure = n; }

UTSoundDeviceDSound::UTSoundDeviceDSound(UTSoundSystem& system) : system_(system) {}

UTSoundDeviceDSound::~UTSoundDeviceDSound() { stop(true); }

int32_t UTSoundDeviceDSound::init(int32_t* count, std::array<std::u16string, 8>* names) {
  static bool listed = false;
  static std::array<std::u16string, 8> outputs;
  static int32_t outputCount = 0;
  UTLog(kUTProgress, u"UTSoundDeviceDSound::init()\n");
  if (!listed) {
    listed = true;
    for (std::u16string name : MakeOutput()->listOutputs()) {
      if (outputCount == static_cast<int32_t>(outputs.size())) break;
      if (name.size() > 99) name.resize(99);
      UTLog(kUTProgress, u"enum device [%s : %s]\n", name, u"(null)");
      outputs[static_cast<size_t>(outputCount++)] = name;
    }
  }
  *count = outputCount;
  *names = outputs;
  return 0;
}

int32_t UTSoundDeviceDSound::start(int32_t, int32_t format, void*) {
  if (output_ || mixer_) stop(true);
  static constexpr int32_t kRates[3] = {11025, 22050, 44100};
  const int32_t channels = (format & 1) + 1;
  const int32_t rate = kRates[(format / 2) % 3];
  mixer_ = std::make_unique<Mixer>(rate, channels);

  // Every output here is the system's default one (the list's other names
  // are offered but not opened by name).
  output_ = MakeOutput();
  std::string error;
  bool opened = false;
  for (int32_t attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    opened = output_->open(rate, channels, &Mixer::AudioCallback, mixer_.get(), &error);
  }
  if (!opened) {
    UTLog(kUTFailure, u"failed to open the sound output (%s)\n", std::u16string(error.begin(), error.end()));
    stop(true);
    return 103;
  }

  // Two seconds of silence, looping: its cursor is the library's clock.
  bytesPerFrame_ = channels * 2;
  timerBytes_ = static_cast<uint32_t>(channels * rate * 4);
  int32_t result = mixer_->createBuffer({rate, channels, 16}, timerBytes_, &timer_);
  if (result == kBufferOk) result = timer_->setVolume(kBufferVolumeMin);
  if (result != kBufferOk) {
    LogBufferError(result);
    stop(true);
    return 103;
  }
  lastCursor_ = 0;
  system_.clock.reset(rate);
  mixer_->setPaced(output_->realTime());
  mixer_->setPlayListener(&UTSoundDeviceDSound::OnPlay, this);
  if (g_runThreads) {
    try {
      startWorkers();
    } catch (const std::system_error& e) {
      UTLog(kUTFailure, u"failed to start the sound worker threads (%s)\n", platform::FromUtf8(e.what()));
      stop(true);
      return 103;
    }
  }
  lastCursor_ = 0;
  timer_->play(true);
  return 0;
}

int32_t UTSoundDeviceDSound::stop(bool full) {
  if (!full) {
    bool running = false;
    std::lock_guard<std::mutex> hold(workerMutex_);
    for (Worker* worker : {&decoderWorker_, &timerWorker_}) {
      if (!worker->running) continue;
      running = true;
      worker->quit = true;
      worker->wake.notify_all();
    }
    return running ? 0 : -2;
  }
  // No play reaches this device any more, then the threads go.
  if (mixer_) mixer_->setPlayListener(nullptr, nullptr);
  joinWorker(decoderWorker_);
  joinWorker(timerWorker_);
  timer_.reset();
  if (output_) output_->close();
  output_.reset();
  mixer_.reset();
  return 0;
}

int32_t UTSoundDeviceDSound::createSfxTone(DecodedTone&& decoded, std::unique_ptr<DSSfxTone>* out) {
  if (!mixer_) return 103;
  return DSSfxTone::create(*mixer_, std::move(decoded), out);
}

int32_t UTSoundDeviceDSound::createSfxChannel(std::unique_ptr<DSSfxChannel>* out) {
  if (!mixer_) return 103;
  *out = std::make_unique<DSSfxChannel>(*mixer_);
  return 0;
}

int32_t UTSoundDeviceDSound::createStreamChannel(std::unique_ptr<DSStreamChannel>* out,
                                                 std::unique_ptr<UTDataSource> decoder,
                                                 const std::vector<SoundLoopRegion>& options) {
  if (!mixer_) return 103;
  *out = std::make_unique<DSStreamChannel>(*mixer_, system_.clock, std::move(decoder), options);
  return 0;
}

void UTSoundDeviceDSound::timerStep() {
  if (!timer_) {
    UTLog(kUTFatal, u"InternalThread_timerBody : m_pIDS_timer is NULL\n");
    std::lock_guard<std::mutex> hold(workerMutex_);
    timerWorker_.quit = true;
    return;
  }
  uint32_t cursor = 0;
  timer_->getCurrentPosition(&cursor, nullptr);
  const uint32_t played = (timerBytes_ - lastCursor_ + cursor) % timerBytes_;
  // The clock is atomic: advancing it needs no system lock, so a flat
  // function that holds the lock while it stops this thread cannot wait on
  // it for ever.
  system_.clock.advance(played / static_cast<uint32_t>(bytesPerFrame_));
  for (int32_t i = 0; i < UTSoundSystem::kStreamChannels; ++i) {
    std::unique_lock<std::mutex> hold(system_.streamMutex[static_cast<size_t>(i)], std::try_to_lock);
    if (!hold.owns_lock()) continue;
    DSStreamChannel* channel = system_.streams[static_cast<size_t>(i)].get();
    if (channel && channel->state() == kPlaying) channel->fadeStep();
  }
  lastCursor_ = cursor;

  // The refill: a busy channel waits for the next step.
  for (int32_t i = 0; i < UTSoundSystem::kStreamChannels; ++i) {
    if (!system_.streamOpen[static_cast<size_t>(i)].load()) continue;
    std::unique_lock<std::mutex> hold(system_.streamMutex[static_cast<size_t>(i)], std::try_to_lock);
    if (!hold.owns_lock()) {
      UTLog(kUTDetail, u"timerCallback : Skip\n");
      continue;
    }
    DSStreamChannel* channel = system_.streams[static_cast<size_t>(i)].get();
    if (channel && channel->state() == kPlaying) channel->control(kTimerKind);
  }
}

void UTSoundDeviceDSound::decoderStep() {
  for (int32_t i = 0; i < UTSoundSystem::kStreamChannels; ++i) {
    if (!system_.streamOpen[static_cast<size_t>(i)].load()) continue;
    std::lock_guard<std::mutex> hold(system_.streamMutex[static_cast<size_t>(i)]);
    DSStreamChannel* channel = system_.streams[static_cast<size_t>(i)].get();
    if (channel && channel->state() == kPlaying) {
      channel->fadeStep();
      channel->control(kDecoderKind);
    }
  }
}

void UTSoundDeviceDSound::startWorkers() {
  joinWorker(decoderWorker_);
  joinWorker(timerWorker_);
  {
    std::lock_guard<std::mutex> hold(workerMutex_);
    awake_ = true;
  }
  lastBusyMicros_ = NowMicros();
  outputSuspended_ = false;
  resumeFailed_ = false;
  for (auto [worker, kind] : {std::pair{&timerWorker_, kTimerKind}, std::pair{&decoderWorker_, kDecoderKind}}) {
    {
      std::lock_guard<std::mutex> hold(workerMutex_);
      worker->quit = false;
      worker->running = true;
    }
    try {
      worker->thread = StartThread([this, worker = worker, kind = kind] { runWorker(*worker, kind); });
    } catch (const std::system_error&) {
      std::lock_guard<std::mutex> hold(workerMutex_);
      worker->running = false;
      throw;
    }
  }
}

void UTSoundDeviceDSound::runWorker(Worker& worker, int32_t kind) {
  UTLog(kUTProgress, u"InternalThread: start\n");
  const auto period = std::chrono::milliseconds(kind == kTimerKind ? 70 : 120);
  std::unique_lock<std::mutex> hold(workerMutex_);
  for (;;) {
    if (awake_) {
      worker.wake.wait_for(hold, period, [&] { return worker.quit; });
    } else {
      // Resting: nothing plays, so nothing is due until a play wakes us.
      worker.wake.wait(hold, [&] { return worker.quit || awake_; });
    }
    if (worker.quit) break;
    if (!awake_) continue;
    ++wakeUps_;
    hold.unlock();
    if (kind == kTimerKind) {
      if (outputSuspended_) resumeOutput();
      timerStep();
      restWhenIdle();
    } else {
      decoderStep();
    }
    hold.lock();
  }
  UTLog(kUTProgress, u"InternalThread: WM_QUIT\n");
  UTLog(kUTProgress, u"InternalThread: leave\n");
  worker.running = false;
}

void UTSoundDeviceDSound::joinWorker(Worker& worker) {
  if (!worker.thread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(workerMutex_);
    worker.quit = true;
  }
  worker.wake.notify_all();
  worker.thread.join();
}

void UTSoundDeviceDSound::OnPlay(void* device) {
  auto* self = static_cast<UTSoundDeviceDSound*>(device);
  std::lock_guard<std::mutex> hold(self->workerMutex_);
  ++self->plays_;
  if (self->awake_) return;
  self->awake_ = true;
  self->timerWorker_.wake.notify_all();
  self->decoderWorker_.wake.notify_all();
}

void UTSoundDeviceDSound::restWhenIdle() {
  uint64_t plays;
  {
    std::lock_guard<std::mutex> hold(workerMutex_);
    plays = plays_;
  }
  const int64_t now = NowMicros();
  if (mixer_->playingBesides(timer_.get())) {
    lastBusyMicros_ = now;
    return;
  }
  if (now - lastBusyMicros_ < kIdleMicros) return;
  {
    // A play since the look above keeps the threads awake; one after this
    // wakes them again at once.
    std::lock_guard<std::mutex> hold(workerMutex_);
    if (plays_ != plays) return;
    awake_ = false;
  }
  output_->suspend();
  outputSuspended_ = true;
  UTLog(kUTDetail, u"nothing plays: the sound output rests\n");
}

void UTSoundDeviceDSound::resumeOutput() {
  std::string error;
  if (!output_->resume(&error)) {
    // Tried again at every step; told once.
    if (!resumeFailed_) UTLog(kUTFailure, u"failed to open the sound output again (%s)\n", platform::FromUtf8(error));
    resumeFailed_ = true;
    return;
  }
  outputSuspended_ = false;
  resumeFailed_ = false;
  lastBusyMicros_ = NowMicros();
}
