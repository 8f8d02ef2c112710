// The mixer device: the output opened in the chosen format, the silent
// timer buffer whose cursor counts the output played, and the worker
// threads' steps over the stream channels.
#include "sound/ut_sound_device_dsound.h"

#include <chrono>

#include "sound/ds_sfx.h"
#include "sound/ds_stream_channel.h"
#include "sound/sound_log.h"
#include "sound/ut_sound_system.h"

namespace {

UTSoundDeviceDSound::OutputFactory g_outputFactory = nullptr;
bool g_runThreads = true;

constexpr int32_t kTimerKind = 1;
constexpr int32_t kDecoderKind = 2;
constexpr int32_t kOpenAttempts = 5;
constexpr int32_t kPlaying = 3;

std::unique_ptr<platform::AudioDevice> MakeOutput() {
  return g_outputFactory ? g_outputFactory() : platform::CreateSdlAudioDevice();
}

}  // namespace

void UTSoundDeviceDSound::setOutputForTests(OutputFactory factory, bool runThreads) {
  g_outputFactory = factory;
  g_runThreads = runThreads;
}

UTSoundDeviceDSound::UTSoundDeviceDSound(UTSoundSystem& system) : system_(system) {}

UTSoundDeviceDSound::~UTSoundDeviceDSound() { stop(true); }

int32_t UTSoundDeviceDSound::init(int32_t* count, std::array<std::u16string, 8>* names) {
  static bool listed = false;
  static std::array<std::u16string, 8> outputs;
  static int32_t outputCount = 0;
  UTLog(4, u"UTSoundDeviceDSound::init()\n");
  if (!listed) {
    listed = true;
    for (std::u16string name : MakeOutput()->listOutputs()) {
      if (outputCount == static_cast<int32_t>(outputs.size())) break;
      if (name.size() > 99) name.resize(99);
      UTLog(4, u"enum device [%s : %s]\n", name, u"(null)");
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
    UTLog(4, u"failed to open the sound output (%s)\n", std::u16string(error.begin(), error.end()));
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
  if (g_runThreads) startWorkers();
  lastCursor_ = 0;
  timer_->play(true);
  return 0;
}

int32_t UTSoundDeviceDSound::stop(bool full) {
  if (!full) {
    bool running = false;
    for (Worker* worker : {&decoderWorker_, &timerWorker_}) {
      std::lock_guard<std::mutex> hold(worker->mutex);
      if (!worker->running) continue;
      running = true;
      worker->quit = true;
      worker->wake.notify_all();
    }
    return running ? 0 : -2;
  }
  joinWorker(decoderWorker_);
  joinWorker(timerWorker_);
  timer_.reset();
  if (output_) output_->close();
  output_.reset();
  mixer_.reset();
  return 0;
}

int32_t UTSoundDeviceDSound::createSfxTone(UTDataSource& decoder, std::unique_ptr<DSSfxTone>* out) {
  if (!mixer_) return 103;
  return DSSfxTone::create(*mixer_, decoder, out);
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
    UTLog(1, u"InternalThread_timerBody : m_pIDS_timer is NULL\n");
    std::lock_guard<std::mutex> hold(timerWorker_.mutex);
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
      UTLog(8, u"timerCallback : Skip\n");
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
  for (auto [worker, kind] : {std::pair{&timerWorker_, kTimerKind}, std::pair{&decoderWorker_, kDecoderKind}}) {
    {
      std::lock_guard<std::mutex> hold(worker->mutex);
      worker->quit = false;
      worker->running = true;
    }
    worker->thread = std::thread([this, worker = worker, kind = kind] { runWorker(*worker, kind); });
  }
}

void UTSoundDeviceDSound::runWorker(Worker& worker, int32_t kind) {
  UTLog(4, u"InternalThread: start\n");
  const auto period = std::chrono::milliseconds(kind == kTimerKind ? 70 : 120);
  std::unique_lock<std::mutex> hold(worker.mutex);
  for (;;) {
    worker.wake.wait_for(hold, period, [&] { return worker.quit; });
    if (worker.quit) break;
    hold.unlock();
    if (kind == kTimerKind) {
      timerStep();
    } else {
      decoderStep();
    }
    hold.lock();
  }
  UTLog(4, u"InternalThread: WM_QUIT\n");
  UTLog(4, u"InternalThread: leave\n");
  worker.running = false;
}

void UTSoundDeviceDSound::joinWorker(Worker& worker) {
  if (!worker.thread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(worker.mutex);
    worker.quit = true;
  }
  worker.wake.notify_all();
  worker.thread.join();
}
