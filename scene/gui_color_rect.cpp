// GUIColorRect: the one-colour fill. Main thread.
#include "scene/gui_color_rect.h"

#include "gdev/gdev_factory.h"

void GUIColorRect::draw() {
  if (GDev* device = GDevFactory::device) {
    device->fillRect(GDevRect{0, 0, width(), height()}, color_, GDEV_BLEND_NORMAL, 0);
  }
}

void GUIColorRect::setColor(float red, float green, float blue, float alpha) {
  markOwnPaint();
  color_[0] = red;
  color_[1] = green;
  color_[2] = blue;
  color_[3] = alpha;
  colorUnset_ = false;
  markOwnPaint();
}

void GUIColorRect::setDrawEnabled(bool on) {
  if (colorUnset_ == !on) return;
  markOwnPaint();
  colorUnset_ = !on;
  markOwnPaint();
}
