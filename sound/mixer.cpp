// The mixer: buffer creation and duplication (any thread), and render (the
// audio thread), which holds one buffer's lock at a time while it mixes that
// buffer and never waits for anything else: the buffer list and the capture
// hook are only tried. render must not log or wait.
#include "sound/mixer.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "app/log.h"

using mixer_detail::SharedPcm;
using mixer_detail::Voice;

namespace {

constexpr uint64_t kOneFrame = uint64_t(1) << 32;
constexpr uint64_t kFractionMask = kOneFrame - 1;
constexpr float kFractionScale = 1.0f / 4294967296.0f;

// The gain of an attenuation in hundredths of a decibel; -10000 and below is
// silence, as DirectSound makes it (10^-5 would still leave +-1 steps in a
// loud mix).
double Gain(int32_t attenuation) {
  if (attenuation <= kBufferVolumeMin) return 0.0;
  return std::pow(10.0, double(attenuation) / 2000.0);
}

// Rounds half away from zero and saturates to 16 bits.
int16_t Saturate(float value) {
  value = std::min(std::max(value, -32768.0f), 32767.0f);
  return int16_t(int32_t(value < 0.0f ? value - 0.5f : value + 0.5f));
}

template <int kBits, int kChannels>
inline void ReadFrame(const uint8_t* data, uint32_t frame, float* left, float* right) {
  if constexpr (kBits == 8) {
    const uint8_t* p = data + size_t(frame) * kChannels;
    *left = float((int32_t(p[0]) - 128) * 256);
    *right = kChannels == 2 ? float((int32_t(p[1]) - 128) * 256) : *left;
  } else {
    const uint8_t* p = data + size_t(frame) * kChannels * 2;
    *left = float(int16_t(uint16_t(p[0] | (p[1] << 8))));
    *right = kChannels == 2 ? float(int16_t(uint16_t(p[2] | (p[3] << 8)))) : *left;
  }
}

// A mono output takes the mean of the two sides at the buffer's gain.
template <int kOut>
inline void Accumulate(float* sum, float left, float right, float gainLeft, float gainRight) {
  if constexpr (kOut == 2) {
    sum[0] += left * gainLeft;
    sum[1] += right * gainRight;
  } else {
    sum[0] += (left + right) * 0.5f * gainLeft;
  }
}

// One buffer's part of a block, read under its lock.
struct MixState {
  const uint8_t* data;
  uint32_t frames;
  bool looping;
  uint64_t step;      // frames per output frame, 32.32
  uint64_t position;  // 32.32, below frames << 32
  bool playing;
};

// After the position passed the end: wrap, or stop with the cursor at 0.
inline bool WrapOrStop(MixState& s, uint64_t* position) {
  const uint64_t end = uint64_t(s.frames) << 32;
  if (*position < end) return true;
  if (!s.looping) {
    s.playing = false;
    *position = 0;
    return false;
  }
  *position %= end;
  return true;
}

template <int kBits, int kChannels, int kOut>
void MixKernel(MixState& s, float* sum, int32_t count, float gainLeft, float gainRight) {
  const uint64_t lastFrame = (uint64_t(s.frames) << 32) - kOneFrame;
  uint64_t pos = s.position;
  float left, right, nextLeft, nextRight;
  while (count > 0) {
    const uint32_t index = uint32_t(pos >> 32);
    int32_t run;
    if (s.step == kOneFrame) {
      // At the output rate (whole frames): sample for sample.
      run = int32_t(std::min<uint64_t>(uint64_t(count), s.frames - index));
      for (int32_t k = 0; k < run; ++k) {
        ReadFrame<kBits, kChannels>(s.data, index + uint32_t(k), &left, &right);
        Accumulate<kOut>(sum + k * kOut, left, right, gainLeft, gainRight);
      }
      pos += uint64_t(run) << 32;
    } else if (pos < lastFrame) {
      // Every step in this run has its right-hand neighbour inside the data.
      const uint64_t safe = (lastFrame - pos + s.step - 1) / s.step;
      run = int32_t(std::min<uint64_t>(uint64_t(count), safe));
      for (int32_t k = 0; k < run; ++k) {
        const uint32_t i = uint32_t(pos >> 32);
        const float f = float(uint32_t(pos & kFractionMask)) * kFractionScale;
        ReadFrame<kBits, kChannels>(s.data, i, &left, &right);
        ReadFrame<kBits, kChannels>(s.data, i + 1, &nextLeft, &nextRight);
        Accumulate<kOut>(sum + k * kOut, left + (nextLeft - left) * f, right + (nextRight - right) * f, gainLeft,
                         gainRight);
        pos += s.step;
      }
    } else {
      // Inside the last frame: a looping buffer leans towards its first
      // frame, a one-shot holds the last.
      run = 1;
      const float f = float(uint32_t(pos & kFractionMask)) * kFractionScale;
      ReadFrame<kBits, kChannels>(s.data, index, &left, &right);
      nextLeft = left;
      nextRight = right;
      if (s.looping) ReadFrame<kBits, kChannels>(s.data, 0, &nextLeft, &nextRight);
      Accumulate<kOut>(sum, left + (nextLeft - left) * f, right + (nextRight - right) * f, gainLeft, gainRight);
      pos += s.step;
    }
    sum += run * kOut;
    count -= run;
    if (!WrapOrStop(s, &pos)) break;
  }
  s.position = pos;
}

using Kernel = void (*)(MixState&, float*, int32_t, float, float);

// [16-bit][channels - 1][output channels - 1]
constexpr Kernel kKernels[2][2][2] = {
    {{MixKernel<8, 1, 1>, MixKernel<8, 1, 2>}, {MixKernel<8, 2, 1>, MixKernel<8, 2, 2>}},
    {{MixKernel<16, 1, 1>, MixKernel<16, 1, 2>}, {MixKernel<16, 2, 1>, MixKernel<16, 2, 2>}},
};

// The buffer's frames per output frame, 32.32 (its lock held).
uint64_t Step(const Voice& voice, int32_t outRate) {
  const uint32_t rate =
      voice.frequency != kBufferFrequencyOriginal ? voice.frequency : uint32_t(voice.pcm->format.sampleRate);
  return (uint64_t(rate) << 32) / uint64_t(outRate);
}

// Mixes `count` frames of a playing buffer into sum (its lock held).
void MixVoice(Voice& voice, float* sum, int32_t count, int32_t outRate, int32_t outChannels) {
  const SharedPcm& pcm = *voice.pcm;
  MixState s{pcm.bytes.data(), pcm.frames, voice.looping, Step(voice, outRate), voice.position, true};
  // At the output rate the cursor moves by whole frames, so the copy stays
  // exact after a rate change left it between two frames.
  if (s.step == kOneFrame) s.position &= ~kFractionMask;

  const double gain = Gain(voice.volume);
  float gainLeft = float(gain);
  float gainRight = float(gain);
  if (outChannels == 2) {
    gainLeft = float(gain * Gain(std::min(0, -voice.pan)));
    gainRight = float(gain * Gain(std::min(0, voice.pan)));
  }
  if (gainLeft == 0.0f && gainRight == 0.0f) {
    // Silent (the library's timer buffer, for one): only the cursor moves.
    uint64_t pos = s.position + s.step * uint64_t(count);
    WrapOrStop(s, &pos);
    s.position = pos;
  } else {
    kKernels[pcm.format.bitsPerSample == 16][pcm.format.channels - 1][outChannels - 1](s, sum, count, gainLeft,
                                                                                         gainRight);
  }
  voice.position = s.position;
  voice.playing = s.playing;
}

}  // namespace

