// The secondary buffers' calls: range checks, the two-region lock through a
// staging copy (so the callback never reads bytes while they are written),
// and the release that shuts the callback out. Any thread; every call takes
// the buffer's lock only briefly (a lock copies the locked bytes once).
#include "sound/sound_buffer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "app/log.h"

using mixer_detail::SharedPcm;
using mixer_detail::SteadyMicros;
using mixer_detail::Voice;
using mixer_detail::VoiceList;

namespace {

// A staging copy larger than this (a whole tone, a cleared stream buffer) is
// freed at unlock instead of being kept for the next lock.
constexpr size_t kKeptStagingBytes = 256 * 1024;

int32_t OutOfRange(const char16_t* call, int64_t value) {
  LogWrite(LOG_DEBUG, u"SoundBuffer::%s() : %I64d is out of range\n", call, value);
  return kBufferInvalidParam;
}

}  // namespace

int64_t mixer_detail::SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool SoundBufferFormat::isPlayable() const {
  return (bitsPerSample == 8 || bitsPerSample == 16) && (channels == 1 || channels == 2) &&
         sampleRate >= int32_t(kBufferFrequencyMin) && sampleRate <= int32_t(kBufferFrequencyMax);
}

SoundBuffer::SoundBuffer(std::shared_ptr<mixer_detail::VoiceList> list, std::shared_ptr<Voice> voice)
    : list_(std::move(list)), voice_(std::move(voice)) {}

SoundBuffer::~SoundBuffer() {
  {
    // Taking the lock waits for a render that is mixing this buffer; after
    // it, render sees the flag and passes the buffer over.
    std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
    voice_->released = true;
    voice_->playing = false;
    voice_->locked = false;
    voice_->active.store(false, std::memory_order_relaxed);
  }
  std::lock_guard<std::mutex> guard(list_->mutex);
  auto& voices = list_->voices;
  voices.erase(std::remove(voices.begin(), voices.end(), voice_), voices.end());
  list_->version.fetch_add(1, std::memory_order_release);
}

int32_t SoundBuffer::lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* firstBytes, void** second,
                          uint32_t* secondBytes, uint32_t flags) {
  if (!first || !firstBytes || (second && !secondBytes)) {
    LogWrite(LOG_DEBUG, u"SoundBuffer::lock() : null result pointer\n");
    return kBufferInvalidParam;
  }
  *first = nullptr;
  *firstBytes = 0;
  if (second) {
    *second = nullptr;
    *secondBytes = 0;
  }
  Voice& v = *voice_;
  SharedPcm& pcm = *v.pcm;
  const uint32_t total = size();
  std::lock_guard<std::mutex> guard(pcm.mutex);
  if (v.locked) {
    LogWrite(LOG_DEBUG, u"SoundBuffer::lock() : already locked\n");
    return kBufferInvalidCall;
  }
  if (flags & kLockFromWriteCursor) {
    const uint32_t align = uint32_t(pcm.format.blockAlign());
    const uint32_t frame = uint32_t(v.position >> 32);
    offset = (v.playing ? (frame + 1) % pcm.frames : frame) * align;
  }
  if (flags & kLockEntireBuffer) bytes = total;
  if (offset >= total) return OutOfRange(u"lock", offset);
  if (bytes == 0 || bytes > total) return OutOfRange(u"lock", bytes);
  const uint32_t head = std::min(bytes, total - offset);
  const uint32_t tail = second ? bytes - head : 0;
  try {
    if (staging_.size() < size_t(head) + tail) staging_.resize(size_t(head) + tail);
  } catch (const std::bad_alloc&) {
    LogWrite(LOG_DEBUG, u"SoundBuffer::lock() : no memory for %u bytes\n", head + tail);
    return kBufferOutOfMemory;
  }
  memcpy(staging_.data(), pcm.bytes.data() + offset, head);
  memcpy(staging_.data() + head, pcm.bytes.data(), tail);
  v.locked = true;
  v.lockOffset = offset;
  v.lockFirst = head;
  v.lockSecond = tail;
  *first = staging_.data();
  *firstBytes = head;
  if (tail > 0) {
    *second = staging_.data() + head;
    *secondBytes = tail;
  }
  return kBufferOk;
}

int32_t SoundBuffer::unlock(void* first, uint32_t firstBytes, void* second, uint32_t secondBytes) {
  Voice& v = *voice_;
  SharedPcm& pcm = *v.pcm;
  std::lock_guard<std::mutex> guard(pcm.mutex);
  if (!v.locked) {
    LogWrite(LOG_DEBUG, u"SoundBuffer::unlock() : not locked\n");
    return kBufferInvalidCall;
  }
  if (first != staging_.data() || firstBytes > v.lockFirst || secondBytes > v.lockSecond ||
      (secondBytes > 0 && second != staging_.data() + v.lockFirst)) {
    // The lock stays, so the right unlock still stores the bytes.
    LogWrite(LOG_DEBUG, u"SoundBuffer::unlock() : not the locked regions\n");
    return kBufferInvalidParam;
  }
  memcpy(pcm.bytes.data() + v.lockOffset, staging_.data(), firstBytes);
  memcpy(pcm.bytes.data(), staging_.data() + v.lockFirst, secondBytes);
  v.locked = false;
  if (staging_.capacity() > kKeptStagingBytes) std::vector<uint8_t>().swap(staging_);
  return kBufferOk;
}

