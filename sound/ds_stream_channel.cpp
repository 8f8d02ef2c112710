// The stream channel: creation over a decoder, prepare and prefill, the
// decoder and timer pumps over the decode ring and the mixer buffer, the
// settings, the fade step and the status figures. Called under the channel's
// mutex only (see the header).
#include "sound/ds_stream_channel.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "sound/meta_data.h"
#include "sound/sound_log.h"
#include "sound/ut_sound_device.h"

namespace {

// Frames to milliseconds without overflow for any 64-bit count: whole
// seconds, then the rest truncated.
int64_t FramesToMs(int64_t frames, int64_t rate) {
  if (rate < 1 || frames < 0) return 0;
  return (frames / rate) * 1000 + (frames % rate) * 1000 / rate;
}

// The space behind the play cursor that a refill leaves alone, in bytes.
constexpr int64_t kCursorGuardBytes = 4;

}  // namespace

// --- UTStreamChannel ------------------------------------------------------

UTStreamChannel::UTStreamChannel(const SoundClock& clock, std::unique_ptr<UTDataSource> decoder,
                                 const std::vector<SoundLoopRegion>& options)
    : clock_(clock), decoder_(std::move(decoder)), clockRate_(clock.rate()) {
  if (!decoder_) return;
  decoder_->getFormat(&format_);
  format_.length = std::max<int64_t>(format_.length, 0);
  loopEnd_ = format_.length;
  MetaDataList meta;
  decoder_->getMetaData(&meta);
  const LoopRegion region = ResolveLoopRegion(format_.length, meta, options);
  if (region.enabled) {
    looping_ = true;
    loopStart_ = region.start;
    loopEnd_ = region.end;
  }
}

UTStreamChannel::~UTStreamChannel() = default;

int64_t UTStreamChannel::endOfData() const {
  if (failedEnd_ >= 0) return looping_ ? failedEnd_ : std::min(failedEnd_, loopEnd_);
  return looping_ ? -1 : loopEnd_;
}

void UTStreamChannel::startFade(int32_t from, int32_t to, int32_t milliseconds) {
  fadeFrom_ = from == -1 ? volume_ : from * 100;
  fadeTo_ = to * 100;
  fadeMilliseconds_ = std::max(milliseconds, 0);
  fadeStartSamples_ = clock_.totalSamples();
  fadeState_ = kFadeRunning;
}

void UTStreamChannel::fadeStep() {
  if (fadeState_ != kFadeRunning) return;
  const int64_t total = clock_.totalSamples();
  lastClockSamples_ = total;
  // A clock started afresh since the fade began counts as no time passed.
  const int64_t elapsed = std::max<int64_t>(total - fadeStartSamples_, 0);
  const int64_t elapsedMs = clockRate_ < 1 ? int64_t(fadeMilliseconds_) : FramesToMs(elapsed, clockRate_);
  int64_t volume;
  if (elapsedMs >= fadeMilliseconds_) {
    fadeState_ = kFadeEnded;
    volume = fadeTo_;
  } else {
    volume = fadeFrom_ + (int64_t(fadeTo_) - fadeFrom_) * elapsedMs / fadeMilliseconds_;
  }
  setParam(kParamVolume, int32_t(volume));
}

void UTStreamChannel::getStatus(SoundStreamStatus* out) const {
  const int64_t rate = format_.sampleRate;
  const int64_t end = endOfData();
  int64_t played = getStatusValue();
  if (end >= 0) played = std::min(played, end);
  int64_t position = played;
  if (played > loopEnd_) {
    position = looping_ ? loopStart_ + (played - loopEnd_) % (loopEnd_ - loopStart_) : loopEnd_;
  }
  out->state = end >= 0 && played >= end ? kStopped : state_;
  out->elapsedMs = FramesToMs(played, rate);
  out->positionMs = FramesToMs(position, rate);
  out->endMs = FramesToMs(loopEnd_, rate);
  out->looping = looping_ ? 1 : 0;
  out->muted = muted_ ? 1 : 0;
  out->sampleRate = format_.sampleRate;
  out->volume = volume_ / 100;
  out->frequencyRatio = frequencyRatio_;
  out->pan = pan_;
  out->fading = fadeState_ == kFadeRunning ? 1 : 0;
  out->loopCount = looping_ && played >= loopEnd_ ? int32_t((played - loopEnd_) / (loopEnd_ - loopStart_) + 1) : 0;
}

// --- DSStreamChannel ------------------------------------------------------

