// Fuzzes the encoded-block decoders: the whole-buffer decoder and the
// streaming decoder fed in pieces of varying size, on raw input and on input
// made into a valid header so the bodies get exercised.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/ee_codec.h"

namespace {

void streamDecode(const uint8_t* data, size_t size, size_t piece) {
  CommonLib::EEStreamDec decoder;
  size_t consumed = 0;
  if (!decoder.begin(data, size, &consumed)) return;
  size_t pos = consumed;
  uint8_t out[777];
  bool done = false;
  // Every call either makes progress or the loop ends: bounded by the input.
  for (int stalls = 0; !done && stalls < 3;) {
    const size_t chunk = pos < size ? (size - pos < piece ? size - pos : piece) : 0;
    size_t made = 0;
    if (!decoder.decode(data + pos, chunk, &consumed, out, sizeof out, &made, &done)) return;
    pos += consumed;
    stalls = (consumed == 0 && made == 0) ? stalls + 1 : 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  DecodeEEBuffer(&out, data, size);
  streamDecode(data, size, 1 + (size % 97));

  // The same bytes behind a valid header with a small plain size.
  if (size >= 2) {
    std::vector<uint8_t> block(8 + size - 2);
    memcpy(block.data(), (data[0] & 1) ? "EENZ" : "EENC", 4);
    const uint32_t plain = data[1] * 37u;
    for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<uint8_t>(plain >> (8 * i));
    memcpy(block.data() + 8, data + 2, size - 2);
    DecodeEEBuffer(&out, block.data(), block.size());
    streamDecode(block.data(), block.size(), 1 + (size % 13));
  }
  return 0;
}