int32_t SoundBuffer::play(bool looping) {
  {
    std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
    voice_->playing = true;
    voice_->looping = looping;
    voice_->active.store(true, std::memory_order_relaxed);
  }
  std::lock_guard<std::mutex> guard(list_->listenerMutex);
  if (list_->playListener) list_->playListener(list_->playListenerContext);
  return kBufferOk;
}

int32_t SoundBuffer::stop() {
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  voice_->playing = false;
  voice_->active.store(false, std::memory_order_relaxed);
  return kBufferOk;
}

int32_t SoundBuffer::setCurrentPosition(uint32_t offset) {
  if (offset >= size()) return OutOfRange(u"setCurrentPosition", offset);
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  voice_->position = uint64_t(offset / uint32_t(format().blockAlign())) << 32;
  voice_->mixedSerial = 0;  // the cursor stands where it was put
  return kBufferOk;
}

int32_t SoundBuffer::getCurrentPosition(uint32_t* play, uint32_t* write) const {
  const Voice& v = *voice_;
  const uint32_t align = uint32_t(format().blockAlign());
  std::lock_guard<std::mutex> guard(v.pcm->mutex);
  const uint32_t frame = uint32_t(v.position >> 32);
  if (play) *play = uint32_t(pacedPosition() >> 32) * align;
  if (write) *write = (v.playing ? (frame + 1) % v.pcm->frames : frame) * align;
  return kBufferOk;
}

uint64_t SoundBuffer::pacedPosition() const {
  const Voice& v = *voice_;
  const VoiceList& list = *list_;
  if (!v.playing || !list.paced.load(std::memory_order_relaxed)) return v.position;
  // The render's figures, read between two looks at its number (odd while
  // a render writes them): a render that began meanwhile leaves the mixer's
  // own position, which is never behind.
  const uint64_t serial = list.renderSerial.load(std::memory_order_acquire);
  const int64_t began = list.renderMicros.load(std::memory_order_relaxed);
  const int64_t frames = list.renderFrames.load(std::memory_order_relaxed);
  const int64_t rate = list.renderRate.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  if ((serial & 1) || v.mixedSerial != serial || list.renderSerial.load(std::memory_order_relaxed) != serial ||
      rate < 1) {
    return v.position;
  }
  const int64_t passed = std::clamp<int64_t>((SteadyMicros() - began) * rate / 1000000, 0, frames) - v.blockOffset;
  if (passed <= 0) return v.blockStart;
  const uint64_t end = uint64_t(v.pcm->frames) << 32;
  const uint64_t mixed = (v.position + end - v.blockStart) % end;
  const uint64_t moved = uint64_t(passed) * v.blockStep;
  return moved >= mixed ? v.position : (v.blockStart + moved) % end;
}

int32_t SoundBuffer::getStatus(uint32_t* status) const {
  if (!status) return kBufferInvalidParam;
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  *status = voice_->playing ? (kBufferStatusPlaying | (voice_->looping ? kBufferStatusLooping : 0u)) : 0u;
  return kBufferOk;
}

int32_t SoundBuffer::setVolume(int32_t volume) {
  if (volume < kBufferVolumeMin || volume > kBufferVolumeMax) return OutOfRange(u"setVolume", volume);
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  voice_->volume = volume;
  return kBufferOk;
}

int32_t SoundBuffer::getVolume(int32_t* volume) const {
  if (!volume) return kBufferInvalidParam;
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  *volume = voice_->volume;
  return kBufferOk;
}

int32_t SoundBuffer::setPan(int32_t pan) {
  if (pan < kBufferPanLeft || pan > kBufferPanRight) return OutOfRange(u"setPan", pan);
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  voice_->pan = pan;
  return kBufferOk;
}

int32_t SoundBuffer::getPan(int32_t* pan) const {
  if (!pan) return kBufferInvalidParam;
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  *pan = voice_->pan;
  return kBufferOk;
}

int32_t SoundBuffer::setFrequency(uint32_t frequency) {
  if (frequency != kBufferFrequencyOriginal && (frequency < kBufferFrequencyMin || frequency > kBufferFrequencyMax)) {
    return OutOfRange(u"setFrequency", frequency);
  }
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  voice_->frequency = frequency;
  return kBufferOk;
}

int32_t SoundBuffer::getFrequency(uint32_t* frequency) const {
  if (!frequency) return kBufferInvalidParam;
  std::lock_guard<std::mutex> guard(voice_->pcm->mutex);
  *frequency = voice_->frequency != kBufferFrequencyOriginal ? voice_->frequency : uint32_t(format().sampleRate);
  return kBufferOk;
}