DSStreamChannel::DSStreamChannel(Mixer& mixer, const SoundClock& clock, std::unique_ptr<UTDataSource> decoder,
                                 const std::vector<SoundLoopRegion>& options)
    : UTStreamChannel(clock, std::move(decoder), options), mixer_(mixer) {
  if (!decoder_) {
    UTLog(kUTFailure, u"DSStreamChannel : no decoder\n");
    return;
  }
  const SoundBufferFormat format{format_.sampleRate, format_.channels, format_.bitsPerSample};
  // The scratch area holds kPumpFrames frames of at most 4 bytes.
  if (!format.isPlayable() || format.blockAlign() != format_.bytesPerFrame) {
    UTLog(kUTFailure, u"DSStreamChannel : cannot play %d Hz, %d channels, %d bits, %d bytes a frame\n", format_.sampleRate,
          format_.channels, format_.bitsPerSample, format_.bytesPerFrame);
    return;
  }
  silenceByte_ = format_.bitsPerSample == 8 ? 0x80 : 0;
  bufferBytes_ = int64_t(format_.bytesPerFrame) * format_.sampleRate * 2;
  try {
    ring_.assign(size_t(kRingBytes), 0);
    scratch_.assign(kScratchBytes, 0);
  } catch (const std::bad_alloc&) {
    UTLog(kUTFailure, u"DSStreamChannel : out of memory\n");
    return;
  }
  const int32_t result = mixer_.createBuffer(format, uint32_t(bufferBytes_), &buffer_);
  if (result != kBufferOk) {
    LogBufferError(result);
    buffer_.reset();
  }
}

DSStreamChannel::~DSStreamChannel() {
  if (buffer_) buffer_->stop();
}

bool DSStreamChannel::clearBuffer() {
  void* first = nullptr;
  uint32_t firstBytes = 0;
  int32_t result = buffer_->lock(0, 0, &first, &firstBytes, nullptr, nullptr, kLockEntireBuffer);
  if (result == kBufferOk) {
    std::memset(first, silenceByte_, firstBytes);
    result = buffer_->unlock(first, firstBytes, nullptr, 0);
  }
  if (result != kBufferOk) LogBufferError(result);
  return result == kBufferOk;
}

int32_t DSStreamChannel::prepare(int64_t startFrame) {
  if (!buffer_) return kSornNoBuffer;
  if (startFrame < 0) {
    UTLog(kUTFailure, u"DSStreamChannel::prepare : start frame %d is out of range\n", startFrame);
    return kSornBadArgument;
  }
  if (startFrame == preparedStart_) {
    UTLog(kUTDetail, u"DSStreamChannel::prepare : already prepared to play from %d\n", startFrame);
    return kSornOk;
  }
  int32_t result = buffer_->stop();
  if (result == kBufferOk) result = buffer_->setCurrentPosition(0);
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  lastPlayCursor_ = 0;
  if (!clearBuffer()) return kSornDeviceFailed;

  int64_t played = startFrame;
  int64_t from = startFrame;
  if (!looping_ && from > loopEnd_) {
    UTLog(kUTProgress, u"DSStreamChannel::prepare : start frame %d is past the end %d\n", startFrame, loopEnd_);
    played = from = loopEnd_;
  } else if (looping_ && from >= loopEnd_) {
    from = loopStart_ + (from - loopEnd_) % (loopEnd_ - loopStart_);
  }
  played_ = played;
  queued_ = played;
  failedEnd_ = -1;
  // A copy that was being made is incomplete; a finished one stays.
  if (fillingLoopCopy_) loopCopy_.clear();
  fillingLoopCopy_ = false;
  inLoopCopy_ = false;
  ringWrite_ = 0;
  ringRead_ = 0;
  std::fill(ring_.begin(), ring_.end(), uint8_t(0));
  writeOffset_ = 0;
  silenceLeft_ = int64_t(format_.sampleRate) * 2;
  if (decoder_->seek(from) != from) {
    UTLog(kUTFailure, u"DSStreamChannel::prepare : failed to seek to %d\n", from);
    markDataFailed();
  }

  // Prefill: decode and copy until the buffer and the ring hold 2 seconds,
  // or nothing moves any more.
  const int64_t target = int64_t(format_.sampleRate) * 2;
  int64_t decoded = 0;
  for (;;) {
    const int32_t fromDecoder = decoderPump();
    const int32_t toBuffer = timerPump();
    if (fromDecoder > 0) decoded += fromDecoder;
    if ((fromDecoder < 1 && toBuffer < 1) || decoded >= target) break;
  }
  preparedStart_ = startFrame;
  return kSornOk;
}

int32_t DSStreamChannel::play(int64_t startFrame) {
  if (!buffer_) return kSornNoBuffer;
  const int32_t prepared = prepare(startFrame);
  if (prepared != kSornOk) return prepared;
  int32_t result = buffer_->stop();
  if (result == kBufferOk) result = buffer_->setCurrentPosition(0);
  lastPlayCursor_ = 0;
  if (result == kBufferOk) result = buffer_->play(true);
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  state_ = kPlaying;
  preparedStart_ = -1;
  return kSornOk;
}

