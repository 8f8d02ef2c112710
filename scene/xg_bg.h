// XG_BG: the background, bottom child of the GUI root. Two picture planes,
// the current one (A) and the incoming one (B), and the timed effects
// between them: picture changes with transitions (cross-fade, slide-in,
// push, grow, grow while shrinking), a colour flash, a shake and a move that
// re-frames the picture. Main thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/my_timer.h"
#include "scene/plane_state.h"
#include "scene/xg_base.h"

class XG_BG : public XGBase, public GUIComposite, public AUtil {
 public:
  enum DrawMode : int32_t { kPlaneA = 1, kAThenB = 2, kBThenA = 3 };
  enum Kind : int32_t {
    kNone = 0,
    kCrossFade = 10,
    kSlideIn = 20,
    kPush = 21,
    kGrow = 22,
    kGrowShrink = 23,
    kFlash = 100,
    kShake = 101,
    kMove = 201,
  };

  // Covers (0, 0, width, height); no pictures, nothing running.
  XG_BG(int32_t width, int32_t height);

  GUIComponent* getComponent() override { return this; }
  bool isDrawable() override { return true; }
  // Each plane in draw-mode order: without a picture black, at the tint's
  // alpha when it uses colour, else opaque; with one its region into the
  // rectangle, tinted when it uses colour.
  void draw() override;

  // A picture change (kinds 0, 10, 20-23); a duration below 1 is immediate.
  // `unused` is accepted and not read.
  void changePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                     int32_t sourceHeight, int32_t duration, int32_t direction, int32_t easing, bool fade,
                     int32_t unused);
  // Kind 100 flash in colour (p1, p2, p3) 0..255; kind 101 shake in keypad
  // direction p1 with magnitude p2.
  void startEffect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3);
  // Kind 201 re-frames the current picture to the new source rectangle over
  // the duration; below 1 (or kind 0) at once.
  void startMove(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                 int32_t duration, int32_t ignored, int32_t easing);
  // Ends the running effect at once, in its final state.
  void finishEffect();
  // What draw paints covers the whole component opaquely: plane A alone,
  // untinted, over all of it, with a picture whose device texture is made
  // and opaque, or with none (black).
  bool coversOpaquely() const;

  // What tests and the save restore read.
  int32_t kind() const { return kind_; }
  int32_t drawMode() const { return drawMode_; }
  const PlaneState& planeA() const { return planeA_; }
  const PlaneState& planeB() const { return planeB_; }
  const ZEPTextureRef& pictureA() const { return pictureA_; }
  const ZEPTextureRef& pictureB() const { return pictureB_; }
  bool isRunning() const { return timer_.isRunning(); }

 private:
  void tick(float t);
  void drawPlane(const PlaneState& plane, const ZEPTextureRef& picture);

  int32_t drawMode_ = kPlaneA;
  ZEPTextureRef pictureA_;
  ZEPTextureRef pictureB_;
  PlaneState planeA_;
  PlaneState planeB_;
  PlaneState target_;
  PlaneState aStart_;
  PlaneState aEnd_;
  PlaneState bStart_;
  PlaneState bEnd_;
  int32_t kind_ = kNone;
  int32_t duration_ = 0;
  int32_t easing_ = 0;
  int32_t nextShakeTime_ = 0;
  bool shakeSide_ = false;
  int32_t shakeX_ = 0;
  int32_t shakeY_ = 0;
  MyTimer<XG_BG> timer_;
};
