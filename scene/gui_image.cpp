// GUIImage: the textured rectangle. Main thread.
#include "scene/gui_image.h"

#include <utility>


void GUIImage::draw() {
  ZEPTexture* texture = image_.get();
  if (!texture) return;
  GDevUV uv{0.0f, 0.0f, 1.0f, 1.0f};
  if (pixelScale_) {
    // An empty picture has no pixel to repeat.
    if (texture->width() <= 0 || texture->height() <= 0) return;
    uv.u1 = static_cast<float>(width()) / static_cast<float>(texture->width());
    uv.v1 = static_cast<float>(height()) / static_cast<float>(texture->height());
  }
  const GDevRectF rect{0.0f, 0.0f, static_cast<float>(width()), static_cast<float>(height())};
  DrawTextureRect(rect, uv, texture, GDEV_BLEND_NORMAL, 0, 0);
}

void GUIImage::setImage(ZEPTextureRef image) {
  markOwnPaint();
  image_ = std::move(image);
  markOwnPaint();
}

void GUIImage::setPixelScale(bool on) {
  if (pixelScale_ == on) return;
  pixelScale_ = on;
  markOwnPaint();
}
