// ZEPTexture: the engine's texture, a (named or unnamed) pixel image with the
// device texture made from it on its first draw; ZEPTextureRef, the counted
// handle owners hold; and the drawing calls that take engine textures where
// the device wants device textures. Textures are made and freed only by the
// texture manager (gdev/texture_manager.h). Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gdev/gdev.h"
#include "gdev/rgba_image.h"

class ZEPTextureManager;

class ZEPTexture {
 public:
  // How the device texture reads this texture's pixels and writes back what
  // was rendered into it.
  class MyGDevPixelSource : public GDevPixelSource {
   public:
    explicit MyGDevPixelSource(ZEPTexture* owner) : owner_(owner) {}
    // out := another holder of the texture's image (same pixels, same count).
    void getImage(RGBAImageRef& out) override;
    uint32_t getRevision() override;
    // Copies the bytes into the (writable) image and moves the revision on.
    // Bytes of any other count than the image's are refused: nothing is
    // written and an ERROR line says so.
    void setPixels(const std::vector<uint8_t>& bgra) override;
    // The device was terminated: the texture forgets its device texture
    // (without releasing it) and makes a new one on its next draw.
    void deviceTextureDeleted(GDevTexture* texture) override;

   private:
    ZEPTexture* owner_;
  };

  ZEPTexture(const ZEPTexture&) = delete;
  ZEPTexture& operator=(const ZEPTexture&) = delete;

  // Makes the device texture when there is none yet (image size, alpha kind
  // of the image, this texture's pixel source). Without a device, or when
  // the device refuses, the texture stays without one and the next draw
  // tries again; an ERROR line is written once until a device texture is
  // made again.
  void ensureDeviceTexture();
  // Gives the device texture back to the device; the pixels stay.
  void releaseDeviceTexture();
  // The share of the device texture the picture covers, horizontally and
  // vertically (width / power-of-two storage width). Before the device
  // texture exists: texture width / image width (1 for an empty image).
  float getUExtent() const;
  float getVExtent() const;

  // Marks the pixels as changed (after writing through image().getWA()), so
  // the device texture uploads them again.
  void bumpRevision() { ++revision_; }

  const std::u16string& name() const { return name_; }
  // The shared pixels; owners that draw into them call bumpRevision.
  RGBAImageRef& image() { return image_; }
  const RGBAImageRef& image() const { return image_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t coordMode() const { return coordMode_; }
  int32_t secondMode() const { return secondMode_; }
  GDevTexture* deviceTexture() const { return deviceTexture_; }
  GDevPixelSource* pixelSource() { return &pixelSource_; }
  uint32_t revision() const { return revision_; }
  int32_t refCount() const { return refCount_; }
  // Manager clock milliseconds of the last release (0 before the first).
  uint64_t lastReleaseTime() const { return lastReleaseTime_; }

 private:
  friend class ZEPTextureManager;
  friend class ZEPTextureRef;

  // Count 1, revision 1, no device texture.
  ZEPTexture(ZEPTextureManager* manager, std::u16string name, RGBAImageRef image, int32_t width,
             int32_t height, int32_t coordMode, int32_t secondMode);
  ~ZEPTexture();

  void addRef() { ++refCount_; }
  // Below count 1 the texture goes to its manager's release rule (or is
  // deleted when the manager is gone).
  void release();

  MyGDevPixelSource pixelSource_;
  uint32_t revision_ = 1;
  int32_t refCount_ = 1;
  std::u16string name_;  // empty: made from an image in memory
  RGBAImageRef image_;
  int32_t width_;
  int32_t height_;
  int32_t secondMode_;
  int32_t coordMode_;  // 1: source rectangles are fractions of the picture
  GDevTexture* deviceTexture_ = nullptr;
  uint64_t lastReleaseTime_ = 0;
  ZEPTextureManager* manager_;
};

// The handle owners hold. Copies share the texture and count it; the last
// handle to go hands the texture back to the manager.
class ZEPTextureRef {
 public:
  ZEPTextureRef() = default;
  ZEPTextureRef(const ZEPTextureRef& other);
  ZEPTextureRef(ZEPTextureRef&& other) noexcept : texture_(other.texture_) { other.texture_ = nullptr; }
  ZEPTextureRef& operator=(const ZEPTextureRef& other);
  ZEPTextureRef& operator=(ZEPTextureRef&& other) noexcept;
  ~ZEPTextureRef() { reset(); }

  ZEPTexture* get() const { return texture_; }
  ZEPTexture* operator->() const { return texture_; }
  explicit operator bool() const { return texture_ != nullptr; }
  bool operator==(const ZEPTextureRef& other) const { return texture_ == other.texture_; }
  // Lets go of the texture; the handle becomes empty.
  void reset();

 private:
  friend class ZEPTextureManager;
  // Takes over the count a new or revived texture already carries.
  static ZEPTextureRef adopt(ZEPTexture* texture);

  ZEPTexture* texture_ = nullptr;
};

// Drawing with engine textures. Each makes the textures' device textures
// when needed and draws nothing while any of them is missing (or there is no
// device). A texture of coordinate mode 1 has its source rectangle scaled by
// its extents, so (0, 0, 1, 1) is the whole picture.
void DrawTextureRect(const GDevRectF& rect, const GDevUV& uv, ZEPTexture* texture, int32_t blend,
                     int32_t alphaBlend, int32_t premultiplied);
void DrawTextureRectI(const GDevRect& rect, const GDevUV& uv, ZEPTexture* texture, int32_t blend,
                      int32_t alphaBlend, int32_t premultiplied);
void DrawTextureRectColored(const GDevRect& rect, const GDevUV& uv, const float color[4], ZEPTexture* texture,
                            int32_t blend, int32_t alphaBlend, int32_t premultiplied);
void DrawTexture2Rect(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, ZEPTexture* first,
                      ZEPTexture* second, int32_t blend, int32_t alphaBlend);
void DrawTexture2RectEx(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, ZEPTexture* first,
                        ZEPTexture* second, const float color[4], int32_t blend, int32_t alphaBlend);
void DrawCrossFade(const GDevRect& rect1, const GDevUV& uv1, const GDevRect& rect2, const GDevUV& uv2,
                   ZEPTexture* first, ZEPTexture* second, float progress, int32_t blend, int32_t alphaBlend);
void DrawRuleFade(const GDevRect& fromRect, const GDevUV& fromUV, const GDevRect& toRect, const GDevUV& toUV,
                  const GDevRect& ruleRect, const GDevUV& ruleUV, ZEPTexture* from, ZEPTexture* to,
                  ZEPTexture* rule, int32_t blend, int32_t alphaBlend);
