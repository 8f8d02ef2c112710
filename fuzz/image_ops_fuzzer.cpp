// Fuzzes the pixel-image operations with sizes, colours and operation choices
// read from the input: resampling, halving, fills, colour filters, outline
// images, compositing, blank textures and copy-on-write sharing, on two
// images that the operations replace as they go. Sizes stay small (at most
// 255 a side) except for sizes past the image cap, which must be refused
// without allocating; each result is checked against what its operation
// promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "app/log.h"
#include "gdev/image_ops.h"
#include "gdev/rgba_image.h"
#include "gdev/texture_manager.h"

namespace {

// The input as a stream of bytes; zeros once it is used up.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  int32_t signedByte() { return static_cast<int8_t>(byte()); }

  // One side of a requested size: mostly -8..247, now and then the exact
  // cap or a side past it (refused whatever the other side is).
  int32_t side() {
    const uint8_t b = byte();
    if (b < 248) return static_cast<int32_t>(b) - 8;
    static constexpr int32_t kLarge[8] = {16384, 16385, 20000, 50000, 1 << 20, 1 << 30, 0x7FFFFFFF, -0x7FFFFFFF};
    return kLarge[b - 248];
  }
  // A width and height whose allocation stays small: the exact cap (16384)
  // is allowed only beside a side of 1.
  std::pair<int32_t, int32_t> size() {
    int32_t w = side();
    int32_t h = side();
    if (w == kMaxImageSide && h > 1 && h <= kMaxImageSide) h = 1;
    if (h == kMaxImageSide && w > 1 && w <= kMaxImageSide) w = 1;
    return {w, h};
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Within the cap, or nothing to allocate.
bool Fits(int64_t w, int64_t h) { return w <= 0 || h <= 0 || (w <= kMaxImageSide && h <= kMaxImageSide); }

// A w x h image of input bytes (w, h in 1..64).
RGBAImageRef MakeImage(Input& in) {
  const int32_t w = 1 + in.byte() % 64;
  const int32_t h = 1 + in.byte() % 64;
  RGBAImage image(0, w, h);
  const uint8_t seed = in.byte();
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = static_cast<uint8_t>(in.empty() ? seed * 31 + i * 7 : in.byte());
  }
  return RGBAImageRef(std::move(image));
}

bool Whole(const RGBAImage* image) {
  return image && image->width >= 0 && image->height >= 0 &&
         image->pixels.size() == static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
}

void Check(bool ok) {
  if (!ok) abort();
}

void Resample(Input& in, RGBAImageRef& out, const RGBAImageRef& source) {
  const auto [w, h] = in.size();
  const RGBAImage* src = source.get();
  const std::vector<uint8_t> before = src->pixels;
  const int32_t sw = src->width;
  const int32_t sh = src->height;
  ResampleImage(out, source, w, h);
  const RGBAImage* o = out.get();
  Check(Whole(o));
  if (w <= 0 || h <= 0 || !Fits(w, h)) {
    Check(o->width == 0 && o->height == 0);
    return;
  }
  Check(o->width == w && o->height == h);
  if (sw <= 0 || sh <= 0) {
    // Nothing to sample: zeros.
    Check(std::all_of(o->pixels.begin(), o->pixels.end(), [](uint8_t v) { return v == 0; }));
    return;
  }
  // Corners map to corners (a 1-wide target takes the first column).
  const uint8_t* first = before.data();
  Check(std::equal(first, first + 4, o->pixel(0, 0)));
  if (w > 1 && h > 1) {
    const uint8_t* last = before.data() + (static_cast<size_t>(sh - 1) * static_cast<size_t>(sw) + (sw - 1)) * 4;
    Check(std::equal(last, last + 4, o->pixel(w - 1, h - 1)));
  }
}

void Halve(RGBAImageRef& out, const RGBAImageRef& source) {
  const RGBAImage* src = source.get();
  const std::vector<uint8_t> top(src->pixels.begin(), src->pixels.begin() + std::min<size_t>(8, src->pixels.size()));
  const int32_t sw = src->width;
  const int32_t sh = src->height;
  const std::vector<uint8_t> below =
      sh >= 2 ? std::vector<uint8_t>(src->pixel(0, 1), src->pixel(0, 1) + std::min(8, sw * 4)) : std::vector<uint8_t>();
  HalveImage(out, source);
  const RGBAImage* o = out.get();
  Check(Whole(o) && o->width == sw / 2 && o->height == sh / 2);
  if (o->width > 0 && o->height > 0) {
    for (int c = 0; c < 4; ++c) {
      const uint32_t sum = top[c] + top[4 + c] + below[c] + below[4 + c];
      Check(o->pixel(0, 0)[c] == (sum >> 2));
    }
  }
}

void Fill(Input& in, RGBAImageRef& image) {
  const int32_t r = in.signedByte() * 3, g = in.signedByte(), b = in.byte(), a = in.signedByte() * 257;
  FillImage(image, r, g, b, a);
  const RGBAImage* p = image.get();
  const uint8_t want[4] = {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r),
                           static_cast<uint8_t>(a)};
  for (size_t i = 0; i + 4 <= p->pixels.size(); i += 4) Check(std::equal(want, want + 4, p->pixels.data() + i));
}