int32_t DSStreamChannel::stop() { return halt(kStopped); }

int32_t DSStreamChannel::pause() { return halt(kPaused); }

int32_t DSStreamChannel::halt(int32_t state) {
  preparedStart_ = -1;
  if (buffer_) {
    const int32_t result = buffer_->stop();
    if (result != kBufferOk) {
      LogBufferError(result);
      return kSornDeviceFailed;
    }
  }
  state_ = state;
  return kSornOk;
}

int32_t DSStreamChannel::resume() {
  preparedStart_ = -1;
  if (!buffer_) return kSornNoBuffer;
  const int32_t result = buffer_->play(true);
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  state_ = kPlaying;
  return kSornOk;
}

int32_t DSStreamChannel::applyVolume() {
  if (!buffer_) return kSornNoBuffer;
  const int32_t result = buffer_->setVolume(muted_ ? kBufferVolumeMin : LinearToAttenuation(volume_));
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  return kSornOk;
}

int32_t DSStreamChannel::setParam(int32_t kind, int32_t value) {
  int32_t result = kBufferOk;
  switch (kind) {
    case kParamMute:
      muted_ = value == 1;
      return applyVolume();
    case kParamVolume:
      volume_ = value;
      return applyVolume();
    case kParamPan: {
      pan_ = std::clamp(value, -100, 100);
      if (!buffer_) return kSornNoBuffer;
      result = buffer_->setPan(pan_ < 0 ? -pan_ * pan_ : pan_ * pan_);
      break;
    }
    case kParamFrequency: {
      frequencyRatio_ = value;
      if (!buffer_) return kSornNoBuffer;
      const int64_t frequency = int64_t(format_.sampleRate) * value / 4096;
      // A negative rate must not wrap into a valid one.
      result = frequency < 0 || frequency > int64_t(kBufferFrequencyMax) ? int32_t(kBufferInvalidParam)
                                                                         : buffer_->setFrequency(uint32_t(frequency));
      break;
    }
    default:
      UTLog(kUTFailure, u"DSStreamChannel::setParam : unknown kind %d\n", kind);
      return kSornBadArgument;
  }
  if (result != kBufferOk) {
    LogBufferError(result);
    return kSornDeviceFailed;
  }
  return kSornOk;
}

int32_t DSStreamChannel::control(int32_t kind) {
  switch (kind) {
    case kTimerPump:
      return timerPump();
    case kDecoderPump:
      return decoderPump();
    default:
      UTLog(kUTFailure, u"DSStreamChannel::control : unknown kind %d\n", kind);
      return kSornBadArgument;
  }
}

void DSStreamChannel::markDataFailed() {
  if (failedEnd_ < 0) failedEnd_ = queued_;
}

int64_t DSStreamChannel::ringUsed() const { return (ringWrite_ - ringRead_ + kRingBytes) % kRingBytes; }

void DSStreamChannel::ringWrite(const uint8_t* bytes, int64_t count) {
  const int64_t head = std::min(count, kRingBytes - ringWrite_);
  std::memcpy(ring_.data() + ringWrite_, bytes, size_t(head));
  std::memcpy(ring_.data(), bytes + head, size_t(count - head));
  ringWrite_ = (ringWrite_ + count) % kRingBytes;
}

void DSStreamChannel::ringFill(uint8_t value, int64_t count) {
  const int64_t head = std::min(count, kRingBytes - ringWrite_);
  std::memset(ring_.data() + ringWrite_, value, size_t(head));
  std::memset(ring_.data(), value, size_t(count - head));
  ringWrite_ = (ringWrite_ + count) % kRingBytes;
}

void DSStreamChannel::ringRead(uint8_t* out, int64_t count) {
  const int64_t head = std::min(count, kRingBytes - ringRead_);
  std::memcpy(out, ring_.data() + ringRead_, size_t(head));
  std::memcpy(out + head, ring_.data(), size_t(count - head));
  ringRead_ = (ringRead_ + count) % kRingBytes;
}