Mixer::Mixer(int32_t rate, int32_t channels)
    : rate_(std::clamp(rate, int32_t(kBufferFrequencyMin), int32_t(kBufferFrequencyMax))),
      channels_(std::clamp(channels, 1, 2)),
      list_(std::make_shared<mixer_detail::VoiceList>()) {}

Mixer::~Mixer() { setPlayListener(nullptr, nullptr); }

void Mixer::setPaced(bool paced) { list_->paced.store(paced, std::memory_order_relaxed); }

void Mixer::setPlayListener(PlayListener listener, void* context) {
  std::lock_guard<std::mutex> guard(list_->listenerMutex);
  list_->playListener = listener;
  list_->playListenerContext = context;
}

bool Mixer::playingBesides(const SoundBuffer* except) const {
  const Voice* skip = except ? except->voice_.get() : nullptr;
  std::lock_guard<std::mutex> guard(list_->mutex);
  for (const std::shared_ptr<Voice>& voice : list_->voices) {
    if (voice.get() != skip && voice->active.load(std::memory_order_relaxed)) return true;
  }
  return false;
}

int32_t Mixer::createBuffer(const SoundBufferFormat& format, uint32_t bytes, std::unique_ptr<SoundBuffer>* out) {
  if (!out) return kBufferInvalidParam;
  out->reset();
  std::vector<uint8_t> silence;
  // A size the other overload refuses is refused before it is allocated.
  if (format.isPlayable() && bytes >= uint32_t(format.blockAlign()) && bytes <= kBufferMaxBytes) {
    try {
      silence.assign(bytes, format.bitsPerSample == 8 ? uint8_t(0x80) : uint8_t(0));
    } catch (const std::bad_alloc&) {
      LogWrite(LOG_DEBUG, u"Mixer::createBuffer() : no memory for %u bytes\n", bytes);
      return kBufferOutOfMemory;
    }
  } else if (format.isPlayable()) {
    LogWrite(LOG_DEBUG, u"Mixer::createBuffer() : %u bytes is not a size of whole frames\n", bytes);
    return kBufferInvalidParam;
  }
  return createBuffer(format, std::move(silence), out);
}

