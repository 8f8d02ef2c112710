// The mixer's secondary buffers: circular PCM with a play cursor, two-region
// locks, play/stop/position/status, volume, pan and frequency, behaving as
// the sound channels expect of a DirectSound buffer (cursors in bytes,
// wrap-around, status bits, out-of-range values refused). Any thread: each
// call takes the buffer's lock, which render holds while mixing the buffer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Result of every buffer call. Each failure stands for the DirectSound error
// the channels report for it.
enum SoundBufferResult : int32_t {
  kBufferOk = 0,
  kBufferInvalidParam = 1,  // DSERR_INVALIDPARAM: a value outside its range, a bad pointer
  kBufferInvalidCall = 2,   // DSERR_INVALIDCALL: not now (a second lock, an unlock without a lock)
  kBufferBadFormat = 3,     // DSERR_BADFORMAT: a PCM format the mixer cannot play
  kBufferOutOfMemory = 4,   // DSERR_OUTOFMEMORY
};

// getStatus bits (DirectSound's values; a buffer is never lost).
enum : uint32_t {
  kBufferStatusPlaying = 0x1,
  kBufferStatusLooping = 0x4,  // only together with kBufferStatusPlaying
};

// lock flags.
enum : uint32_t {
  kLockFromWriteCursor = 0x1,  // the offset argument is ignored
  kLockEntireBuffer = 0x2,     // the byte count argument is ignored
};

// Value ranges. Volume and pan are in hundredths of a decibel; -10000 is
// silence.
inline constexpr int32_t kBufferVolumeMin = -10000;
inline constexpr int32_t kBufferVolumeMax = 0;
inline constexpr int32_t kBufferPanLeft = -10000;
inline constexpr int32_t kBufferPanRight = 10000;
inline constexpr uint32_t kBufferFrequencyOriginal = 0;  // the format's own rate
inline constexpr uint32_t kBufferFrequencyMin = 100;
inline constexpr uint32_t kBufferFrequencyMax = 200000;
// Largest buffer in bytes.
inline constexpr uint32_t kBufferMaxBytes = 0x0FFFFFFF;

// Interleaved PCM: 8-bit unsigned or 16-bit signed little-endian samples,
// 1 or 2 channels, 100..200000 frames per second.
struct SoundBufferFormat {
  int32_t sampleRate = 0;
  int32_t channels = 0;
  int32_t bitsPerSample = 0;

  int32_t blockAlign() const { return channels * (bitsPerSample / 8); }
  bool isPlayable() const;
};

// Shared by the buffers and the mixer's render, nobody else.
namespace mixer_detail {

// The bytes of a buffer and its duplicates, and the lock that guards them
// together with the play state of every buffer that shares them.
struct SharedPcm {
  SharedPcm(const SoundBufferFormat& f, uint32_t size) : format(f), frames(size / uint32_t(f.blockAlign())) {}

  const SoundBufferFormat format;
  const uint32_t frames;  // >= 1; the size is frames x block align
  std::mutex mutex;
  std::vector<uint8_t> bytes;  // guarded by mutex
};

// One buffer's state; guarded by pcm->mutex except where noted.
struct Voice {
  std::shared_ptr<SharedPcm> pcm;  // set once
  // Play position in frames, 32.32 fixed point; always below frames << 32.
  uint64_t position = 0;
  int32_t volume = 0;
  int32_t pan = 0;
  uint32_t frequency = kBufferFrequencyOriginal;
  bool playing = false;
  bool looping = false;
  // Set once by the release: render never touches the bytes again.
  bool released = false;
  // The outstanding lock (the buffer's owner writes the staging copy).
  bool locked = false;
  uint32_t lockOffset = 0;
  uint32_t lockFirst = 0;
  uint32_t lockSecond = 0;
  // A copy of `playing` that render reads without the lock to pass over idle
  // buffers: a stale false delays a start by one block, a stale true only
  // costs render one look under the lock.
  std::atomic<bool> active{false};
  // The render (VoiceList::renderSerial) that last mixed the buffer, where
  // its cursor stood when that render reached it, how many of the render's
  // frames came before that, and its step then (frames per output frame,
  // 32.32).
  uint64_t mixedSerial = 0;
  uint64_t blockStart = 0;
  int32_t blockOffset = 0;
  uint64_t blockStep = 0;
};

// The steady clock in microseconds.
int64_t SteadyMicros();

// The mixer's live buffers.
struct VoiceList {
  // Taken by creation and release; render only ever tries it.
  std::mutex mutex;
  std::vector<std::shared_ptr<Voice>> voices;  // guarded by mutex
  std::atomic<uint64_t> version{0};            // bumped after every change of voices

