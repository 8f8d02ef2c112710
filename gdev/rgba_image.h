// RGBAImage: the one pixel image of the engine, 32 bits per pixel in the
// byte order blue, green, red, alpha, rows top to bottom without padding.
// RGBAImageRef shares an image between owners (textures, layers, text
// surfaces, hit maps): copies of one handle are one logical image; share()
// makes another logical image over the same pixels, and the first write
// through either (getWA) gives the writer its own copy. Main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The cap on every pixel image allocated from a size: each side at most
// kMaxImageSide pixels and at most kMaxImagePixelBytes bytes of pixels
// (16384 x 16384 x 4 is exactly 1 GiB). The PNG reader, the image
// operations, the text renderers and the device textures all refuse sizes
// past it through ImageSizeWithinCap.
constexpr int64_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixelBytes = 0x40000000;  // 1 GiB

// True when width x height pixels may be allocated: each side at most
// kMaxImageSide and width x height x 4 at most kMaxImagePixelBytes. Sizes of
// 0 and below allocate nothing and pass (their callers keep their own rule
// for them). Past the cap: false, with the WARN "<who> : 画像が大きすぎる(%d x
// %d)\n" naming the size.
bool ImageSizeWithinCap(const char16_t* who, int64_t width, int64_t height);

struct RGBAImage {
  RGBAImage() = default;
  // All bytes 0. A size past the cap (ImageSizeWithinCap) gives an empty
  // image (0 x 0, no pixels) and a WARN; sizes of 0 and below are kept as
  // given, with no pixels.
  RGBAImage(int32_t format, int32_t width, int32_t height);
  // Copies the bytes.
  RGBAImage(int32_t format, int32_t width, int32_t height, const std::vector<uint8_t>& bytes);
  // Takes the bytes over; the caller's vector is left empty.
  RGBAImage(int32_t format, int32_t width, int32_t height, std::vector<uint8_t>&& bytes);

  // Bytes of one row.
  size_t stride() const { return static_cast<size_t>(width) * 4; }
  uint8_t* pixel(int32_t x, int32_t y) { return pixels.data() + static_cast<size_t>(y) * stride() + static_cast<size_t>(x) * 4; }
  const uint8_t* pixel(int32_t x, int32_t y) const {
    return pixels.data() + static_cast<size_t>(y) * stride() + static_cast<size_t>(x) * 4;
  }

  int32_t format = 0;  // 0 for every image the engine makes
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width x height x 4
};

class RGBAImageRef {
 public:
  // An empty handle.
  RGBAImageRef() = default;
  // A new logical image owning the image.
  explicit RGBAImageRef(RGBAImage image);
  RGBAImageRef(const RGBAImageRef& other);
  RGBAImageRef(RGBAImageRef&& other) noexcept;
  RGBAImageRef& operator=(const RGBAImageRef& other);
  RGBAImageRef& operator=(RGBAImageRef&& other) noexcept;
  ~RGBAImageRef();

  // A new logical image over the same pixels: a later write through either
  // separates them.
  RGBAImageRef share() const;

  // Read access; null for an empty handle.
  const RGBAImage* get() const;
  const RGBAImage* operator->() const { return get(); }
  // Write access: when other logical images share the pixels, logs
  // "getWA::copy\n" at TRACE and first copies them for this one. Null for
  // an empty handle.
  RGBAImage* getWA();

  explicit operator bool() const { return holder_ != nullptr; }
  void reset();

  // 1 when every alpha byte is 255, else 3.
  int32_t alphaKind() const;

 private:
  struct Node;
  struct Holder;
  Holder* holder_ = nullptr;
};
