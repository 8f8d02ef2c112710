// Opening a descriptor: the media, the inverted-head check and the decoder
// choice.
#include "sound/ut_data_source.h"

#include <cstring>

#include "sound/ds_vorbis.h"
#include "sound/ds_wave.h"
#include "sound/sound_log.h"
#include "sound/ut_media.h"

namespace {

// The bitwise complements of "OggS" and "RIFF".
constexpr uint8_t kInvertedOgg[4] = {0xB0, 0x98, 0x98, 0xAC};
constexpr uint8_t kInvertedRiff[4] = {0xAD, 0xB6, 0xB9, 0xB9};

}  // namespace

int32_t OpenMediaDecoder(const SoundMediaDesc& desc, std::unique_ptr<UTDataSource>* out) {
  out->reset();
  std::unique_ptr<UTMedia> media;
  switch (desc.kind) {
    case SoundMediaDesc::kMemory:
      media = std::make_unique<UTMedia_MEM>(MakeSoundBytes(desc.data, desc.size));
      break;
    case SoundMediaDesc::kUnsupported:
      return kSoundUnsupported;
    case SoundMediaDesc::kFile:
      media = UTMedia_FILE::open(desc.path);
      if (!media) {
        UTLog(4, u"failed to open '%s'\n", desc.path);
        return kSoundCannotOpen;
      }
      break;
    default:
      return kSoundBadArgument;
  }

  uint8_t head[16];
  const size_t got = media->read(head, sizeof head);
  media->seek(0, 0);
  if (got == sizeof head &&
      (std::memcmp(head, kInvertedOgg, 4) == 0 || std::memcmp(head, kInvertedRiff, 4) == 0)) {
    media = std::make_unique<UTMedia_Decriptor>(std::move(media));
  }

  if (DSWave::check(*media)) {
    media->seek(0, 0);
    if (std::unique_ptr<DSWave> wave = DSWave::open(media)) {
      *out = std::move(wave);
      return kSoundOk;
    }
  }
  media->seek(0, 0);
  int32_t result = kSoundUnrecognised;
  if (std::unique_ptr<DSVorbis> vorbis = DSVorbis::open(media, &result)) {
    *out = std::move(vorbis);
    return kSoundOk;
  }
  return result;
}