void Filter(Input& in, RGBAImageRef& image) {
  const int32_t mode = in.byte() % 4;
  const std::vector<uint8_t> before = image->pixels;
  ApplyColorFilter(image, mode);
  const std::vector<uint8_t>& after = image->pixels;
  Check(after.size() == before.size());
  for (size_t i = 0; i + 4 <= after.size(); i += 4) {
    Check(after[i + 3] == before[i + 3]);
    if (mode == 1) Check(after[i] == after[i + 1] && after[i + 1] == after[i + 2]);
    if (mode != 1 && mode != 2) Check(std::equal(before.begin() + i, before.begin() + i + 4, after.begin() + i));
  }
}

// dest := an outline or a composite of source; mismatched sizes write nothing.
void EdgeOrBlend(Input& in, bool edge, RGBAImageRef& dest, const RGBAImageRef& source) {
  const bool sameSize = dest->width == source->width && dest->height == source->height;
  const bool sameBytes = dest->pixels.size() == source->pixels.size();
  const std::vector<uint8_t> before = dest->pixels;
  if (edge) {
    const int32_t r = in.signedByte(), g = in.byte(), b = in.signedByte() * 300;
    MakeEdgeImage(dest, source, r, g, b);
    if (!sameSize) Check(dest->pixels == before);
  } else {
    BlendImageOver(dest, source);
    if (!sameBytes) Check(dest->pixels == before);
  }
  Check(Whole(dest.get()) && dest->pixels.size() == before.size());
}

void Blank(Input& in) {
  const auto [w, h] = in.size();
  ZEPTextureManager manager;
  ZEPTextureRef texture;
  const int32_t code = manager.createBlank(texture, w, h, 1, 3);
  Check(texture && Whole(texture->image().get()));
  const bool fits = Fits(std::max(w, 0), std::max(h, 0));
  Check(code == (fits ? 0 : 1));
  const RGBAImage* image = texture->image().get();
  if (fits) {
    Check(image->width == std::max(w, 0) && image->height == std::max(h, 0));
    Check(std::all_of(image->pixels.begin(), image->pixels.end(), [](uint8_t v) { return v == 0; }));
  } else {
    Check(image->width == 0 && image->height == 0 && texture->width() == 0);
  }
}

// A write through a shared image leaves the other sharer's pixels alone.
void ShareAndWrite(Input& in, RGBAImageRef& image) {
  RGBAImageRef other = image.share();
  const std::vector<uint8_t> before = other->pixels;
  FillImage(image, in.byte(), in.byte(), in.byte(), in.byte());
  Check(other->pixels == before);
  image = other;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Refusals log a WARN each; the results are what is checked here.
  static const bool quiet = (SetLogLevelMask(0), true);
  (void)quiet;
  Input in(data, size);
  RGBAImageRef images[2] = {MakeImage(in), MakeImage(in)};
  for (int step = 0; step < 24 && !in.empty(); ++step) {
    const uint8_t op = in.byte();
    RGBAImageRef& a = images[op >> 7];
    RGBAImageRef& b = images[1 - (op >> 7)];
    switch (op % 10) {
      case 0: Resample(in, a, b); break;
      case 1: Resample(in, a, a); break;
      case 2: Halve(a, in.byte() % 2 ? a : b); break;
      case 3: Fill(in, a); break;
      case 4: Filter(in, a); break;
      case 5: EdgeOrBlend(in, true, a, in.byte() % 2 ? a : b); break;
      case 6: EdgeOrBlend(in, false, a, in.byte() % 2 ? a : b); break;
      case 7: Blank(in); break;
      case 8: ShareAndWrite(in, a); break;
      default: {
        const auto [w, h] = in.size();
        const RGBAImage made(0, w, h);
        Check(Fits(w, h) ? made.width == w && made.height == h : made.width == 0 && made.pixels.empty());
        if (w > 0 && h > 0 && Fits(w, h)) a = RGBAImageRef(RGBAImage(0, w, h));
        break;
      }
    }
  }
  return 0;
}
