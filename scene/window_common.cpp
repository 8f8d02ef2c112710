// Helpers of the message window and the menu window. Main thread.
#include "scene/window_common.h"

#include <algorithm>

#include "app/key_names.h"
#include "scene/gui_color_rect.h"
#include "scene/gui_component.h"
#include "scene/xg_chip.h"

int32_t ChipEventFromName(std::u16string_view name) {
  return name == u"*cascade*0" ? kChipCascadeEvent : systemCommandFromName(name);
}

void PlaceControlPointChip(GUIComposite* panel, XGChip* chip, const Config::ControlPointConfig& point, bool visible) {
  panel->addChild(chip);
  chip->config(visible, 0, 0, 255, point.parts.get());
  chip->setPosition(point.offsetX, point.offsetY);
  chip->setVisible(visible);
}

void SetRectColor(GUIColorRect* rect, const Config::ColorQuad& c) {
  rect->setColor(std::clamp(c.r, 0, 255) / 255.0f, std::clamp(c.g, 0, 255) / 255.0f,
                 std::clamp(c.b, 0, 255) / 255.0f, std::clamp(c.a, 0, 255) / 255.0f);
}

float SlideEasing(float t, int32_t easing) {
  if (easing == 0) return t;
  if (easing == 1) return 1.0f - (1.0f - t) * (1.0f - t) * (1.0f - t);
  return t * t * t;
}

int32_t SlideCoordinate(int32_t from, int32_t to, float share) {
  if (from == to) return from;
  return static_cast<int32_t>(static_cast<float>(to - from) * share + static_cast<float>(from) + 0.5f);
}
