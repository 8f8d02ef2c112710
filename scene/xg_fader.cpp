// XG_Fader: the fade set-up, its step and the fill.
#include "scene/xg_fader.h"

#include <algorithm>
#include <memory>

#include "app/event.h"
#include "app/event_queue.h"
#include "gdev/gdev_factory.h"
#include "scene/app_event_table.h"
#include "scene/gui_util.h"

namespace {

// One step of a byte channel, as a float; the faintest alpha drawn.
constexpr float kByteStep = 0.003921568859368563f;

void Copy(const float from[4], float to[4]) { std::copy(from, from + 4, to); }

void Zero(float color[4]) { std::fill(color, color + 4, 0.0f); }

}  // namespace

XG_Fader::XG_Fader(int32_t width, int32_t height) : timer_(this, &XG_Fader::step) {
  setBounds(0, 0, width, height);
}

bool XG_Fader::isDrawable() { return current_[3] >= kByteStep; }

void XG_Fader::draw() {
  if (GDev* device = GDevFactory::device) {
    device->fillRect(GDevRect{0, 0, width(), height()}, current_, GDEV_BLEND_NORMAL, 0);
  }
}

void XG_Fader::setCurrent(const float color[4]) {
  if (std::equal(color, color + 4, current_)) return;
  markOwnPaint();
  Copy(color, current_);
  markOwnPaint();
}

void XG_Fader::finish() {
  setCurrent(final_);
  timer_.stop();
}

void XG_Fader::clear() {
  timer_.stop();
  const float none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  setCurrent(none);
  Zero(from_);
  Zero(to_);
  Zero(final_);
}

void XG_Fader::step(float t) {
  if (t != 1.0f) {
    float color[4];
    lerpColor(from_, to_, t, color);
    setCurrent(color);
    return;
  }
  // The timer reports 1.0 on the frame that reaches the end and would run
  // once more to stop: stopping here keeps the end event to one.
  setCurrent(final_);
  timer_.stop();
  PostEvent(std::make_unique<AppEvent>(AppEventCode::kFadeDone, parameter_));
}

void faderApplyFade(XG_Fader* fader, int32_t r, int32_t g, int32_t b, int32_t a, int32_t time, int32_t id) {
  if (!fader) return;
  fader->parameter_ = id;
  fader->finish();
  if (time < 0) {
    fader->clear();
    return;
  }
  const float color[4] = {static_cast<float>(std::clamp(r, 0, 255)) * kByteStep,
                          static_cast<float>(std::clamp(g, 0, 255)) * kByteStep,
                          static_cast<float>(std::clamp(b, 0, 255)) * kByteStep,
                          static_cast<float>(std::clamp(a, 0, 255)) * kByteStep};
  fader->duration_ = time;
  if (time == 0) {
    fader->setCurrent(color);
    Copy(color, fader->final_);
    return;
  }
  Copy(fader->current_, fader->from_);
  Copy(color, fader->to_);
  Copy(color, fader->final_);
  fader->timer_.duration = time;
  fader->timer_.looping = false;
  fader->timer_.start();
}
