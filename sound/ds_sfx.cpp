// Tone loading (decode, WAVE block, WAVE decoder over memory), tone
// creation into a mixer buffer, and the effect channel's operations over its
// duplicate. Caller's thread under the system lock.
#include "sound/ds_sfx.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "sound/sound_log.h"
#include "sound/ut_sound_device.h"
#include "sound/wave_header.h"

namespace {

// Frames a tone decode asks for at a time.
constexpr int32_t kDecodeChunkFrames = 16384;

int64_t FramesToMs(int64_t frames, int64_t rate) {
  if (rate < 1 || frames < 0) return 0;
  return (frames / rate) * 1000 + (frames % rate) * 1000 / rate;
}

// Every frame the decoder delivers, behind a WAVE header, into *wave; at
// most maxDataBytes of them. A media whose stated length is already larger
// is refused before anything is decoded.
int32_t DecodeToWave(UTDataSource& decoder, const std::u16string& name, uint64_t maxDataBytes,
                     std::vector<uint8_t>* wave) {
  UTFormat format;
  decoder.getFormat(&format);
  const SoundBufferFormat playable{format.sampleRate, format.channels, format.bitsPerSample};
  if (!playable.isPlayable() || playable.blockAlign() != format.bytesPerFrame) {
    UTLog(4, u"DecodeToneMedia : a tone cannot hold %d Hz, %d channels, %d bits\n", format.sampleRate, format.channels,
          format.bitsPerSample);
    return kSornUnrecognised;
  }
  // The header's data size is 32 bits.
  maxDataBytes = std::min<uint64_t>(maxDataBytes, UINT32_MAX - kWaveHeaderBytes);
  const size_t frameBytes = size_t(format.bytesPerFrame);
  auto tooLarge = [&](uint64_t bytes) {
    UTLog(4, u"DecodeToneMedia : failed to load %s: %I64d bytes of sound are more than a tone holds (%I64d)\n", name,
          int64_t(std::min<uint64_t>(bytes, INT64_MAX)), int64_t(maxDataBytes));
    wave->clear();
    return kSornUnrecognised;
  };
  // The stated length (a WAVE's data size within the file, an Ogg stream's
  // last granule position) decides before any decoding.
  if (uint64_t(std::max<int64_t>(format.length, 0)) > maxDataBytes / frameBytes) {
    return tooLarge(uint64_t(format.length) * frameBytes);
  }
  try {
    std::vector<uint8_t> chunk(size_t(kDecodeChunkFrames) * frameBytes);
    wave->assign(kWaveHeaderBytes, 0);
    for (;;) {
      const int32_t got = std::min(decoder.read(chunk.data(), kDecodeChunkFrames), kDecodeChunkFrames);
      if (got < 1) break;
      const size_t bytes = size_t(got) * frameBytes;
      // A decoder that delivers more than it stated stops here.
      if (wave->size() - kWaveHeaderBytes + bytes > maxDataBytes) return tooLarge(wave->size() - kWaveHeaderBytes + bytes);
      wave->insert(wave->end(), chunk.begin(), chunk.begin() + std::ptrdiff_t(bytes));
    }
  } catch (const std::bad_alloc&) {
    UTLog(4, u"DecodeToneMedia : out of memory\n");
    wave->clear();
    return kSornUnrecognised;
  }
  WriteWaveHeader(wave->data(), format.channels, format.sampleRate, format.bitsPerSample,
                  uint32_t(wave->size() - kWaveHeaderBytes));
  return kSornOk;
}

}  // namespace

int32_t DecodeToneMedia(const SoundMediaDesc& desc, std::unique_ptr<UTDataSource>* waveDecoder, uint64_t maxDataBytes) {
  waveDecoder->reset();
  UTLog(4, u"loading...\n");
  std::vector<uint8_t> wave;
  {
    std::unique_ptr<UTDataSource> source;
    const int32_t opened = OpenMediaDecoder(desc, &source);
    if (opened != kSoundOk) return opened;
    const int32_t decoded = DecodeToWave(*source, SoundMediaName(desc), maxDataBytes, &wave);
    if (decoded != kSornOk) return decoded;
  }
  SoundMediaDesc memory;
  memory.kind = SoundMediaDesc::kMemory;
  memory.data = wave.data();
  memory.size = uint32_t(wave.size());
  // The memory media keeps its own copy.
  const int32_t reopened = OpenMediaDecoder(memory, waveDecoder);
  if (reopened != kSoundOk) return reopened;
  UTLog(4, u"loaded\n");
  return kSornOk;
}

// --- DSSfxTone ------------------------------------------------------------

