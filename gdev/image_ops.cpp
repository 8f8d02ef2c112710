// The pixel-image operations (the 1x1 colour texture belongs to the texture
// manager). Images are BGRA; pixels are written only
// through RGBAImageRef::getWA. Size mismatches and broken images (fewer bytes
// than width x height x 4) never read or write out of bounds. Main thread.
#include "gdev/image_ops.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "app/log.h"

namespace {

// width x height x 4 as a byte count; 0 for a negative size.
size_t ByteCount(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
}

// True when the image has at least one pixel and all the bytes its size says.
bool HasPixels(const RGBAImage* image) {
  return image && image->width > 0 && image->height > 0 &&
         image->pixels.size() >= ByteCount(image->width, image->height);
}

// One column (or row) of the resampling: the two source indices and the
// weight of the second, 0..256.
struct Tap {
  size_t first;
  size_t second;
  uint32_t weight;
};

// Corner-to-corner mapping of target index t (0..target-1) onto a source of
// `source` pixels: u = t x (source - 1), index u / (target - 1), weight
// (u mod (target - 1)) x 256 / (target - 1); at the last source pixel the
// pair is (source - 2, source - 1) with weight 256. A target of 1 takes
// source index 0, a source of 1 is replicated.
std::vector<Tap> MakeTaps(int32_t target, int32_t source) {
  std::vector<Tap> taps(static_cast<size_t>(target));
  if (target == 1 || source == 1) {
    for (Tap& tap : taps) tap = {0, 0, 0};
    return taps;
  }
  const int64_t last = source - 1;
  const int64_t span = target - 1;
  for (int32_t t = 0; t < target; ++t) {
    const int64_t u = static_cast<int64_t>(t) * last;
    int64_t index = u / span;
    int64_t weight = (u % span) * 256 / span;
    if (index >= last) {
      index = last - 1;
      weight = 256;
    }
    taps[static_cast<size_t>(t)] = {static_cast<size_t>(index), static_cast<size_t>(index + 1),
                                    static_cast<uint32_t>(weight)};
  }
  return taps;
}

uint8_t LowByte(int32_t value) { return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF); }

// Truncates and clamps to 0..255 (v is never far outside that range).
uint8_t TruncateToByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<uint8_t>(static_cast<int32_t>(v));
}

// Rows for output red, green, blue; columns for input red, green, blue.
struct ColorMatrix {
  float m[3][3];
};

constexpr ColorMatrix kGrey = {{{0.3f, 0.59f, 0.11f}, {0.3f, 0.59f, 0.11f}, {0.3f, 0.59f, 0.11f}}};
constexpr ColorMatrix kSepia = {
    {{0.3f, 0.59f, 0.11f}, {0.28235295f, 0.5552941f, 0.10352941f}, {0.21176472f, 0.4164706f, 0.07764706f}}};

// One output channel in single precision: ((cr x r + cg x g) + cb x b) + 0.5.
// Each product is its own statement so that no compiler fuses them into FMAs
// (the result is pinned byte-exact).
uint8_t FilterChannel(const float* row, float r, float g, float b) {
  const float pr = row[0] * r;
  const float pg = row[1] * g;
  const float pb = row[2] * b;
  float sum = pr + pg;
  sum = sum + pb;
  sum = sum + 0.5f;
  return TruncateToByte(sum);
}

}  // namespace

