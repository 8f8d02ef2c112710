// The sorn_* functions over the process-wide sound system: state and
// argument checks in the library's order, then the device, channel or tone
// work under the system lock and, for stream channels, the channel's mutex.
#include "sound/sorn.h"

#include <algorithm>
#include <mutex>

#include "platform/process.h"
#include "platform/utf8.h"
#include "sound/sound_log.h"
#include "sound/ut_data_source.h"
#include "sound/ut_sound_device_dsound.h"
#include "sound/ut_sound_device_null.h"
#include "sound/ut_sound_system.h"

namespace {

constexpr int32_t kMaxStreamVolume = 280;
constexpr int32_t kMaxSfxVolume = 100;

bool StreamChannelInRange(int32_t channel) { return channel >= 0 && channel < UTSoundSystem::kStreamChannels; }
bool SfxChannelInRange(int32_t channel) { return channel >= 0 && channel < UTSoundSystem::kSfxChannels; }

// The checks every channel function makes first: not initialised, device
// not open, the null device.
int32_t ChannelState(const UTSoundSystem& system) {
  if (system.state == UTSoundSystem::kNotInitialised) return kSornNotInit;
  if (system.state != UTSoundSystem::kDeviceOpen) return kSornNotOpen;
  if (system.deviceKind == SoundDeviceConfig::kNull) return kSornNoDevice;
  return kSornOk;
}

// The system lock, then stream channel `channel`'s mutex.
struct StreamLock {
  StreamLock(UTSoundSystem& system, int32_t channel)
      : system(system), stream(system.streamMutex[static_cast<size_t>(channel)]) {}
  DSStreamChannel* channel(int32_t n) { return system.streams[static_cast<size_t>(n)].get(); }

  UTSoundSystem& system;
  std::lock_guard<std::mutex> held{system.lock};
  std::lock_guard<std::mutex> stream;
};

// Empties stream slot n (its buffer released in step with the mixer).
void CloseStream(UTSoundSystem& system, size_t n) {
  std::lock_guard<std::mutex> hold(system.streamMutex[n]);
  system.streamOpen[n].store(false);
  system.streams[n].reset();
}

// Stops and unbinds every effect channel playing the tone in slot n, then
// deletes the tone. Under the system lock.
void UnloadTone(UTSoundSystem& system, size_t n) {
  DSSfxTone* tone = system.tones[n].get();
  if (!tone) return;
  for (std::unique_ptr<DSSfxChannel>& channel : system.sfx) {
    if (channel && channel->tone() == tone) {
      channel->stop();
      channel->setTone(nullptr);
    }
  }
  system.tones[n].reset();
}

// Every channel and tone gone, channels before the tones they play.
void ClearSlots(UTSoundSystem& system) {
  for (size_t n = 0; n < system.streams.size(); ++n) CloseStream(system, n);
  for (std::unique_ptr<DSSfxChannel>& channel : system.sfx) channel.reset();
  for (std::unique_ptr<DSSfxTone>& tone : system.tones) tone.reset();
}

}  // namespace

int32_t sorn_init(const SoundVersionInfo* version, SoundInitInfo* info) {
  static bool first = true;
  if (first) {
    first = false;
    UTLog(kUTProgress, u"ModuleFileName : %s\n", platform::FromUtf8(platform::ExecutablePath()));
  }
  if (!version) return kSornBadArgument;
  if (version->major != 3 || version->minor != 3) return kSornVersion;
  if (!info) return kSornBadArgument;
  UTSoundSystem& system = GetSoundSystem();
  std::lock_guard<std::mutex> held(system.lock);
  if (system.state != UTSoundSystem::kNotInitialised) return kSornAlreadyInit;
  SoundInitInfo filled;
  UTSoundDeviceDSound::init(&filled.deviceCount, &system.deviceNames);
  for (int32_t i = 0; i < filled.deviceCount; ++i) {
    filled.deviceNames[i] = system.deviceNames[static_cast<size_t>(i)].c_str();
  }
  if (filled.deviceCount > 0) filled.flags |= SoundInitInfo::kHasOutput;
  system.initInfo = filled;
  *info = filled;
  system.state = UTSoundSystem::kInitialised;
  return kSornOk;
}

