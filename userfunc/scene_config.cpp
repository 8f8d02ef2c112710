#include "userfunc/scene_config.h"

#include "app/config_windows.h"
#include "app/game_environment.h"
#include "app/log.h"
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

const Config::MessageWindowConfig* findMsgwinConfig(int32_t n) {
  GameEnvironment* env = GetGameEnvironment();
  if (!env) return nullptr;
  const auto it = env->messageWindowTable().find(n);
  return it != env->messageWindowTable().end() ? &it->second : nullptr;
}

bool setMsgwinConfig(int32_t n) {
  const Config::MessageWindowConfig* config = findMsgwinConfig(n < 0 ? 0 : n);
  GameEnvironment* env = GetGameEnvironment();
  if (!config && env && !env->messageWindowTable().empty()) {
    if (n >= 0) {
      LogWrite(LOG_WARN, u"setMsgwinConfig : メッセージウィンドウ設定がありません(%d)\n", n);
      return false;
    }
    config = &env->messageWindowTable().begin()->second;
  }
  // Null here: no table at all, and the window takes its default record.
  SceneFacade* scene = CurrentSceneFacade();
  if (!scene) return true;
  scene->msgSetConfig(config);
  scene->applyAppEventMask();
  return true;
}

bool clearSelect() {
  if (SceneFacade* scene = CurrentSceneFacade()) scene->selectClear();
  return true;
}