void ResampleImage(RGBAImageRef& out, const RGBAImageRef& source, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || !ImageSizeWithinCap(u"ResampleImage", width, height)) {
    out = RGBAImageRef(RGBAImage(0, 0, 0));
    return;
  }
  RGBAImageRef result(RGBAImage(0, width, height));
  const RGBAImage* src = source.get();
  if (HasPixels(src)) {
    RGBAImage* dst = result.getWA();
    const std::vector<Tap> columns = MakeTaps(width, src->width);
    const std::vector<Tap> rows = MakeTaps(height, src->height);
    const size_t srcStride = src->stride();
    const uint8_t* in = src->pixels.data();
    uint8_t* o = dst->pixels.data();
    for (const Tap& row : rows) {
      const uint8_t* row0 = in + row.first * srcStride;
      const uint8_t* row1 = in + row.second * srcStride;
      const uint32_t wy = row.weight;
      for (const Tap& column : columns) {
        const uint32_t wx = column.weight;
        const uint32_t w00 = (256 - wx) * (256 - wy);
        const uint32_t w01 = wx * (256 - wy);
        const uint32_t w10 = (256 - wx) * wy;
        const uint32_t w11 = wx * wy;
        const uint8_t* p00 = row0 + column.first * 4;
        const uint8_t* p01 = row0 + column.second * 4;
        const uint8_t* p10 = row1 + column.first * 4;
        const uint8_t* p11 = row1 + column.second * 4;
        for (int c = 0; c < 4; ++c) {
          // At most 255 x 65536: fits 32 bits.
          *o++ = static_cast<uint8_t>((p00[c] * w00 + p01[c] * w01 + p10[c] * w10 + p11[c] * w11) >> 16);
        }
      }
    }
  }
  out = std::move(result);
}

void HalveImage(RGBAImageRef& out, const RGBAImageRef& source) {
  const RGBAImage* src = source.get();
  if (!src) {
    out = RGBAImageRef(RGBAImage(0, 0, 0));
    return;
  }
  const int32_t width = std::max(src->width, 0) / 2;
  const int32_t height = std::max(src->height, 0) / 2;
  if (!ImageSizeWithinCap(u"HalveImage", width, height)) {
    out = RGBAImageRef(RGBAImage(0, 0, 0));
    return;
  }
  RGBAImageRef result(RGBAImage(0, width, height));
  if (width > 0 && height > 0 && HasPixels(src)) {
    RGBAImage* dst = result.getWA();
    const size_t stride = src->stride();
    uint8_t* o = dst->pixels.data();
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* top = src->pixels.data() + static_cast<size_t>(2 * y) * stride;
      const uint8_t* bottom = top + stride;
      for (int32_t x = 0; x < width; ++x) {
        const size_t at = static_cast<size_t>(x) * 8;
        for (size_t c = 0; c < 4; ++c) {
          const uint32_t sum = top[at + c] + top[at + 4 + c] + bottom[at + c] + bottom[at + 4 + c];
          *o++ = static_cast<uint8_t>(sum >> 2);
        }
      }
    }
  }
  out = std::move(result);
}

void FillImage(RGBAImageRef& image, int32_t red, int32_t green, int32_t blue, int32_t alpha) {
  RGBAImage* dst = image.getWA();
  if (!dst) return;
  const uint8_t bgra[4] = {LowByte(blue), LowByte(green), LowByte(red), LowByte(alpha)};
  std::vector<uint8_t>& p = dst->pixels;
  for (size_t i = 0; i + 4 <= p.size(); i += 4) std::copy(bgra, bgra + 4, p.begin() + static_cast<ptrdiff_t>(i));
}

void ApplyColorFilter(RGBAImageRef& image, int32_t mode) {
  const ColorMatrix* matrix = mode == 1 ? &kGrey : mode == 2 ? &kSepia : nullptr;
  if (!matrix) return;
  RGBAImage* dst = image.getWA();
  if (!dst) return;
  std::vector<uint8_t>& p = dst->pixels;
  for (size_t i = 0; i + 4 <= p.size(); i += 4) {
    const float b = p[i];
    const float g = p[i + 1];
    const float r = p[i + 2];
    p[i + 2] = FilterChannel(matrix->m[0], r, g, b);
    p[i + 1] = FilterChannel(matrix->m[1], r, g, b);
    p[i] = FilterChannel(matrix->m[2], r, g, b);
  }
}

