// Engine textures and their handles, the glue to device textures (lazy
// creation, extents in power-of-two storage) and the drawing calls that take
// engine textures. Freeing is the texture manager's. Main thread only.
#include "gdev/zep_texture.h"

#include <algorithm>
#include <utility>

#include "app/log.h"
#include "gdev/gdev_factory.h"
#include "gdev/texture_manager.h"

namespace {

// Set once a missing device texture was reported; cleared when one is made,
// so a device that comes and goes is reported again.
bool g_reportedMissingDeviceTexture = false;

// Picture fraction or share of power-of-two storage, depending on whether
// the device texture exists yet.
float extentOf(int32_t textureSize, int32_t imageSize, GDevTexture* device, bool horizontal) {
  if (device) {
    int32_t w = 0;
    int32_t h = 0;
    device->getSize(&w, &h);
    return TextureExtent(textureSize, horizontal ? w : h);
  }
  if (imageSize == 0) return 1.0f;
  return static_cast<float>(textureSize) / static_cast<float>(imageSize);
}

// The device texture to draw with: made if needed; null when the texture,
// its device texture or the device is missing.
GDevTexture* prepare(ZEPTexture* texture) {
  if (!texture) return nullptr;
  texture->ensureDeviceTexture();
  if (!GDevFactory::device) return nullptr;
  return texture->deviceTexture();
}

// The source rectangle in device-texture coordinates.
GDevUV deviceUV(const ZEPTexture* texture, GDevUV uv) {
  if (texture->coordMode() != 1) return uv;
  const float u = texture->getUExtent();
  const float v = texture->getVExtent();
  return GDevUV{uv.u0 * u, uv.v0 * v, uv.u1 * u, uv.v1 * v};
}

}  // namespace

// --- pixel source ---

void ZEPTexture::MyGDevPixelSource::getImage(RGBAImageRef& out) { out = owner_->image_; }

uint32_t ZEPTexture::MyGDevPixelSource::getRevision() { return owner_->revision_; }

void ZEPTexture::MyGDevPixelSource::setPixels(const std::vector<uint8_t>& bgra) {
  RGBAImage* image = owner_->image_.getWA();
  if (!image || image->pixels.size() != bgra.size()) {
    LogWrite(LOG_ERROR, u"ZEPTexture::MyGDevPixelSource::setPixels() : size mismatch(%u, %u)\n",
             static_cast<uint32_t>(bgra.size()), static_cast<uint32_t>(image ? image->pixels.size() : 0));
    return;
  }
  std::copy(bgra.begin(), bgra.end(), image->pixels.begin());
  ++owner_->revision_;
}

void ZEPTexture::MyGDevPixelSource::deviceTextureDeleted(GDevTexture* texture) {
  if (owner_->deviceTexture_ == texture) owner_->deviceTexture_ = nullptr;
}

// --- texture ---

ZEPTexture::ZEPTexture(ZEPTextureManager* manager, std::u16string name, RGBAImageRef image, int32_t width,
                       int32_t height, int32_t coordMode, int32_t secondMode)
    : pixelSource_(this),
      name_(std::move(name)),
      image_(std::move(image)),
      width_(width),
      height_(height),
      secondMode_(secondMode),
      coordMode_(coordMode),
      manager_(manager) {}

ZEPTexture::~ZEPTexture() { releaseDeviceTexture(); }

void ZEPTexture::release() {
  if (--refCount_ >= 1) return;
  if (manager_) {
    manager_->releaseTexture(this);
  } else {
    delete this;
  }
}

void ZEPTexture::ensureDeviceTexture() {
  if (deviceTexture_) return;
  GDevTextureCreateParams params;
  const RGBAImage* image = image_.get();
  params.width = image ? image->width : 0;
  params.height = image ? image->height : 0;
  params.flags = 0;
  params.format = image_.alphaKind();
  params.source = &pixelSource_;
  GDevTexture* made = nullptr;
  GDevFactory::createTexture(params, &made);
  deviceTexture_ = made;
  if (made) {
    g_reportedMissingDeviceTexture = false;
    return;
  }
  // Drawing goes on without this picture; the next draw tries again.
  if (g_reportedMissingDeviceTexture) return;
  g_reportedMissingDeviceTexture = true;
  if (!GDevFactory::device) {
    LogWrite(LOG_ERROR, u"ZEPTexture::ensureDeviceTexture() : no graphics device(%s)\n", name_);
  } else {
    LogWrite(LOG_ERROR, u"ZEPTexture::ensureDeviceTexture() : failed to createTexture(%d, %d)(%s)\n",
             params.width, params.height, name_);
  }
}

void ZEPTexture::releaseDeviceTexture() {
  if (!deviceTexture_) return;
  GDevFactory::releaseTexture(deviceTexture_);
  deviceTexture_ = nullptr;
}

