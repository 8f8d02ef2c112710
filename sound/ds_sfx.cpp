// Tone loading (decoding straight into the PCM block), tone creation over
// that block as a mixer buffer, and the effect channel's operations over its
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

namespace {

// Frames a tone decode asks for at a time.
constexpr int32_t kDecodeChunkFrames = 16384;

int64_t FramesToMs(int64_t frames, int64_t rate) {
  if (rate < 1 || frames < 0) return 0;
  return (frames / rate) * 1000 + (frames % rate) * 1000 / rate;
}

// Every frame the decoder delivers into out->pcm; at most maxDataBytes of
// them. A media whose stated length is already larger is refused before
// anything is decoded.
int32_t DecodeToPcm(UTDataSource& decoder, const std::u16string& name, uint64_t maxDataBytes, DecodedTone* out) {
  UTFormat format;
  decoder.getFormat(&format);
  const SoundBufferFormat playable{format.sampleRate, format.channels, format.bitsPerSample};
  if (!playable.isPlayable() || playable.blockAlign() != format.bytesPerFrame) {
    UTLog(kUTFailure, u"DecodeToneMedia : a tone cannot hold %d Hz, %d channels, %d bits\n", format.sampleRate,
          format.channels, format.bitsPerSample);
    return kSornUnrecognised;
  }
  const size_t frameBytes = size_t(format.bytesPerFrame);
  std::vector<uint8_t>& pcm = out->pcm;
  auto tooLarge = [&](uint64_t bytes) {
    UTLog(kUTFailure, u"DecodeToneMedia : failed to load %s: %I64d bytes of sound are more than a tone holds (%I64d)\n",
          name, int64_t(std::min<uint64_t>(bytes, INT64_MAX)), int64_t(maxDataBytes));
    std::vector<uint8_t>().swap(pcm);
    return kSornUnrecognised;
  };
  // The stated length (a WAVE's data size within the file, an Ogg stream's
  // last granule position) decides before any decoding.
  const uint64_t stated = uint64_t(std::max<int64_t>(format.length, 0));
  if (stated > maxDataBytes / frameBytes) return tooLarge(stated * frameBytes);
  try {
    std::vector<uint8_t>().swap(pcm);
    // Room for the stated frames: address space only, until the frames
    // decoded fill it. A decoder delivers at most its stated length.
    pcm.reserve(size_t(stated * frameBytes));
    while (pcm.size() / frameBytes < stated) {
      const size_t done = pcm.size();
      const int32_t want = int32_t(std::min<uint64_t>(stated - done / frameBytes, kDecodeChunkFrames));
      pcm.resize(done + size_t(want) * frameBytes);
      const int32_t got = std::clamp(decoder.read(pcm.data() + done, want), 0, want);
      pcm.resize(done + size_t(got) * frameBytes);
      if (got < 1) break;
    }
    // A media that held much less than it stated gives the rest of the
    // room back, as the tone keeps the block.
    if (pcm.size() < pcm.capacity() / 2) pcm.shrink_to_fit();
  } catch (const std::bad_alloc&) {
    UTLog(kUTFailure, u"DecodeToneMedia : out of memory\n");
    std::vector<uint8_t>().swap(pcm);
    return kSornUnrecognised;
  }
  out->format = format;
  out->format.length = int64_t(pcm.size() / frameBytes);
  return kSornOk;
}

}  // namespace

int32_t DecodeToneMedia(const SoundMediaDesc& desc, DecodedTone* out, uint64_t maxDataBytes) {
  *out = DecodedTone();
  UTLog(kUTProgress, u"loading...\n");
  std::unique_ptr<UTDataSource> source;
  const int32_t opened = OpenMediaDecoder(desc, &source);
  if (opened != kSoundOk) return opened;
  const int32_t decoded = DecodeToPcm(*source, SoundMediaName(desc), maxDataBytes, out);
  if (decoded != kSornOk) return decoded;
  UTLog(kUTProgress, u"loaded\n");
  return kSornOk;
}

// --- DSSfxTone ------------------------------------------------------------

int32_t DSSfxTone::create(Mixer& mixer, DecodedTone&& decoded, std::unique_ptr<DSSfxTone>* out) {
  out->reset();
  const UTFormat& format = decoded.format;
  const SoundBufferFormat bufferFormat{format.sampleRate, format.channels, format.bitsPerSample};
  const int64_t frameBytes = format.bytesPerFrame;
  if (bufferFormat.blockAlign() != frameBytes || format.length < 1 ||
      format.length > int64_t(kBufferMaxBytes) / std::max<int64_t>(frameBytes, 1) ||
      decoded.pcm.size() != size_t(format.length * frameBytes)) {
    UTLog(kUTFailure, u"DSSfxTone::create : cannot hold %d frames of %d bytes\n", format.length, frameBytes);
    LogBufferError(kBufferInvalidParam);
    return kSornDeviceFailed;
  }
  std::unique_ptr<SoundBuffer> buffer;
  const int32_t result = mixer.createBuffer(bufferFormat, std::move(decoded.pcm), &buffer);
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  out->reset(new DSSfxTone(format, std::move(buffer)));
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
    UTLog(kUTFailure, u"DSSfxChannel::setTone : not a tone of this device\n");
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
    UTLog(kUTFailure, u"DSSfxChannel::play : no tone\n");
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
    UTLog(kUTProgress, u"終端に到達したので停止します\n");
  }
  out->state = state_;
  out->positionMs = FramesToMs(position, format_.sampleRate);
  out->lengthMs = FramesToMs(format_.length, format_.sampleRate);
  out->sampleRate = format_.sampleRate;
  out->volume = kVolume;
  out->frequencyRatio = kFrequencyRatio;
  out->pan = kPan;
}
