// The device base: the state every device keeps, the start-up error text and
// the texture-size helpers shared with the engine's textures. Main thread.
#include "gdev/gdev.h"

GDev::GDev() = default;
GDev::~GDev() = default;

std::u16string& GDevStartupErrorText() {
  static std::u16string text;
  return text;
}

int32_t RoundUpPow2(int32_t size) {
  int32_t p = 1;
  while (p < size && p < (1 << 30)) p <<= 1;
  return p;
}

float TextureExtent(int32_t pictureSize, int32_t creationSize) {
  return static_cast<float>(pictureSize) / static_cast<float>(RoundUpPow2(creationSize));
}
