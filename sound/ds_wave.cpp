// WAVE parsing (64-bit chunk offsets, sizes clamped to the media) and PCM
// reads that fill what could not be read with silence.
#include "sound/ds_wave.h"

#include <algorithm>
#include <cstring>

#include "app/format.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Reads exactly `bytes` bytes at `offset`; false when the media has fewer.
bool ReadAt(UTMedia& media, int64_t offset, void* buffer, size_t bytes) {
  return media.seek(offset, 0) == offset && media.read(buffer, bytes) == bytes;
}

constexpr int32_t kMinRate = 100;
constexpr int32_t kMaxRate = 200000;

}  // namespace

bool DSWave::check(UTMedia& media, std::u16string* problem) {
  uint8_t head[44] = {};
  media.seek(0, 0);
  const size_t got = media.read(head, sizeof head);
  media.seek(0, 0);
  if (got < 22 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0 ||
      std::memcmp(head + 12, "fmt ", 4) != 0) {
    return false;
  }
  const uint16_t tag = Le16(head + 20);
  // 0xFFFE (extensible) is what encoders write for 24-bit sound or more
  // than two channels; 3 is floating point.
  if (tag != 1 && problem) *problem = Format(u"DSWave : unsupported format tag 0x%04X", tag);
  return tag == 1;
}

std::unique_ptr<DSWave> DSWave::open(std::unique_ptr<UTMedia>& media, std::u16string* problem) {
  problem->clear();
  auto refuse = [problem](std::u16string why) {
    *problem = std::move(why);
    return nullptr;
  };
  const int64_t size = media->size();
  uint8_t riff[12];
  if (size < 12 || !ReadAt(*media, 0, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0 || size < 38) {
    return refuse(u"DSWave : not a RIFF WAVE file");
  }
  // "fmt " chunk header and the 16 bytes of PCM format data, at 12.
  uint8_t fmt[26];
  if (!ReadAt(*media, 12, fmt, sizeof fmt) || std::memcmp(fmt, "fmt ", 4) != 0 || Le16(fmt + 8) != 1) {
    return refuse(u"DSWave : no PCM format chunk");
  }
  const uint32_t fmtSize = Le32(fmt + 4);
  const int32_t channels = Le16(fmt + 10);
  const uint32_t rate = Le32(fmt + 12);
  const int32_t bits = Le16(fmt + 22);
  // A shorter format chunk would take its sample size from the next chunk.
  if (fmtSize < 16) {
    return refuse(Format(u"DSWave : format chunk of %u bytes is too short", fmtSize));
  }

  // Offsets in 64 bits: chunk sizes up to 2^32 - 1 cannot wrap the walk.
  int64_t chunk = 20 + static_cast<int64_t>(fmtSize);
  while (chunk + 8 <= size) {
    uint8_t header[8];
    if (!ReadAt(*media, chunk, header, sizeof header)) break;
    const int64_t chunkSize = Le32(header + 4);
    if (std::memcmp(header, "data", 4) != 0) {
      chunk += 8 + chunkSize + (chunkSize & 1);
      continue;
    }
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate < kMinRate || rate > kMaxRate) {
      return refuse(
          Format(u"DSWave : unsupported PCM format (%d channels, %d bits, %u Hz)", channels, bits, rate));
    }
    UTFormat format;
    format.sampleRate = static_cast<int32_t>(rate);
    format.channels = channels;
    format.bitsPerSample = bits;
    format.bytesPerFrame = channels * (bits == 8 ? 1 : 2);
    const int64_t dataOffset = chunk + 8;
    // The data ends where the media does, whatever its header claims.
    const int64_t dataBytes = std::min(chunkSize, size - dataOffset);
    if (dataBytes < chunkSize) {
      *problem = Format(u"DSWave : the data chunk declares %I64d bytes, the file holds %I64d of them", chunkSize,
                        dataBytes);
    }
    format.length = dataBytes / format.bytesPerFrame;
    return std::unique_ptr<DSWave>(new DSWave(std::move(media), format, dataOffset));
  }
  return refuse(u"DSWave : no data chunk");
}

DSWave::DSWave(std::unique_ptr<UTMedia> media, const UTFormat& format, int64_t dataOffset)
    : format_(format), media_(std::move(media)), dataOffset_(dataOffset) {}

int32_t DSWave::getFormat(UTFormat* out) const {
  *out = format_;
  return 0;
}

int32_t DSWave::getMetaData(MetaDataList* out) const {
  *out = meta_;
  return 0;
}

int32_t DSWave::read(void* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int64_t frameBytes = format_.bytesPerFrame;
  auto* out = static_cast<uint8_t*>(buffer);
  const int64_t wanted = std::min<int64_t>(frames, format_.length - position_);
  int64_t delivered = 0;
  if (wanted > 0 && media_->seek(dataOffset_ + position_ * frameBytes, 0) >= 0) {
    const size_t got = media_->read(out, static_cast<size_t>(wanted * frameBytes));
    delivered = static_cast<int64_t>(got) / frameBytes;
  }
  // Whatever was not read, a short read's partial frame included, is silence.
  const uint8_t silence = format_.bitsPerSample == 8 ? 0x80 : 0;
  std::memset(out + delivered * frameBytes, silence, static_cast<size_t>((frames - delivered) * frameBytes));
  position_ += delivered;
  return static_cast<int32_t>(delivered);
}

int64_t DSWave::seek(int64_t frame) {
  if (frame >= 0 && frame <= format_.length) position_ = frame;
  return position_;
}

void DSWave::restoreSeekPoint(const DSSeekPoint& point) { seek(point.frame); }

int32_t DSWave::createSeekPoint(int64_t frame, std::unique_ptr<DSSeekPoint>* out) const {
  *out = std::make_unique<WaveSeekPoint>(frame);
  return 0;
}