int32_t sorn_configDevice(const SoundDeviceConfig* config) {
  UTSoundSystem& system = GetSoundSystem();
  if (system.state == UTSoundSystem::kNotInitialised) return kSornNotInit;
  if (!config) return kSornBadArgument;
  if (system.state != UTSoundSystem::kInitialised) return kSornWrongState;
  std::lock_guard<std::mutex> held(system.lock);
  // The previous device goes first; a refused configuration leaves none.
  if (system.device) system.device->stop(true);
  system.device.reset();
  static constexpr int32_t kRates[3] = {11025, 22050, 44100};
  int32_t index = config->deviceIndex;
  int32_t format = config->format;
  if (config->kind == SoundDeviceConfig::kNull) {
    index = 0;
    format = 0;
    system.device = std::make_unique<UTSoundDeviceNull>();
  } else if (config->kind == SoundDeviceConfig::kOutput && index >= 0 && index < system.initInfo.deviceCount &&
             format >= 0 && format < 6) {
    system.device = std::make_unique<UTSoundDeviceDSound>(system);
  } else {
    return kSornBadArgument;
  }
  system.deviceKind = config->kind;
  system.deviceIndex = index;
  system.formatIndex = format;
  system.outputRate = kRates[format / 2];
  system.outputChannels = (format & 1) + 1;
  return kSornOk;
}

int32_t sorn_openDevice(void* window) {
  UTSoundSystem& system = GetSoundSystem();
  if (system.state == UTSoundSystem::kNotInitialised) return kSornNotInit;
  if (system.state != UTSoundSystem::kInitialised) return kSornWrongState;
  std::lock_guard<std::mutex> held(system.lock);
  ClearSlots(system);
  if (!system.device) return kSornNoDevice;
  if (system.deviceKind == SoundDeviceConfig::kNull) {
    system.clock.reset(44100);
  } else {
    const int32_t result = system.device->start(system.deviceIndex, system.formatIndex, window);
    if (result != 0) return result;
  }
  // The null device also counts as open, so that the channel functions
  // answer that it plays nothing.
  system.state = UTSoundSystem::kDeviceOpen;
  system.window = window;
  return kSornOk;
}

int32_t sorn_getMediaInfo(const SoundMediaDesc* desc, SoundMediaInfo* info) {
  UTSoundSystem& system = GetSoundSystem();
  if (system.state == UTSoundSystem::kNotInitialised) return kSornNotInit;
  if (!desc || !info) return kSornBadArgument;
  std::unique_ptr<UTDataSource> decoder;
  const int32_t result = OpenMediaDecoder(*desc, &decoder);
  if (result != kSornOk) return result;
  UTFormat format;
  decoder->getFormat(&format);
  MetaDataList meta;
  decoder->getMetaData(&meta);
  const LoopRegion loop = ResolveLoopRegion(format.length, meta, desc->options);
  *info = SoundMediaInfo();
  info->bitsPerSample = format.bitsPerSample;
  info->sampleRate = format.sampleRate;
  info->channels = format.channels;
  info->length = format.length;
  // Field A tells whether it loops (the end); field B carries the start, so
  // that two descriptions of one file differ when either end of the loop
  // does.
  info->loopA = loop.enabled ? loop.end : -1;
  info->loopB = loop.enabled ? loop.start : -1;
  return kSornOk;
}