int32_t Mixer::createBuffer(const SoundBufferFormat& format, std::vector<uint8_t>&& bytes,
                            std::unique_ptr<SoundBuffer>* out) {
  if (!out) return kBufferInvalidParam;
  out->reset();
  if (!format.isPlayable()) {
    LogWrite(LOG_DEBUG, u"Mixer::createBuffer() : unplayable format (%d Hz, %d channels, %d bits)\n",
             format.sampleRate, format.channels, format.bitsPerSample);
    return kBufferBadFormat;
  }
  const size_t align = size_t(format.blockAlign());
  const size_t size = bytes.size();
  if (size < align || size > kBufferMaxBytes || size % align != 0) {
    LogWrite(LOG_DEBUG, u"Mixer::createBuffer() : %u bytes is not a size of whole frames\n", uint64_t(size));
    return kBufferInvalidParam;
  }
  try {
    auto pcm = std::make_shared<SharedPcm>(format, uint32_t(size));
    pcm->bytes = std::move(bytes);
    try {
      auto voice = std::make_shared<Voice>();
      voice->pcm = pcm;
      std::unique_ptr<SoundBuffer> buffer(new SoundBuffer(list_, voice));
      {
        std::lock_guard<std::mutex> guard(list_->mutex);
        list_->voices.push_back(std::move(voice));
        list_->version.fetch_add(1, std::memory_order_release);
      }
      *out = std::move(buffer);
    } catch (const std::bad_alloc&) {
      bytes = std::move(pcm->bytes);
      throw;
    }
  } catch (const std::bad_alloc&) {
    LogWrite(LOG_DEBUG, u"Mixer::createBuffer() : no memory for %u bytes\n", uint64_t(size));
    return kBufferOutOfMemory;
  }
  return kBufferOk;
}

