// The output device the sound library plays through: our mixer fed to the
// platform's audio output, a silent looping "timer" buffer whose play
// cursor is the library's clock, and the two worker threads (timer every
// 70 ms, decoder every 120 ms) that run fades and keep the stream channels
// filled. Once nothing but the timer buffer has played for a second, the
// output is suspended and both threads wait without a time-out, so an idle
// game costs no wake-ups; the next play of any of the mixer's buffers
// wakes them and the timer thread opens the output again. Made and used
// under the system lock; the steps run on the worker threads (or by hand in
// tests).
#pragma once

#include <array>
#include <atomic>
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
  // The n-th worker thread started from now on (1 the timer's, 2 the
  // decoder's at the next start) fails as a system that refuses a thread
  // makes it fail; 0 lets every one start.
  static void failThreadStartForTests(int32_t n);

  explicit UTSoundDeviceDSound(UTSoundSystem& system);
  // A full stop.
  ~UTSoundDeviceDSound() override;

  // The outputs, listed once per process: entry 0 the default output, at
  // most 8 names of at most 99 characters. Always 0.
  static int32_t init(int32_t* count, std::array<std::u16string, 8>* names);

  int32_t start(int32_t index, int32_t format, void* window) override;
  int32_t stop(bool full) override;
  int32_t createSfxTone(DecodedTone&& decoded, std::unique_ptr<DSSfxTone>* out) override;
  int32_t createSfxChannel(std::unique_ptr<DSSfxChannel>* out) override;
  int32_t createStreamChannel(std::unique_ptr<DSStreamChannel>* out, std::unique_ptr<UTDataSource> decoder,
                              const std::vector<SoundLoopRegion>& options) override;

  // One step of each worker thread.
  void timerStep();
  void decoderStep();

  // How often the worker threads have woken to do a step (either thread).
  uint64_t workerWakeUps() const { return wakeUps_.load(); }

  // Null while stopped.
  Mixer* mixer() override { return mixer_.get(); }
  platform::AudioDevice* output() { return output_.get(); }

 private:
  // One worker thread: its step every period while awake, until asked to
  // quit. The flags are guarded by workerMutex_.
  struct Worker {
    std::thread thread;
    std::condition_variable wake;
    bool quit = false;
    bool running = false;
  };

  // Starts both threads; std::system_error when one cannot be started (the
  // other is then left to joinWorker).
  void startWorkers();
  void runWorker(Worker& worker, int32_t kind);
  void joinWorker(Worker& worker);
  // The mixer's play listener: wakes the threads when they rest.
  static void OnPlay(void* device);
  // The timer thread, after a step: once nothing but the timer buffer has
  // played for a second (and no play came meanwhile), suspends the output
  // and lets both threads rest.
  void restWhenIdle();
  // The timer thread, woken after a rest: opens the output again.
  void resumeOutput();

  UTSoundSystem& system_;
  std::unique_ptr<Mixer> mixer_;
  std::unique_ptr<platform::AudioDevice> output_;
  std::unique_ptr<SoundBuffer> timer_;
  uint32_t timerBytes_ = 0;
  uint32_t lastCursor_ = 0;
  int32_t bytesPerFrame_ = 4;

  std::mutex workerMutex_;
  Worker timerWorker_;
  Worker decoderWorker_;
  bool awake_ = true;   // under workerMutex_: the threads step
  uint64_t plays_ = 0;  // under workerMutex_: plays heard
  std::atomic<uint64_t> wakeUps_{0};
  // The timer thread's: when something besides the timer buffer last
  // played (steady clock, microseconds), whether the output is suspended,
  // whether opening it again has failed since.
  int64_t lastBusyMicros_ = 0;
  bool outputSuspended_ = false;
  bool resumeFailed_ = false;
};