int32_t DSStreamChannel::decoderPump() {
  if (!buffer_) return 0;
  const int64_t frameBytes = format_.bytesPerFrame;
  const int64_t freeFrames = std::min<int64_t>((kRingBytes - 1 - ringUsed()) / frameBytes, kPumpFrames);
  if (freeFrames < 1) return 0;

  if (failedEnd_ >= 0 || (!looping_ && decoder_->tell() >= loopEnd_)) {
    // After the data: silence, so the buffer's old content never plays again.
    const int64_t frames = std::min(silenceLeft_, freeFrames);
    if (frames < 1) return 0;
    ringFill(silenceByte_, frames * frameBytes);
    silenceLeft_ -= frames;
    return int32_t(frames);
  }

  // A loop region shorter than what one pump may move is read more than
  // once here. Its frames are kept as they are decoded, and from then on
  // copied rather than sought and decoded again.
  const int64_t region = loopEnd_ - loopStart_;
  const size_t regionBytes = size_t(region * frameBytes);
  int64_t moved = 0;
  while (moved < freeFrames) {
    if (inLoopCopy_) {
      const int64_t frames = std::min(freeFrames - moved, region - loopCopyAt_);
      ringWrite(loopCopy_.data() + loopCopyAt_ * frameBytes, frames * frameBytes);
      loopCopyAt_ = (loopCopyAt_ + frames) % region;
      moved += frames;
      queued_ += frames;
      continue;
    }
    const int64_t toRead = std::min(freeFrames - moved, loopEnd_ - decoder_->tell());
    if (toRead < 1) {
      // Only a decoder whose position disagrees with its seeks gets here.
      UTLog(kUTFailure, u"decoderPump : decoder is past the loop end\n");
      markDataFailed();
      break;
    }
    const int32_t got = decoder_->read(scratch_.data(), int32_t(toRead));
    if (got < 1) {
      UTLog(kUTFailure, u"decoderPump : read failed\n");
      markDataFailed();
      if (moved == 0) return got;
      break;
    }
    const int64_t frames = std::min<int64_t>(got, toRead);
    ringWrite(scratch_.data(), frames * frameBytes);
    moved += frames;
    queued_ += frames;
    if (fillingLoopCopy_) keepForLoopCopy(frames * frameBytes);
    if (!looping_ || decoder_->tell() < loopEnd_) break;

    UTLog(kUTProgress, u"Decoder::Loop\n");
    fillingLoopCopy_ = false;
    if (loopCopy_.size() == regionBytes) {
      inLoopCopy_ = true;
      loopCopyAt_ = 0;
      continue;
    }
    if (decoder_->seek(loopStart_) != loopStart_) {
      UTLog(kUTFailure, u"decoderPump : failed to seek to the loop start %d\n", loopStart_);
      markDataFailed();
      break;
    }
    if (region <= kPumpFrames) {
      loopCopy_.clear();
      fillingLoopCopy_ = true;
    }
  }
  return int32_t(moved);
}

void DSStreamChannel::keepForLoopCopy(int64_t bytes) {
  try {
    loopCopy_.insert(loopCopy_.end(), scratch_.begin(), scratch_.begin() + std::ptrdiff_t(bytes));
  } catch (const std::bad_alloc&) {
    // Without the copy the region is sought and decoded each time round.
    loopCopy_.clear();
    fillingLoopCopy_ = false;
  }
}

int32_t DSStreamChannel::timerPump() {
  if (!buffer_) return 0;
  uint32_t cursor = 0;
  if (buffer_->getCurrentPosition(&cursor, nullptr) != kBufferOk) {
    UTLog(kUTFailure, u"timerPump : failed to GetCurrentPosition()\n");
    return 0;
  }
  const int64_t size = bufferBytes_;
  const int64_t frameBytes = format_.bytesPerFrame;
  const int64_t playCursor = cursor;
  // From the write offset up to the play cursor is played out; equal
  // cursors mean all of it.
  const int64_t playedOut = playCursor == writeOffset_ ? size : (playCursor - writeOffset_ + size) % size;
  const int64_t freeBytes = std::max<int64_t>(playedOut - kCursorGuardBytes, 0);

  const int64_t frames = ((size + playCursor - lastPlayCursor_) % size) / frameBytes;
  played_ += frames;
  lastPlayCursor_ = (lastPlayCursor_ + frames * frameBytes) % size;

  const int64_t end = endOfData();
  if (end >= 0 && played_ >= end + format_.sampleRate) {
    stop();
    UTLog(kUTProgress, u"単発再生を停止します\n");
    return 0;
  }

  const int64_t bytes = std::min(freeBytes, ringUsed()) / frameBytes * frameBytes;
  if (bytes < 1) {
    UTLog(kUTDetail, u"timerPump : no more samples in m_decodeBuffer\n");
    return 0;
  }
  void* first = nullptr;
  void* second = nullptr;
  uint32_t firstBytes = 0;
  uint32_t secondBytes = 0;
  int32_t result = buffer_->lock(uint32_t(writeOffset_), uint32_t(bytes), &first, &firstBytes, &second, &secondBytes);
  if (result != kBufferOk) {
    LogBufferError(result);
    return 0;
  }
  ringRead(static_cast<uint8_t*>(first), firstBytes);
  if (second) ringRead(static_cast<uint8_t*>(second), secondBytes);
  result = buffer_->unlock(first, firstBytes, second, secondBytes);
  if (result != kBufferOk) {
    LogBufferError(result);
    return 0;
  }
  writeOffset_ = (writeOffset_ + bytes) % size;
  return int32_t(bytes / frameBytes);
}
