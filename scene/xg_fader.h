// XG_Fader: a full-screen cover of one colour in the GUI root (fader 1 lies
// above parts layer A, fader 2 above parts layer B) and its timed fade from
// the colour shown to a new one. A fade that runs its course posts AppEvent
// 28 with the fade's parameter; the fader is fading exactly while its timer
// runs, so a fade ended or cleared early posts nothing. Main thread.
#pragma once

#include <cstdint>

#include "scene/gui_component.h"
#include "scene/my_timer.h"
#include "scene/xg_base.h"

class XG_Fader : public XGBase, public GUIComponent, public AUtil {
 public:
  // Covers (0, 0, width, height), transparent, not fading.
  XG_Fader(int32_t width, int32_t height);

  GUIComponent* getComponent() override { return this; }
  // The current alpha is at least 1/255: anything fainter is not drawn.
  bool isDrawable() override;
  // Fills (0, 0, width, height) with the current colour, normal blending.
  void draw() override;
  bool paintExtent(ScreenArea* area) override { return extentIsOwnRect(area); }

  // Ends a running fade at once: the current colour becomes the target.
  void finish();
  // Stops a running fade; every colour becomes transparent black.
  void clear();

  bool isFading() const { return timer_.isRunning(); }
  // The parameter of the last fade started (carried by its end event).
  int32_t parameter() const { return parameter_; }
  int32_t duration() const { return duration_; }
  // Red, green, blue, alpha in 0..1: what is drawn, and where the fade ends.
  const float* currentColor() const { return current_; }
  const float* targetColor() const { return final_; }

 private:
  friend void faderApplyFade(XG_Fader* fader, int32_t r, int32_t g, int32_t b, int32_t a, int32_t time,
                             int32_t id);

  // The fade step, t in 0..1 from the timer.
  void step(float t);
  // What is drawn becomes this colour.
  void setCurrent(const float color[4]);

  float current_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float from_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float to_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float final_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  int32_t duration_ = 0;
  int32_t parameter_ = 0;
  MyTimer<XG_Fader> timer_;
};

// Starts a fade on the fader (null: nothing), first ending the one that
// runs. r, g, b, a are 0..255 (clamped); time in ms: negative makes the
// fader transparent, 0 shows the colour at once, more fades from the colour
// shown to the new one; id is the fade's parameter.
void faderApplyFade(XG_Fader* fader, int32_t r, int32_t g, int32_t b, int32_t a, int32_t time, int32_t id);
