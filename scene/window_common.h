// What the message window and the menu window share: the number a button's
// command word stands for, putting a button at its control point, a colour
// record on a colour rectangle, and the easing of their panel slides. Main
// thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/config_windows.h"

class GUIColorRect;
class GUIComposite;
class XGChip;

// The event number of a button named "*cascade*0" (the windows' own
// action, never posted).
constexpr int32_t kChipCascadeEvent = -1;

// "*cascade*0" gives kChipCascadeEvent; any other word its system command
// number (0 for a word that is none).
int32_t ChipEventFromName(std::u16string_view name);

// Adds the chip to the panel, builds it from the control point's part
// (alpha 255) and puts it at the point's offset, shown or hidden.
void PlaceControlPointChip(GUIComposite* panel, XGChip* chip, const Config::ControlPointConfig& point, bool visible);

// The rectangle takes the colour (each component held to 0..255) divided by
// 255.
void SetRectColor(GUIColorRect* rect, const Config::ColorQuad& color);

// The share of a slide done at progress t (0 <= t < 1): easing 0 linear,
// 1 ease-out (1 - (1 - t)^3), any other ease-in (t^3).
float SlideEasing(float t, int32_t easing);
// A coordinate that share of the way from `from` to `to`, rounded to the
// pixel; `from` while both are equal.
int32_t SlideCoordinate(int32_t from, int32_t to, float share);
