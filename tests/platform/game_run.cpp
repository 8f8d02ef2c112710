#include "tests/platform/game_run.h"

#include <SDL2/SDL.h>

#include <cstdlib>

#include "app/main_window.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/gui_root.h"
#include "scene/scene_impl.h"
#include "scene/scene_setup.h"

GameRun::DataFolder::DataFolder(const std::filesystem::path& folder, std::unique_ptr<TempDir>& own) {
  if (const char* current = getenv("XDG_DATA_HOME")) previous = current;
  std::filesystem::path path = folder;
  if (path.empty()) {
    own = std::make_unique<TempDir>();
    path = own->path();
  }
  setenv("XDG_DATA_HOME", path.c_str(), 1);
}

GameRun::DataFolder::~DataFolder() { setenv("XDG_DATA_HOME", previous.c_str(), 1); }

GameRun::GameRun(const std::filesystem::path& folder, const std::filesystem::path& dataFolder)
    : data_(dataFolder, ownData_),
      cwd_(folder),
      env_(platform::FromUtf8(folder.string()), {u"."}, {}),
      previousClock_(SetTimerManager(&clock_)) {}

GameRun::~GameRun() {
  controller_.reset();
  SetTimerManager(previousClock_);
}

bool GameRun::init() {
  if (!env_.init(u"game.scm")) return false;
  controller_ = std::make_unique<AppController>(&env_, this);
  return controller_->init();
}

bool GameRun::run() { return controller_ && controller_->run(); }

int32_t GameRun::pumpFrame(int32_t, bool) {
  if (quit_) return -1;
  ++frames_;
  if (onFrame) onFrame(frames_);
  if (quit_) return -1;
  clock_.ms += frameMs;
  const int32_t result = PumpMessages(1, false);
  if (afterFrame) afterFrame(frames_);
  return result;
}

void GameRun::click(int32_t x, int32_t y) {
  for (const Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = SDL_GetWindowID(GetMainWindowHandle());
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
}

const int32_t GameRun::kKeyReturn = SDLK_RETURN;
const int32_t GameRun::kKeyDown = SDLK_DOWN;
const int32_t GameRun::kKeyPageUp = SDLK_PAGEUP;
const int32_t GameRun::kKeyF5 = SDLK_F5;
const int32_t GameRun::kKeyF9 = SDLK_F9;

void GameRun::move(int32_t x, int32_t y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = SDL_GetWindowID(GetMainWindowHandle());
  e.motion.x = x;
  e.motion.y = y;
  SDL_PushEvent(&e);
}

void GameRun::wheel(int32_t x, int32_t y, int32_t notches) {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.windowID = SDL_GetWindowID(GetMainWindowHandle());
  e.wheel.y = notches;
  e.wheel.mouseX = x;
  e.wheel.mouseY = y;
  SDL_PushEvent(&e);
}

void GameRun::key(int32_t sdlKey) {
  for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = SDL_GetWindowID(GetMainWindowHandle());
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sdlKey;
    SDL_PushEvent(&e);
  }
}

RGBAImageRef GameRun::capture() {
  SceneImpl* scene = GetGlobalScene();
  RGBAImageRef image;
  if (!scene || !scene->getRoot()) return image;
  GUIComponent* root = scene->getRoot();
  ZEPTextureRef target;
  if (GetTextureManager().createBlank(target, root->width(), root->height(), 1, 3) != 0) return image;
  if (!RenderToTexture(root, &target, true, &image, 0)) image.reset();
  return image;
}
