// Fuzzes the WAVE source (and the decoder choice in front of it): any bytes
// through a memory descriptor, read, sought and resolved for loops; nothing
// may end the process or break a decoder contract.
#include <cstddef>
#include <cstdint>

#include "fuzz/sound_source_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSoundSourceInit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSoundSource(data, size);
  return 0;
}
