// The fader commands: flat functions over the installed scene facade; with
// no facade they do nothing. Main thread.
#include "scene/scene_facade.h"

bool faderStart1(int32_t r, int32_t g, int32_t b, int32_t a, int32_t time, int32_t parameter) {
  if (SceneFacade* facade = CurrentSceneFacade()) facade->faderStart(1, r, g, b, a, time, parameter);
  return true;
}

bool faderStart2(int32_t r, int32_t g, int32_t b, int32_t a, int32_t time, int32_t parameter) {
  if (SceneFacade* facade = CurrentSceneFacade()) facade->faderStart(2, r, g, b, a, time, parameter);
  return true;
}

bool faderFinish1() {
  if (SceneFacade* facade = CurrentSceneFacade()) facade->faderFinish(1);
  return true;
}

bool faderFinish2() {
  if (SceneFacade* facade = CurrentSceneFacade()) facade->faderFinish(2);
  return true;
}

bool faderClear1() {
  if (SceneFacade* facade = CurrentSceneFacade()) facade->faderClear(1);
  return true;
}

bool faderClear2() {
  if (SceneFacade* facade = CurrentSceneFacade()) facade->faderClear(2);
  return true;
}
