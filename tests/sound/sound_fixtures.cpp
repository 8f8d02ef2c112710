// The WAVE writer, the Ogg writer over the engine's libvorbisenc encoder,
// and the seed writer.
#include "tests/sound/sound_fixtures.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/utf8.h"
#include "sound/vorbis_reference.h"

namespace {

void Put16(Bytes* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutId(Bytes* out, const std::string& id) { out->insert(out->end(), id.begin(), id.begin() + 4); }

}  // namespace

Bytes MakeWave(const WaveSpec& spec) {
  Bytes out;
  PutId(&out, "RIFF");
  Put32(&out, 0);  // patched below
  PutId(&out, "WAVE");
  PutId(&out, "fmt ");
  Put32(&out, spec.fmtSize);
  const uint32_t blockAlign = spec.channels * ((spec.bits + 7) / 8);
  Bytes fmt;
  Put16(&fmt, spec.formatTag);
  Put16(&fmt, spec.channels);
  Put32(&fmt, spec.rate);
  Put32(&fmt, spec.rate * blockAlign);
  Put16(&fmt, blockAlign);
  Put16(&fmt, spec.bits);
  fmt.resize(spec.fmtSize, 0);
  out.insert(out.end(), fmt.begin(), fmt.end());
  for (const auto& [id, payload] : spec.extraChunks) {
    PutId(&out, id);
    Put32(&out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() & 1) out.push_back(0);
  }
  PutId(&out, "data");
  Put32(&out, spec.dataSizeField.value_or(static_cast<uint32_t>(spec.samples.size())));
  out.insert(out.end(), spec.samples.begin(), spec.samples.end());
  const uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
  return out;
}

Bytes MakeWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples) {
  WaveSpec spec;
  spec.channels = channels;
  spec.rate = rate;
  spec.bits = bits;
  spec.samples = samples;
  return MakeWave(spec);
}

Bytes Pcm16Pattern(int64_t frames, int32_t channels) {
  Bytes out;
  for (int64_t f = 0; f < frames; ++f) {
    for (int32_t c = 0; c < channels; ++c) Put16(&out, static_cast<uint16_t>(f * 7 + c * 1000 - 20000));
  }
  return out;
}

std::vector<int16_t> SinePcm(int64_t frames, int32_t channels, int32_t rate, double hz) {
  std::vector<int16_t> out;
  out.reserve(static_cast<size_t>(frames * channels));
  for (int64_t f = 0; f < frames; ++f) {
    for (int32_t c = 0; c < channels; ++c) {
      const double t = static_cast<double>(f) / rate;
      out.push_back(static_cast<int16_t>(16000.0 * std::sin(2.0 * M_PI * hz * t / (c + 1))));
    }
  }
  return out;
}

Bytes MakeOgg(int32_t rate, int32_t channels, int64_t frames, const std::vector<std::string>& comments,
              int32_t serial) {
  const std::vector<int16_t> pcm = SinePcm(frames, channels, rate, 440.0);
  Bytes out;
  if (!EncodeOggVorbis(pcm.data(), frames, channels, rate, 0.3f, serial, comments, &out)) {
    throw std::runtime_error("libvorbisenc refused the settings");
  }
  return out;
}

Bytes InvertHead(Bytes bytes) {
  for (size_t i = 0; i < bytes.size() && i < 2048; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
  return bytes;
}

SoundMediaDesc MemoryDesc(const Bytes& bytes) {
  SoundMediaDesc desc;
  desc.kind = SoundMediaDesc::kMemory;
  desc.data = bytes.data();
  desc.size = static_cast<uint32_t>(bytes.size());
  return desc;
}

SoundMediaDesc FileDesc(const std::string& utf8Path) {
  SoundMediaDesc desc;
  desc.kind = SoundMediaDesc::kFile;
  desc.path = platform::FromUtf8(utf8Path);
  return desc;
}

Bytes DecodeAll(UTDataSource& source, int32_t chunk) {
  UTFormat format;
  source.getFormat(&format);
  Bytes out;
  Bytes buffer(static_cast<size_t>(chunk * format.bytesPerFrame));
  for (;;) {
    const int32_t got = source.read(buffer.data(), chunk);
    if (got <= 0) break;
    out.insert(out.end(), buffer.begin(), buffer.begin() + got * format.bytesPerFrame);
  }
  return out;
}

void MaybeWriteSeed(const std::string& target, const std::string& name, const Bytes& bytes) {
  const char* folder = std::getenv("ZEP_WRITE_SOUND_SEEDS");
  if (!folder || !*folder) return;
  const std::filesystem::path dir = std::filesystem::path(folder) / target;
  std::filesystem::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