int32_t Mixer::duplicate(const SoundBuffer& original, std::unique_ptr<SoundBuffer>* out) {
  if (!out) return kBufferInvalidParam;
  out->reset();
  try {
    auto voice = std::make_shared<Voice>();
    voice->pcm = original.voice_->pcm;
    {
      std::lock_guard<std::mutex> guard(voice->pcm->mutex);
      voice->volume = original.voice_->volume;
      voice->pan = original.voice_->pan;
      voice->frequency = original.voice_->frequency;
    }
    std::unique_ptr<SoundBuffer> buffer(new SoundBuffer(list_, voice));
    {
      std::lock_guard<std::mutex> guard(list_->mutex);
      list_->voices.push_back(std::move(voice));
      list_->version.fetch_add(1, std::memory_order_release);
    }
    *out = std::move(buffer);
  } catch (const std::bad_alloc&) {
    LogWrite(LOG_DEBUG, u"Mixer::duplicate() : out of memory\n");
    return kBufferOutOfMemory;
  }
  return kBufferOk;
}

void Mixer::refreshVoices() {
  if (list_->version.load(std::memory_order_acquire) == mixingVersion_) return;
  // A creation or release in progress: keep last block's list (a new buffer
  // starts a block later; a released one is marked and passed over).
  if (!list_->mutex.try_lock()) return;
  // Dropping the last reference to a released buffer frees it here.
  mixing_ = list_->voices;
  mixingVersion_ = list_->version.load(std::memory_order_relaxed);
  list_->mutex.unlock();
}

void Mixer::mixChunk(int32_t frames, int32_t offset, uint64_t serial) {
  std::fill(sum_.begin(), sum_.begin() + frames * channels_, 0.0f);
  for (const std::shared_ptr<Voice>& voice : mixing_) {
    if (!voice->active.load(std::memory_order_relaxed)) continue;
    std::lock_guard<std::mutex> guard(voice->pcm->mutex);
    if (voice->released || !voice->playing) continue;
    if (serial != 0 && voice->mixedSerial != serial) {
      // Where this render found the buffer, for its paced play cursor.
      voice->mixedSerial = serial;
      voice->blockStart = voice->position;
      voice->blockOffset = offset;
      voice->blockStep = Step(*voice, rate_);
    }
    MixVoice(*voice, sum_.data(), frames, rate_, channels_);
    if (!voice->playing) voice->active.store(false, std::memory_order_relaxed);
  }
}

void Mixer::render(int16_t* out, int32_t frames) {
  if (!out || frames < 1) return;
  refreshVoices();
  uint64_t serial = 0;
  if (list_->paced.load(std::memory_order_relaxed)) {
    list_->renderSerial.fetch_add(1, std::memory_order_acq_rel);
    list_->renderMicros.store(mixer_detail::SteadyMicros(), std::memory_order_relaxed);
    list_->renderFrames.store(frames, std::memory_order_relaxed);
    list_->renderRate.store(rate_, std::memory_order_relaxed);
    serial = list_->renderSerial.fetch_add(1, std::memory_order_release) + 1;
  }
  int16_t* dst = out;
  for (int32_t left = frames; left > 0;) {
    const int32_t n = std::min(left, kChunkFrames);
    mixChunk(n, frames - left, serial);
    const int32_t samples = n * channels_;
    for (int32_t i = 0; i < samples; ++i) dst[i] = Saturate(sum_[size_t(i)]);
    dst += samples;
    left -= n;
  }
  if (hookSet_.load(std::memory_order_acquire) && hookMutex_.try_lock()) {
    if (hook_) hook_(hookContext_, out, frames);
    hookMutex_.unlock();
  }
}

void Mixer::AudioCallback(void* mixer, int16_t* out, int frames) { static_cast<Mixer*>(mixer)->render(out, frames); }

void Mixer::setCaptureHook(CaptureHook hook, void* context) {
  // Waits for a render that is inside the old hook.
  std::lock_guard<std::mutex> guard(hookMutex_);
  hook_ = hook;
  hookContext_ = context;
  hookSet_.store(hook != nullptr, std::memory_order_release);
}
