#include "sound/sound_records.h"

SoundBytes MakeSoundBytes(const uint8_t* data, size_t size) {
  static const SoundBytes empty(new std::vector<uint8_t>());
  if (data == nullptr || size == 0) return empty;
  return SoundBytes(new std::vector<uint8_t>(data, data + size));
}