int32_t DSSfxTone::create(Mixer& mixer, UTDataSource& decoder, std::unique_ptr<DSSfxTone>* out) {
  out->reset();
  UTFormat format;
  decoder.getFormat(&format);
  const SoundBufferFormat bufferFormat{format.sampleRate, format.channels, format.bitsPerSample};
  const int64_t frameBytes = format.bytesPerFrame;
  if (bufferFormat.blockAlign() != frameBytes || format.length < 1 ||
      format.length > int64_t(kBufferMaxBytes) / std::max<int64_t>(frameBytes, 1)) {
    UTLog(4, u"DSSfxTone::create : cannot hold %d frames of %d bytes\n", format.length, frameBytes);
    LogBufferError(kBufferInvalidParam);
    return kSornDeviceFailed;
  }
  const uint32_t bytes = uint32_t(format.length * frameBytes);
  std::unique_ptr<SoundBuffer> buffer;
  int32_t result = mixer.createBuffer(bufferFormat, bytes, &buffer);
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  SoundBytes data;
  try {
    // Frames the decoder does not deliver stay silent.
    std::vector<uint8_t> pcm(bytes, format.bitsPerSample == 8 ? uint8_t(0x80) : uint8_t(0));
    int64_t done = 0;
    while (done < format.length) {
      const int32_t want = int32_t(std::min<int64_t>(format.length - done, kDecodeChunkFrames));
      const int32_t got = std::min(decoder.read(pcm.data() + done * frameBytes, want), want);
      if (got < 1) break;
      done += got;
    }
    data = SoundBytes(new const std::vector<uint8_t>(std::move(pcm)));
  } catch (const std::bad_alloc&) {
    LogBufferError(kBufferOutOfMemory);
    return kSornDeviceFailed;
  }
  void* first = nullptr;
  uint32_t firstBytes = 0;
  result = buffer->lock(0, 0, &first, &firstBytes, nullptr, nullptr, kLockEntireBuffer);
  if (result == kBufferOk) {
    std::memcpy(first, data->data(), firstBytes);
    result = buffer->unlock(first, firstBytes, nullptr, 0);
  }
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  out->reset(new DSSfxTone(format, std::move(data), std::move(buffer)));
  return kSornOk;
}

// --- DSSfxChannel ---------------------------------------------------------

int32_t DSSfxChannel::setTone(UTSfxTone* tone) {
  // The old duplicate goes first: the mixer is done with it on return.
  buffer_.reset();
  tone_ = nullptr;
  format_ = UTFormat();
  state_ = kNoTone;
  if (!tone) return kSornOk;
  auto* dsTone = dynamic_cast<DSSfxTone*>(tone);
  if (!dsTone) {
    UTLog(4, u"DSSfxChannel::setTone : not a tone of this device\n");
    return kSornBadArgument;
  }
  const int32_t result = mixer_.duplicate(dsTone->buffer(), &buffer_);
  if (result != kBufferOk) {
    LogBufferError(result);
    buffer_.reset();
    return kSornDeviceFailed;
  }
  tone_ = dsTone;
  format_ = dsTone->format();
  state_ = kStopped;
  return kSornOk;
}

int32_t DSSfxChannel::play() {
  if (!buffer_) {
    UTLog(4, u"DSSfxChannel::play : no tone\n");
    return kSornEmptyTone;
  }
  int32_t result = buffer_->stop();
  state_ = kStopped;
  if (result == kBufferOk) result = buffer_->setCurrentPosition(0);
  if (result == kBufferOk) result = buffer_->play(false);
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  state_ = kPlaying;
  return kSornOk;
}

int32_t DSSfxChannel::stop() { return halt(kStopped); }

int32_t DSSfxChannel::pause() { return halt(kPaused); }

int32_t DSSfxChannel::halt(int32_t state) {
  if (!buffer_) return kSornOk;
  const int32_t result = buffer_->stop();
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  state_ = state;
  return kSornOk;
}

int32_t DSSfxChannel::resume() {
  if (!buffer_) return kSornEmptyTone;
  const int32_t result = buffer_->play(false);
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  state_ = kPlaying;
  return kSornOk;
}

int32_t DSSfxChannel::setParam(int32_t kind, int32_t value) {
  int32_t result = kBufferOk;
  switch (kind) {
    case kParamVolume:
      if (buffer_) result = buffer_->setVolume(LinearToAttenuation(value));
      break;
    case kParamPan: {
      const int32_t pan = std::clamp(value, -100, 100);
      if (buffer_) result = buffer_->setPan(pan < 0 ? -pan * pan : pan * pan);
      break;
    }
    case kParamFrequency: {
      if (!buffer_) break;
      const int64_t frequency = int64_t(format_.sampleRate) * value / 4096;
      // A negative rate must not wrap into a valid one.
      result = frequency < 0 || frequency > int64_t(kBufferFrequencyMax) ? int32_t(kBufferInvalidParam)
                                                                         : buffer_->setFrequency(uint32_t(frequency));
      break;
    }
    default:
      break;
  }
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornNoBuffer;
  }
  return kSornOk;
}

int64_t DSSfxChannel::getPosition() {
  if (!buffer_) return -1;
  uint32_t cursor = 0;
  uint32_t status = 0;
  if (buffer_->getCurrentPosition(&cursor, nullptr) != kBufferOk || buffer_->getStatus(&status) != kBufferOk) {
    return -1;
  }
  const uint32_t frameBytes = uint32_t(std::max(format_.bytesPerFrame, 1));
  if (cursor >= frameBytes) return cursor / frameBytes;
  // A one-shot that ran to its end stops with its cursor back at 0.
  if (!(status & kBufferStatusPlaying) && state_ == kPlaying) return format_.length;
  return 0;
}

void DSSfxChannel::getStatus(SoundSfxStatus* out) {
  if (!tone_ || !buffer_) {
    out->state = kNoTone;
    return;
  }
  const int64_t position = std::max<int64_t>(getPosition(), 0);
  if (state_ == kPlaying && position >= format_.length) {
    stop();
    UTLog(4, u"終端に到達したので停止します\n");
  }
  out->state = state_;
  out->positionMs = FramesToMs(position, format_.sampleRate);
  out->lengthMs = FramesToMs(format_.length, format_.sampleRate);
  out->sampleRate = format_.sampleRate;
  out->volume = kVolume;
  out->frequencyRatio = kFrequencyRatio;
  out->pan = kPan;
}
