#include "userfunc/scene_config.h"

#include <utility>
#include <vector>

#include "app/config_windows.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"
#include "scene/scene_facade.h"

bool setMenuConfig(int32_t n) {
  SceneFacade* scene = CurrentSceneFacade();
  if (!scene) return true;
  scene->menuSetConfig(n >= 0 ? findMenuConfig(n) : nullptr);
  scene->applyAppEventMask();
  return true;
}

const Config::MenuConfigEntry* findMenuConfig(int32_t n) {
  GameEnvironment* env = GetGameEnvironment();
  if (!env) return nullptr;
  const auto it = env->menuTable().find(n);
  return it != env->menuTable().end() ? &it->second : nullptr;
}

const Config::MessageWindowConfig* findMsgwinConfig(int32_t n) {
  GameEnvironment* env = GetGameEnvironment();
  if (!env) return nullptr;
  const auto it = env->messageWindowTable().find(n);
  return it != env->messageWindowTable().end() ? &it->second : nullptr;
}

bool setMsgwinConfig(int32_t n) {
  // n < 0: entry 0, else the first entry; n >= 0: entry n. No entry gives
  // the window its default record.
  const Config::MessageWindowConfig* config = findMsgwinConfig(n < 0 ? 0 : n);
  GameEnvironment* env = GetGameEnvironment();
  if (!config && env && !env->messageWindowTable().empty()) {
    if (n >= 0) {
      LogWrite(LOG_WARN, u"setMsgwinConfig : メッセージウィンドウ設定がありません(%d)\n", n);
    } else {
      config = &env->messageWindowTable().begin()->second;
    }
  }
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

bool findSelectWindowConfig(int32_t n, Config::SelectWindow* out) {
  GameEnvironment* env = GetGameEnvironment();
  if (!env) return false;
  const auto it = env->selectWindowTable().find(n);
  if (it == env->selectWindowTable().end()) return false;
  *out = it->second;
  return true;
}

Config::SelectWindow getSelectWindowConfig(int32_t n) {
  using F = Config::SelectWindow::Field;
  Config::SelectWindow config;
  if (findSelectWindowConfig(n, &config)) return config;
  // Fields the built-in list does not name keep the record's defaults.
  config[F::kWindowX] = 50;
  config[F::kWindowY] = 100;
  config[F::kWindowWidth] = 700;
  config[F::kWindowHeightBase] = 20;
  config[F::kWindowColorR] = 0;
  config[F::kWindowColorG] = 120;
  config[F::kWindowColorB] = 120;
  config[F::kWindowColorA] = 178;
  config[F::kCursorColorR] = 255;
  config[F::kCursorColorG] = 255;
  config[F::kCursorColorB] = 255;
  config[F::kCursorColorA] = 178;
  config[F::kItemWidth] = 680;
  config[F::kItemHeight] = 32;
  config[F::kItemHeightGap] = 4;
  config[F::kItemOffsetX] = 10;
  config[F::kItemOffsetY] = 10;
  return config;
}

bool showSelect(int32_t configNumber, int32_t mask, std::span<const int32_t> labelNumbers,
                std::span<const std::u16string> texts, std::span<const int32_t> itemNumbers, int32_t flag) {
  (void)itemNumbers;
  const Config::SelectWindow config = getSelectWindowConfig(configNumber);
  std::vector<std::pair<std::u16string, std::u16string>> choices;
  for (size_t i = 0; i < 8 && i < labelNumbers.size() && i < texts.size(); ++i) {
    if ((static_cast<uint32_t>(mask) >> i & 1u) == 0) continue;
    choices.emplace_back(intToWString(labelNumbers[i]), texts[i]);
  }
  if (SceneFacade* scene = CurrentSceneFacade()) scene->selectShow(config, flag, choices, flag == 1);
  return true;
}