int32_t sorn_streamOpen(int32_t channel, const SoundMediaDesc* desc) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (!StreamChannelInRange(channel) || !desc) return kSornBadArgument;
  const size_t n = static_cast<size_t>(channel);
  // The previous stream goes first, so that a media that does not open
  // leaves the channel silent rather than holding the old track for the
  // next play.
  {
    std::lock_guard<std::mutex> held(system.lock);
    CloseStream(system, n);
  }
  std::unique_ptr<UTDataSource> decoder;
  const int32_t opened = OpenMediaDecoder(*desc, &decoder);
  if (opened != kSornOk) return opened;
  StreamLock lock(system, channel);
  std::unique_ptr<DSStreamChannel> stream;
  const int32_t made = system.device->createStreamChannel(&stream, std::move(decoder), desc->options);
  if (made != kSornOk) return made;
  system.streams[n] = std::move(stream);
  system.streamOpen[n].store(system.streams[n] != nullptr);
  return kSornOk;
}

int32_t sorn_streamPlay(int32_t channel, int64_t startFrame) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (!StreamChannelInRange(channel)) return kSornBadArgument;
  StreamLock lock(system, channel);
  DSStreamChannel* stream = lock.channel(channel);
  if (!stream) return kSornStreamNotOpen;
  return stream->play(startFrame);
}

int32_t sorn_streamStop(int32_t channel) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (!StreamChannelInRange(channel)) return kSornBadArgument;
  StreamLock lock(system, channel);
  DSStreamChannel* stream = lock.channel(channel);
  if (!stream) return kSornOk;
  stream->stop();
  stream->endFade();
  return kSornOk;
}

int32_t sorn_streamSetVolume(int32_t channel, int32_t volume) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (static_cast<uint32_t>(volume) > kMaxStreamVolume || !StreamChannelInRange(channel)) return kSornBadArgument;
  StreamLock lock(system, channel);
  DSStreamChannel* stream = lock.channel(channel);
  if (!stream) return kSornStreamNotOpen;
  stream->endFade();
  return stream->setParam(2, volume * 100);
}

int32_t sorn_streamFade(int32_t channel, int32_t from, int32_t to, int32_t milliseconds) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (from < -1 || from > kMaxStreamVolume || to < -1 || to > kMaxStreamVolume || milliseconds < 0 ||
      !StreamChannelInRange(channel)) {
    return kSornBadArgument;
  }
  StreamLock lock(system, channel);
  DSStreamChannel* stream = lock.channel(channel);
  if (!stream) return kSornStreamNotOpen;
  stream->startFade(from, to, milliseconds);
  return kSornOk;
}

int32_t sorn_streamGetStatus(int32_t channel, SoundStreamStatus* status) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (!status || !StreamChannelInRange(channel)) return kSornBadArgument;
  StreamLock lock(system, channel);
  *status = SoundStreamStatus();
  DSStreamChannel* stream = lock.channel(channel);
  if (!stream) {
    status->state = SoundStreamStatus::kNotOpen;
    return kSornOk;
  }
  stream->getStatus(status);
  return kSornOk;
}

int32_t sorn_sfxLoad(int32_t slot, const SoundMediaDesc* desc) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (slot < 0 || slot >= UTSoundSystem::kToneSlots || !desc) return kSornBadArgument;
  const size_t n = static_cast<size_t>(slot);
  // The old tone goes before the media is read, so that a media that does
  // not load leaves the slot empty rather than holding the old tone for the
  // next play.
  {
    std::lock_guard<std::mutex> held(system.lock);
    UnloadTone(system, n);
  }
  DecodedTone decodedTone;
  const int32_t decoded = DecodeToneMedia(*desc, &decodedTone);
  if (decoded != kSornOk) return decoded;
  std::lock_guard<std::mutex> held(system.lock);
  UTLog(kUTProgress, u"createSfxTone...\n");
  std::unique_ptr<DSSfxTone> tone;
  const int32_t made = system.device->createSfxTone(std::move(decodedTone), &tone);
  if (made != kSornOk) return made;
  system.tones[n] = std::move(tone);
  UTLog(kUTProgress, u"done\n");
  return kSornOk;
}

