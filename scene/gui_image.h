// GUIImage: a component that draws one texture over its rectangle, either
// stretched to fit or one picture pixel per screen pixel (normal blending).
// It holds a counted handle to the texture. Main thread.
#pragma once

#include "gdev/zep_texture.h"
#include "scene/gui_component.h"

class GUIImage : public GUIComponent {
 public:
  bool isDrawable() override { return static_cast<bool>(image_); }
  void draw() override;
  bool paintExtent(ScreenArea* area) override { return extentIsOwnRect(area); }

  // An empty handle removes the image.
  void setImage(ZEPTextureRef image);
  const ZEPTextureRef& image() const { return image_; }
  // false: the picture is stretched over the rectangle; true: one picture
  // pixel per screen pixel (the picture repeats or is cut off).
  void setPixelScale(bool on);
  bool pixelScale() const { return pixelScale_; }

 private:
  ZEPTextureRef image_;
  bool pixelScale_ = false;
};
