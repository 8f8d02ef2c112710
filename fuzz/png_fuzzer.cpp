// Fuzzes the PNG codec: decoding from memory, and the stream path the image
// loader takes (here over a memory stream), in both byte orders and row
// orders. A decoded image must encode and decode back to the same pixels.
// Every input is also decoded as a large interlaced image: its header made
// to declare thousands of pixels a side, interlaced, over the same data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/input_stream.h"
#include "gdev/png_util.h"

namespace {

// A buffer read like a file: whole requests, short only at the end.
class MemoryStream : public ZEPInputStream {
 public:
  MemoryStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool read(void* buffer, size_t count, size_t* got) override {
    *got = count < size_ - pos_ ? count : size_ - pos_;
    memcpy(buffer, data_ + pos_, *got);
    pos_ += *got;
    return true;
  }
  bool isEOF() override { return pos_ == size_; }
  bool isError() override { return false; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

uint32_t bigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t crc32(const uint8_t* p, size_t n) {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(256);
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Rewrites the CRC of every whole chunk after the 8-byte signature.
void fixChunkCrcs(std::vector<uint8_t>* file) {
  uint8_t* d = file->data();
  size_t at = 8;
  while (at + 12 <= file->size()) {
    const uint64_t length = bigEndian(d + at);
    if (length > file->size() - at - 12) break;
    const uint32_t crc = crc32(d + at + 4, size_t(length) + 4);
    uint8_t* out = d + at + 8 + length;
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(crc >> (24 - 8 * i));
    at += 12 + size_t(length);
  }
}

// Decodes the bytes both ways; aborts when the paths disagree or a decoded
// image does not survive an encode and decode.
void checkOne(const uint8_t* data, size_t size) {
  PngUtil* codec = GetPngUtil();
  std::vector<uint8_t> pixels;
  int32_t width = 0, height = 0, channels = 0;
  const int32_t code = codec->decodeFromMemory(data, size, &pixels, &width, &height, &channels, kPngEngineFlags);

  MemoryStream stream(data, size);
  std::vector<uint8_t> streamed;
  int32_t w = 0, h = 0, c = 0;
  const int32_t streamCode = DecodePngStream(&stream, &streamed, &w, &h, &c, kPngBottomUp);
  // Both paths see the same bytes: they agree on success and on the size.
  if (code != streamCode || (code == 0 && (w != width || h != height || streamed.size() != pixels.size()))) {
    abort();
  }
  if (code != 0) return;
  if (channels != 4 || pixels.size() != size_t(width) * size_t(height) * 4) abort();

  std::vector<uint8_t> png;
  if (EncodePngToMemory(&png, pixels, width, height, 8, true, kPngEngineFlags) != 0) abort();
  std::vector<uint8_t> again;
  if (codec->decodeFromMemory(png.data(), png.size(), &again, &w, &h, &c, kPngEngineFlags) != 0 ||
      again != pixels) {
    abort();
  }
}

}  // namespace

// Pixels grow with the rows the data reach, interlaced or not, so any
// declared size up to the image cap costs what the input can expand to.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkOne(data, size);
  std::vector<uint8_t> fixed(data, data + size);
  fixChunkCrcs(&fixed);
  if (size > 8 && memcmp(fixed.data(), data, size) != 0) checkOne(fixed.data(), fixed.size());
  // The header chunk, at its place after the signature: 1024 to 16383
  // pixels a side (the input's own size picks them), interlaced.
  if (size >= 33 && memcmp(data + 12, "IHDR", 4) == 0) {
    std::vector<uint8_t> large = fixed;
    for (const size_t at : {size_t{16}, size_t{20}}) {
      const uint32_t side = 1024 + bigEndian(data + at) % 15360;
      for (int i = 0; i < 4; ++i) large[at + size_t(i)] = uint8_t(side >> (24 - 8 * i));
    }
    large[28] = 1;
    fixChunkCrcs(&large);
    checkOne(large.data(), large.size());
  }
  return 0;
}
