#include "sound/wave_header.h"

#include <cstring>

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

}  // namespace

void WriteWaveHeader(uint8_t* out, int32_t channels, int32_t rate, int32_t bitsPerSample, uint32_t dataBytes) {
  const uint32_t blockAlign = uint32_t(channels) * (bitsPerSample == 8 ? 1 : 2);
  std::memcpy(out, "RIFF", 4);
  Put32(out + 4, dataBytes + 36);
  std::memcpy(out + 8, "WAVE", 4);
  std::memcpy(out + 12, "fmt ", 4);
  Put32(out + 16, 16);
  Put16(out + 20, 1);
  Put16(out + 22, uint32_t(channels));
  Put32(out + 24, uint32_t(rate));
  Put32(out + 28, uint32_t(rate) * blockAlign);
  Put16(out + 32, blockAlign);
  Put16(out + 34, uint32_t(bitsPerSample));
  std::memcpy(out + 36, "data", 4);
  Put32(out + 40, dataBytes);
}