void MakeEdgeImage(RGBAImageRef& dest, const RGBAImageRef& source, int32_t red, int32_t green, int32_t blue) {
  const RGBAImage* d = dest.get();
  const RGBAImage* s = source.get();
  if (!d || !s || d->width != s->width || d->height != s->height || !HasPixels(d) || !HasPixels(s)) {
    LogWrite(LOG_TRACE, u"MakeEdgeImage: size mismatch (%dx%d, %dx%d)\n", d ? d->width : 0, d ? d->height : 0,
             s ? s->width : 0, s ? s->height : 0);
    return;
  }
  const int32_t width = s->width;
  const int32_t height = s->height;
  // The source alphas first: dest may be source itself.
  std::vector<uint8_t> alpha(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = s->pixels[i * 4 + 3];

  RGBAImage* dst = dest.getWA();
  const uint8_t b = LowByte(blue);
  const uint8_t g = LowByte(green);
  const uint8_t r = LowByte(red);
  const size_t w = static_cast<size_t>(width);
  // Per row, the columns' sums of the three rows first: the 3x3 sum with the
  // centre counted twice is then three column sums and the centre.
  std::vector<uint32_t> column(w);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* above = alpha.data() + static_cast<size_t>(y > 0 ? y - 1 : 0) * w;
    const uint8_t* here = alpha.data() + static_cast<size_t>(y) * w;
    const uint8_t* below = alpha.data() + static_cast<size_t>(y + 1 < height ? y + 1 : height - 1) * w;
    for (size_t x = 0; x < w; ++x) column[x] = above[x] + here[x] + below[x];
    uint8_t* o = dst->pixels.data() + static_cast<size_t>(y) * w * 4;
    const auto put = [&](size_t x, size_t left, size_t right) {
      const uint32_t sum = column[left] + column[x] + column[right] + here[x];
      o[x * 4] = b;
      o[x * 4 + 1] = g;
      o[x * 4 + 2] = r;
      o[x * 4 + 3] = static_cast<uint8_t>(std::min<uint32_t>(255, sum / 2));
    };
    put(0, 0, w > 1 ? 1 : 0);
    for (size_t x = 1; x + 1 < w; ++x) put(x, x - 1, x + 1);
    if (w > 1) put(w - 1, w - 2, w - 1);
  }
}

void BlendImageOver(RGBAImageRef& dest, const RGBAImageRef& source) {
  const RGBAImage* d = dest.get();
  const RGBAImage* s = source.get();
  if (!d || !s || d->pixels.size() != s->pixels.size()) {
    LogWrite(LOG_TRACE, u"BlendImageOver: size mismatch (%d, %d bytes)\n", d ? d->pixels.size() : 0,
             s ? s->pixels.size() : 0);
    return;
  }
  if (d->pixels.size() < 4) return;
  RGBAImage* dst = dest.getWA();
  // Copies of one handle, or the same image after getWA: a pixel is read
  // whole before it is written, so in place is fine.
  s = source.get();
  uint8_t* out = dst->pixels.data();
  const uint8_t* in = s->pixels.data();
  const size_t count = dst->pixels.size() / 4;
  for (size_t i = 0; i < count; ++i, out += 4, in += 4) {
    const uint32_t a = in[3] ? in[3] + 1u : 0u;    // 0..256
    const uint32_t b = out[3] ? out[3] + 1u : 0u;  // 0..256
    const uint32_t o = b - ((b * a) >> 8) + a;     // 0..256
    if (o == 0) {
      out[0] = out[1] = out[2] = out[3] = 0;
      continue;
    }
    const uint32_t k = (256 - a) * b;
    for (int c = 0; c < 3; ++c) {
      // Below 2^25: fits 32 bits; the result is at most 255.
      out[c] = static_cast<uint8_t>(((k * out[c] + ((a * in[c]) << 8)) / o) >> 8);
    }
    out[3] = static_cast<uint8_t>(o - 1);
  }
}