int32_t sorn_sfxPlay(int32_t channel, int32_t slot) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (!SfxChannelInRange(channel) || slot < 0 || slot >= UTSoundSystem::kToneSlots) return kSornBadArgument;
  std::lock_guard<std::mutex> held(system.lock);
  DSSfxTone* tone = system.tones[static_cast<size_t>(slot)].get();
  if (!tone) return kSornEmptyTone;
  std::unique_ptr<DSSfxChannel>& sfx = system.sfx[static_cast<size_t>(channel)];
  if (!sfx) {
    const int32_t made = system.device->createSfxChannel(&sfx);
    if (made != kSornOk) return made;
  }
  sfx->stop();
  if (sfx->tone() != tone) sfx->setTone(tone);
  const UTSoundSystem::SfxSetting& setting = system.sfxSettings[static_cast<size_t>(channel)];
  sfx->setParam(1, setting.volume * 100);
  sfx->setParam(2, setting.pan);
  sfx->setParam(3, setting.frequencyRatio);
  return sfx->play();
}

int32_t sorn_sfxStop(int32_t channel) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (!SfxChannelInRange(channel)) return kSornBadArgument;
  std::lock_guard<std::mutex> held(system.lock);
  if (DSSfxChannel* sfx = system.sfx[static_cast<size_t>(channel)].get()) sfx->stop();
  return kSornOk;
}

int32_t sorn_sfxSetVolume(int32_t channel, int32_t volume) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (static_cast<uint32_t>(volume) > kMaxSfxVolume || !SfxChannelInRange(channel)) return kSornBadArgument;
  std::lock_guard<std::mutex> held(system.lock);
  system.sfxSettings[static_cast<size_t>(channel)].volume = volume;
  if (DSSfxChannel* sfx = system.sfx[static_cast<size_t>(channel)].get()) sfx->setParam(1, volume * 100);
  return kSornOk;
}

int32_t sorn_sfxGetStatus(int32_t channel, SoundSfxStatus* status) {
  UTSoundSystem& system = GetSoundSystem();
  if (const int32_t state = ChannelState(system)) return state;
  if (!status || !SfxChannelInRange(channel)) return kSornBadArgument;
  std::lock_guard<std::mutex> held(system.lock);
  *status = SoundSfxStatus();
  DSSfxChannel* sfx = system.sfx[static_cast<size_t>(channel)].get();
  if (!sfx || !sfx->tone()) {
    status->state = 1;
    return kSornOk;
  }
  sfx->getStatus(status);
  return kSornOk;
}

int32_t sorn_createOutputBuffer(int32_t milliseconds, int32_t* rate, std::unique_ptr<SoundBuffer>* out) {
  UTSoundSystem& system = GetSoundSystem();
  std::lock_guard<std::mutex> held(system.lock);
  if (const int32_t state = ChannelState(system); state != kSornOk) return state;
  Mixer* mixer = system.device ? system.device->mixer() : nullptr;
  if (!mixer) return kSornNotOpen;
  const SoundBufferFormat format{mixer->outputRate(), 2, 16};
  const int64_t frames = std::clamp<int64_t>(int64_t{milliseconds} * format.sampleRate / 1000, 1, 1 << 22);
  if (mixer->createBuffer(format, static_cast<uint32_t>(frames * format.blockAlign()), out) != kBufferOk) {
    return kSornNoDevice;
  }
  *rate = format.sampleRate;
  return kSornOk;
}

void sorn_shutdown() {
  UTSoundSystem& system = GetSoundSystem();
  std::lock_guard<std::mutex> held(system.lock);
  // The channels go while the mixer still runs (each waits for render to
  // leave its buffer), then the threads and the output.
  ClearSlots(system);
  if (system.device) system.device->stop(true);
  system.device.reset();
  system.deviceKind = SoundDeviceConfig::kNull;
  system.deviceIndex = 0;
  system.formatIndex = 5;
  system.outputRate = 44100;
  system.outputChannels = 2;
  system.window = nullptr;
  system.state = UTSoundSystem::kNotInitialised;
}