float ZEPTexture::getUExtent() const {
  const RGBAImage* image = image_.get();
  return extentOf(width_, image ? image->width : 0, deviceTexture_, true);
}

float ZEPTexture::getVExtent() const {
  const RGBAImage* image = image_.get();
  return extentOf(height_, image ? image->height : 0, deviceTexture_, false);
}

// --- handle ---

ZEPTextureRef::ZEPTextureRef(const ZEPTextureRef& other) : texture_(other.texture_) {
  if (texture_) texture_->addRef();
}

ZEPTextureRef& ZEPTextureRef::operator=(const ZEPTextureRef& other) {
  if (texture_ == other.texture_) return *this;
  ZEPTexture* old = texture_;
  texture_ = other.texture_;
  if (texture_) texture_->addRef();
  if (old) old->release();
  return *this;
}

ZEPTextureRef& ZEPTextureRef::operator=(ZEPTextureRef&& other) noexcept {
  if (this == &other) return *this;
  ZEPTexture* old = texture_;
  texture_ = other.texture_;
  other.texture_ = nullptr;
  if (old) old->release();
  return *this;
}

void ZEPTextureRef::reset() {
  ZEPTexture* old = texture_;
  texture_ = nullptr;
  if (old) old->release();
}

ZEPTextureRef ZEPTextureRef::adopt(ZEPTexture* texture) {
  ZEPTextureRef ref;
  ref.texture_ = texture;
  return ref;
}

// --- drawing ---

void DrawTextureRect(const GDevRectF& rect, const GDevUV& uv, ZEPTexture* texture, int32_t blend,
                     int32_t alphaBlend, int32_t premultiplied) {
  GDevTexture* device = prepare(texture);
  if (!device) return;
  GDevFactory::device->drawTextureQuad(rect, deviceUV(texture, uv), device, blend, alphaBlend, premultiplied);
}

void DrawTextureRectI(const GDevRect& rect, const GDevUV& uv, ZEPTexture* texture, int32_t blend,
                      int32_t alphaBlend, int32_t premultiplied) {
  const GDevRectF r{static_cast<float>(rect.x0), static_cast<float>(rect.y0), static_cast<float>(rect.x1),
                    static_cast<float>(rect.y1)};
  DrawTextureRect(r, uv, texture, blend, alphaBlend, premultiplied);
}

void DrawTextureRectColored(const GDevRect& rect, const GDevUV& uv, const float color[4], ZEPTexture* texture,
                            int32_t blend, int32_t alphaBlend, int32_t premultiplied) {
  GDevTexture* device = prepare(texture);
  if (!device) return;
  GDevFactory::device->drawTextureColored(rect, deviceUV(texture, uv), color, device, blend, alphaBlend,
                                          premultiplied);
}

void DrawTexture2Rect(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, ZEPTexture* first,
                      ZEPTexture* second, int32_t blend, int32_t alphaBlend) {
  GDevTexture* a = prepare(first);
  GDevTexture* b = prepare(second);
  if (!a || !b) return;
  GDevFactory::device->drawTexture2(rect, deviceUV(first, uv1), deviceUV(second, uv2), a, b, blend, alphaBlend);
}

void DrawTexture2RectEx(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, ZEPTexture* first,
                        ZEPTexture* second, const float color[4], int32_t blend, int32_t alphaBlend) {
  GDevTexture* a = prepare(first);
  GDevTexture* b = prepare(second);
  if (!a || !b) return;
  GDevFactory::device->drawTexture2Colored(rect, deviceUV(first, uv1), deviceUV(second, uv2), a, b, color, blend,
                                           alphaBlend);
}

void DrawCrossFade(const GDevRect& rect1, const GDevUV& uv1, const GDevRect& rect2, const GDevUV& uv2,
                   ZEPTexture* first, ZEPTexture* second, float progress, int32_t blend, int32_t alphaBlend) {
  GDevTexture* a = prepare(first);
  GDevTexture* b = prepare(second);
  if (!a || !b) return;
  GDevFactory::device->crossFade(rect1, deviceUV(first, uv1), rect2, deviceUV(second, uv2), a, b, progress, blend,
                                 alphaBlend);
}

void DrawRuleFade(const GDevRect& fromRect, const GDevUV& fromUV, const GDevRect& toRect, const GDevUV& toUV,
                  const GDevRect& ruleRect, const GDevUV& ruleUV, ZEPTexture* from, ZEPTexture* to,
                  ZEPTexture* rule, int32_t blend, int32_t alphaBlend) {
  GDevTexture* a = prepare(from);
  GDevTexture* b = prepare(to);
  GDevTexture* c = prepare(rule);
  if (!a || !b || !c) return;
  GDevFactory::device->ruleFade(fromRect, deviceUV(from, fromUV), toRect, deviceUV(to, toUV), ruleRect,
                                deviceUV(rule, ruleUV), a, b, c, blend, alphaBlend);
}
