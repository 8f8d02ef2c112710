// GUIColorRect: a component that fills its rectangle with one colour
// (normal blending). It draws nothing until it is given a colour. Main
// thread.
#pragma once

#include "scene/gui_component.h"

class GUIColorRect : public GUIComponent {
 public:
  bool isDrawable() override { return !colorUnset_; }
  // Fills (0, 0, width, height) through the device.
  void draw() override;
  bool paintExtent(ScreenArea* area) override { return extentIsOwnRect(area); }

  // Red, green, blue, alpha in 0..1; the rectangle draws from now on.
  void setColor(float red, float green, float blue, float alpha);
  // Stops (false) or resumes (true) drawing without forgetting the colour.
  void setDrawEnabled(bool on);
  const float* color() const { return color_; }

 private:
  float color_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  bool colorUnset_ = true;
};
