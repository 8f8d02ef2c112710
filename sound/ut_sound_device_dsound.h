// The output device the sound library plays through: our mixer fed to the
// platform's audio output, a silent looping "timer" buffer whose play
// cursor is the library's clock, and the two worker threads (timer every
// 70 ms, decoder every 120 ms) that run fades and keep the stream channels
// filled. Made and used under the system lock; the steps run on the worker
// threads (or by hand in tests).
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio_device.h"
#include "sound/mixer.h"
#include "sound/ut_sound_device.h"

class UTSoundSystem;

class UTSoundDeviceDSound final : public UTSoundDevice {
 public:
  // What start opens (the SDL output unless a test says otherwise) and
  // whether it runs the worker threads; tests without threads call
  // timerStep and decoderStep themselves.
  using OutputFactory = std::unique_ptr<platform::AudioDevice> (*)();
  static void setOutputForTests(OutputFactory factory, bool runThreads);

  explicit UTSoundDeviceDSound(UTSoundSystem& system);
  // A full stop.
  ~UTSoundDeviceDSound() override;

  // The outputs, listed once per process: entry 0 the default output, at
  // most 8 names of at most 99 characters. Always 0.
  static int32_t init(int32_t* count, std::array<std::u16string, 8>* names);

  int32_t start(int32_t index, int32_t format, void* window) override;
  int32_t stop(bool full) override;
  int32_t createSfxTone(UTDataSource& decoder, std::unique_ptr<DSSfxTone>* out) override;
  int32_t createSfxChannel(std::unique_ptr<DSSfxChannel>* out) override;
  int32_t createStreamChannel(std::unique_ptr<DSStreamChannel>* out, std::unique_ptr<UTDataSource> decoder,
                              const std::vector<SoundLoopRegion>& options) override;

  // One step of each worker thread.
  void timerStep();
  void decoderStep();

  // Null while stopped.
  Mixer* mixer() { return mixer_.get(); }
  platform::AudioDevice* output() { return output_.get(); }

 private:
  // One worker thread: its step every periodMs until asked to quit.
  struct Worker {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    bool running = false;  // under mutex
  };

  void startWorkers();
  void runWorker(Worker& worker, int32_t kind);
  void joinWorker(Worker& worker);

  UTSoundSystem& system_;
  std::unique_ptr<Mixer> mixer_;
  std::unique_ptr<platform::AudioDevice> output_;
  std::unique_ptr<SoundBuffer> timer_;
  uint32_t timerBytes_ = 0;
  uint32_t lastCursor_ = 0;
  int32_t bytesPerFrame_ = 4;
  Worker timerWorker_;
  Worker decoderWorker_;
};
