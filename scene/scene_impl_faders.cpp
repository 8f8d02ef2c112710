// SceneImpl: the fader commands, served by the two faders in the root's
// fader slots. Main thread.
#include "scene/scene_impl.h"
#include "scene/xg_fader.h"

namespace {

XG_Fader* Pick(int32_t fader, XG_Fader* first, XG_Fader* second) {
  return fader == 1 ? first : fader == 2 ? second : nullptr;
}

}  // namespace

bool SceneImpl::faderIsFading(int32_t fader, int32_t* parameter) {
  const XG_Fader* f = Pick(fader, fader1_, fader2_);
  if (parameter) *parameter = f ? f->parameter() : 0;
  return f && f->isFading();
}

void SceneImpl::faderStart(int32_t fader, int32_t r, int32_t g, int32_t b, int32_t a, int32_t time,
                           int32_t parameter) {
  faderApplyFade(Pick(fader, fader1_, fader2_), r, g, b, a, time, parameter);
}

void SceneImpl::faderFinish(int32_t fader) {
  if (XG_Fader* f = Pick(fader, fader1_, fader2_)) f->finish();
}

void SceneImpl::faderClear(int32_t fader) {
  if (XG_Fader* f = Pick(fader, fader1_, fader2_)) f->clear();
}