  // A mixer fed at the output's pace: the latest render, when it began
  // (SteadyMicros), its frames and rate, numbered by renderSerial, which is
  // odd while a render writes the other three.
  std::atomic<bool> paced{false};
  std::atomic<int64_t> renderMicros{0};
  std::atomic<int32_t> renderFrames{0};
  std::atomic<int32_t> renderRate{0};
  std::atomic<uint64_t> renderSerial{0};

  // Told after every play, on the playing thread; guarded by listenerMutex.
  std::mutex listenerMutex;
  void (*playListener)(void* context) = nullptr;
  void* playListenerContext = nullptr;
};

}  // namespace mixer_detail

// Made by Mixer::createBuffer and Mixer::duplicate; the caller owns it.
class SoundBuffer {
 public:
  // Releases the buffer: once the audio callback has left it (at most one
  // block) it is never read again; its bytes live on while a duplicate does.
  ~SoundBuffer();
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  const SoundBufferFormat& format() const { return voice_->pcm->format; }
  uint32_t size() const { return voice_->pcm->frames * uint32_t(format().blockAlign()); }

  // Locks `bytes` bytes (1..size) from `offset` (below the size) for
  // writing: *first gets the part up to the end of the buffer and
  // *second the rest from its start (null with 0 bytes when the range does
  // not wrap, or when second is null: then the part is cut at the end). The
  // pointers show the buffer's current bytes and stay valid until unlock.
  // One lock at a time.
  int32_t lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* firstBytes, void** second,
               uint32_t* secondBytes, uint32_t flags = 0);
  // Stores the first `firstBytes` and `secondBytes` bytes of the two parts
  // that lock gave (at most what it gave) and ends the lock.
  int32_t unlock(void* first, uint32_t firstBytes, void* second, uint32_t secondBytes);

  // Plays from the current position, wrapping at the end when looping, else
  // stopping there with the cursor back at 0. Playing again only changes the
  // looping flag. The mixer's play listener hears of it.
  int32_t play(bool looping);
  // Stops; the cursor stays where it is.
  int32_t stop();
  // Moves the play cursor (bytes below the size; rounded down to a frame).
  int32_t setCurrentPosition(uint32_t offset);
  // The play cursor and the write cursor (where writing is safe: one frame
  // past the next one the mixer reads while playing, as the mixer reads the
  // neighbour to interpolate). Either pointer may be null. The play cursor
  // is the next frame the mixer reads, except in a mixer fed at the output's
  // pace, where it moves through the block the mixer last rendered as the
  // block's time passes (so it does not jump a whole block at a time), never
  // past the mixer's own position.
  int32_t getCurrentPosition(uint32_t* play, uint32_t* write) const;
  int32_t getStatus(uint32_t* status) const;

  // kBufferVolumeMin..kBufferVolumeMax.
  int32_t setVolume(int32_t volume);
  int32_t getVolume(int32_t* volume) const;
  // kBufferPanLeft..kBufferPanRight: the other side is attenuated by |pan|.
  int32_t setPan(int32_t pan);
  int32_t getPan(int32_t* pan) const;
  // kBufferFrequencyOriginal or kBufferFrequencyMin..kBufferFrequencyMax Hz.
  int32_t setFrequency(uint32_t frequency);
  // The rate it plays at (the format's own rate after kBufferFrequencyOriginal).
  int32_t getFrequency(uint32_t* frequency) const;

  // A mixer buffer is never lost: nothing to restore.
  int32_t restore() { return kBufferOk; }

 private:
  friend class Mixer;
  SoundBuffer(std::shared_ptr<mixer_detail::VoiceList> list, std::shared_ptr<mixer_detail::Voice> voice);

  // The play cursor in 32.32 frames (see getCurrentPosition); under the lock.
  uint64_t pacedPosition() const;

  std::shared_ptr<mixer_detail::VoiceList> list_;
  std::shared_ptr<mixer_detail::Voice> voice_;
  // What lock hands out; written by the lock holder until unlock.
  std::vector<uint8_t> staging_;
};
