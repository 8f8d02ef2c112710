// XGChip: one configured interface part — a still image, a button with four
// looks (normal, hover, pressed, disabled), a frame animation (also from a
// cursor file), a rendered text or an invisible touch map — that reports the
// pointer as AppEvent 17 carrying an event number. Chips serve the message
// window, the menu, the parts layers, the key-wait icons and the layer
// nodes; the windows' own chips replace onClicked and onHoverChanged.
// Main thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/chip_config.h"
#include "gdev/glyph_renderer.h"
#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/hit_test_map.h"
#include "scene/line_layout.h"
#include "scene/my_timer.h"

class GUITextLine3;

class XGChip : public GUIComponent {
 public:
  enum Kind : int32_t { kNone = 0, kImage = 1, kButton = 2, kAnimation = 3, kText = 4, kTouchmap = 5 };
  enum EventType : int32_t { kHover = 1, kClick = 2, kPress = 3, kRelease = 4, kMove = 5 };
  enum ButtonState : int32_t { kNormal = 0, kHovered = 1, kPressed = 2, kDisabled = 3 };
  // A part of the texture in texture coordinates; left < 0: all of it.
  struct TexRect {
    float left = -1.0f, top = 0.0f, right = 1.0f, bottom = 1.0f;
  };

  XGChip();
  ~XGChip() override;

  bool isDrawable() override;
  void draw() override;
  bool paintExtent(ScreenArea* area) override;
  bool hitTestPrecise(int32_t x, int32_t y) override;
  void onHover(const MouseEvent& event, bool entered) override;
  bool onMouseButton(const MouseEvent& event, bool pressed) override;
  void onMouseMove(const MouseEvent& event) override;
  // A press and release inside the chip; the windows' chips act on it.
  virtual void onClicked() {}
  virtual void onHoverChanged(bool /*entered*/) {}

  // Rebuilds the chip from a part configuration. A null configuration is
  // refused with a WARN and the chip stays as it was.
  void config(bool visible, int32_t x, int32_t y, int32_t alpha, const XGChipConfig::ConfigBase* parts);

  // Types 1 hover, 2 click, 3 press, 4 release, 5 move; 0 means none.
  void setEventNumber(int32_t type, int32_t number);
  void clearEventNumbers();
  void setAlpha(int32_t alpha);
  void setEnabled(bool enabled);
  // Animations: bit value 2 rewinds, bit value 1 runs; codes 0..3.
  void setAnimationCode(int32_t code);
  // Images: a new picture, shown whole; size mode 2 takes its size, any
  // other mode the area's width and height. An empty path or a picture that
  // fails leaves the chip without an image (mode 2 then keeps the size).
  void setImage(std::u16string_view path, int32_t sizeMode, const GDevArea& area);
  // Texts.
  void setString(std::u16string_view text);
  // which 0: the text colour, 1: the outline colour (0xAARRGGBB; alpha 0
  // draws none).
  void setTextColor(int32_t which, uint32_t color);
  // Shows laid-out lines, stacked from the top, instead of the image; the
  // chip takes their size.
  void setLabel(const std::vector<LineLayout>& lines, int32_t rubyPitch);
  void setLabel(const LineLayout& line, int32_t rubyPitch) { setLabel(std::vector<LineLayout>{line}, rubyPitch); }

  int32_t kind() const { return kind_; }
  int32_t alpha() const { return alpha_; }
  int32_t frame() const { return frame_; }
  bool enabled() const { return enabled_; }
  int32_t eventNumber(int32_t type) const {
    return type >= 1 && type <= 5 ? events_[static_cast<size_t>(type - 1)] : 0;
  }
  // The image shown now and its part; the frame durations of animations.
  const ZEPTextureRef& image() const { return image_; }
  const TexRect& texRect() const { return rect_; }
  const std::vector<int32_t>& durations() const { return durations_; }
  bool animating() const { return timer_.isRunning(); }
  int32_t hoveredArea() const { return areaHovered_; }
  const std::u16string& text() const { return text_; }

 private:
  struct Label;

  void reset();
  void show(size_t index);
  void post(int32_t number) const;
  // The number an event type posts now (touch maps add the hovered area);
  // 0 when it posts nothing.
  int32_t numberFor(int32_t type) const;
  void renderText();
  void onAnimationStep(float progress);

  ZEPTextureRef image_;
  TexRect rect_;
  std::vector<ZEPTextureRef> images_;
  std::vector<TexRect> rects_;
  std::vector<int32_t> durations_;
  int32_t kind_ = kNone;
  int32_t alpha_ = 255;
  int32_t frame_ = 0;
  bool loop_ = true;
  std::array<int32_t, 5> events_{};
  bool enabled_ = true;
  bool hovered_ = false;
  // Texts.
  TextRenderParams textParams_;
  uint32_t edgeColor_ = 0;
  int32_t configWidth_ = -1;
  int32_t configHeight_ = -1;
  int32_t textSize_ = 32;
  std::u16string text_;
  // Touch maps.
  std::unique_ptr<HitTestMap> map_;
  int32_t areaHit_ = -1;
  int32_t areaHovered_ = -1;
  int32_t offsetX_ = 0;  // a cursor's hot spot, negated
  int32_t offsetY_ = 0;
  std::unique_ptr<Label> label_;
  MyTimer<XGChip> timer_;
};
