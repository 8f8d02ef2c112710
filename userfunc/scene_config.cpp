#include "userfunc/scene_config.h"

#include "app/config_windows.h"
#include "app/game_environment.h"
#include "scene/scene_facade.h"

bool setMenuConfig(int32_t n) {
  SceneFacade* scene = CurrentSceneFacade();
  if (!scene) return true;
  const Config::MenuConfigEntry* entry = nullptr;
  if (GameEnvironment* env = GetGameEnvironment(); env && n >= 0) {
    const auto it = env->menuTable().find(n);
    if (it != env->menuTable().end()) entry = &it->second;
  }
  scene->menuSetConfig(entry);
  scene->applyAppEventMask();
  return true;
}

bool setMsgwinConfig(int32_t n) {
  SceneFacade* scene = CurrentSceneFacade();
  if (!scene) return true;
  const Config::MessageWindowConfig* config = nullptr;
  if (GameEnvironment* env = GetGameEnvironment()) {
    const Config::MessageWindowTable& table = env->messageWindowTable();
    auto it = table.find(n < 0 ? 0 : n);
    if (it == table.end() && n < 0) it = table.begin();
    if (it != table.end()) config = &it->second;
  }
  scene->msgSetConfig(config);
  scene->applyAppEventMask();
  return true;
}

bool clearSelect() {
  if (SceneFacade* scene = CurrentSceneFacade()) scene->selectClear();
  return true;
}
