// Opening a descriptor: the media, the inverted-head check and the decoder
// choice.
#include "sound/ut_data_source.h"

#include <cstring>
#include <string>

#include "sound/ds_vorbis.h"
#include "sound/ds_wave.h"
#include "sound/sound_log.h"
#include "sound/ut_media.h"

namespace {

// The bitwise complements of "OggS" and "RIFF".
constexpr uint8_t kInvertedOgg[4] = {0xB0, 0x98, 0x98, 0xAC};
constexpr uint8_t kInvertedRiff[4] = {0xAD, 0xB6, 0xB9, 0xB9};

}  // namespace

std::u16string SoundMediaName(const SoundMediaDesc& desc) {
  return desc.kind == SoundMediaDesc::kFile ? u"'" + desc.path + u"'" : u"the sound data";
}

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
        UTLog(kUTFailure, u"failed to open '%s'\n", desc.path);
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

  // Why the media does not play, or what is wrong with one that does.
  std::u16string problem;
  int32_t result = kSoundUnrecognised;
  if (media->size() == 0) {
    problem = u"no data";
  } else if (DSWave::check(*media, &problem)) {
    media->seek(0, 0);
    if (std::unique_ptr<DSWave> wave = DSWave::open(media, &problem)) *out = std::move(wave);
  }
  if (!*out && media && media->size() > 0) {
    // A file that starts like WAVE keeps the WAVE parse's reason.
    std::u16string oggProblem;
    media->seek(0, 0);
    if (std::unique_ptr<DSVorbis> vorbis = DSVorbis::open(media, &result, &oggProblem)) {
      *out = std::move(vorbis);
      problem.clear();
    } else if (problem.empty()) {
      problem = std::move(oggProblem);
    }
  }
  if (*out) result = kSoundOk;
  if (problem.empty()) return result;
  const std::u16string what = SoundMediaName(desc);
  if (*out) {
    LogWrite(LOG_WARN, u"%s plays only in part (%s)\n", what, problem);
  } else {
    UTLog(kUTFailure, u"failed to open %s as WAVE or Ogg Vorbis (%s)\n", what, problem);
  }
  return result;
}
