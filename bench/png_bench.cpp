// PNG decode throughput of a 1280 x 720 RGBA picture (as the engine writes
// them), in MB/s of decoded pixels: the codec from memory and from a stream,
// next to libpng's own simplified reader on the same bytes, so the codec's
// overhead reads as a ratio of the figures.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/input_stream.h"
#include "gdev/png_util.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;

// Gradients with soft noise and a translucent band: compresses like drawn
// game art rather than like flat colour or pure noise.
const std::vector<uint8_t>& PictureFile() {
  static const std::vector<uint8_t> file = [] {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const uint8_t noise = uint8_t((seed >> 24) & 7);
        uint8_t* p = pixels.data() + (size_t(y) * kWidth + x) * 4;
        p[0] = uint8_t(x / 5 + noise);
        p[1] = uint8_t(y / 3 + noise);
        p[2] = uint8_t((x + y) / 8);
        p[3] = (y > 500 && y < 600) ? 160 : 255;
      }
    }
    std::vector<uint8_t> png;
    if (EncodePngToMemory(&png, pixels, kWidth, kHeight, 8, true, kPngEngineFlags) != 0) abort();
    return png;
  }();
  return file;
}

class MemoryStream : public ZEPInputStream {
 public:
  explicit MemoryStream(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool read(void* buffer, size_t count, size_t* got) override {
    *got = count < bytes_.size() - pos_ ? count : bytes_.size() - pos_;
    memcpy(buffer, bytes_.data() + pos_, *got);
    pos_ += *got;
    return true;
  }
  bool isEOF() override { return pos_ == bytes_.size(); }
  bool isError() override { return false; }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t pos_ = 0;
};

void SetPixelBytes(benchmark::State& state) {
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
  state.counters["file_bytes"] = double(PictureFile().size());
}

void BM_CodecFromMemory(benchmark::State& state) {
  const std::vector<uint8_t>& file = PictureFile();
  std::vector<uint8_t> pixels;
  int32_t w = 0, h = 0, c = 0;
  for (auto _ : state) {
    std::vector<uint8_t>().swap(pixels);  // a fresh vector each time, as the loader has
    if (GetPngUtil()->decodeFromMemory(file.data(), file.size(), &pixels, &w, &h, &c, kPngEngineFlags) != 0) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(pixels.data());
  }
  SetPixelBytes(state);
}
BENCHMARK(BM_CodecFromMemory)->Unit(benchmark::kMillisecond);

void BM_CodecFromStream(benchmark::State& state) {
  const std::vector<uint8_t>& file = PictureFile();
  std::vector<uint8_t> pixels;
  int32_t w = 0, h = 0, c = 0;
  for (auto _ : state) {
    std::vector<uint8_t>().swap(pixels);
    MemoryStream stream(file);
    if (DecodePngStream(&stream, &pixels, &w, &h, &c, kPngEngineFlags) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  SetPixelBytes(state);
}
BENCHMARK(BM_CodecFromStream)->Unit(benchmark::kMillisecond);

void BM_LibpngSimplifiedReader(benchmark::State& state) {
  const std::vector<uint8_t>& file = PictureFile();
  std::vector<uint8_t> pixels;
  int32_t w = 0, h = 0;
  for (auto _ : state) {
    std::vector<uint8_t>().swap(pixels);
    if (DecodePngWithImageApi(file.data(), file.size(), &pixels, &w, &h) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  SetPixelBytes(state);
}
BENCHMARK(BM_LibpngSimplifiedReader)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
