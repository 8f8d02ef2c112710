// The global scene set-up, the adapter through which the main window drives
// the scene, and rendering a component into a texture. Sits above the scene
// and the main window. Main thread.
#include "scene/scene_setup.h"

#include <thread>

#include "app/game_environment.h"
#include "app/input_box.h"
#include "app/input_box_window.h"
#include "app/log.h"
#include "app/main_window.h"
#include "app/os_util.h"
#include "app/timer.h"
#include "app/window_geometry.h"
#include "gdev/gdev_factory.h"
#include "gdev/glyph_renderer.h"
#include "gdev/texture_manager.h"
#include "platform/message_box.h"
#include "scene/gui_root.h"
#include "scene/menu_window.h"
#include "scene/scene_impl.h"
#include "scene/xg_layer_node.h"
#include "scene/xg_select.h"

namespace {

// What the main window asks of the scene, answered by the SceneImpl.
class WindowSceneAdapter : public MainWindowScene {
 public:
  explicit WindowSceneAdapter(SceneImpl* scene) : scene_(scene) {}
  void dispatchInput(const Event& event) override { scene_->dispatchInput(event); }
  void updateRoot() override { scene_->getRoot()->prepareDraw(0); }
  bool isRootVisible() const override { return scene_->getRoot()->isVisible(); }
  void paintRoot(GDev*) override { scene_->getRoot()->paint(0); }
  uint32_t clearColor() const override { return 0; }
  bool coversScreen() const override { return scene_->coversScreen(); }
  void cursorFileChanged(std::u16string_view) override {}
  void movePointer(int32_t x, int32_t y) override { scene_->movePointer(x, y); }

 private:
  SceneImpl* scene_;
};

GameEnvironment* g_environment = nullptr;
std::unique_ptr<SceneImpl> g_scene;
std::unique_ptr<WindowSceneAdapter> g_adapter;

// Without a folder a sheet is looked up by its own name in the game folder,
// never at the file system's root.
std::u16string fontPath(const std::u16string& folder, const std::u16string& file) {
  return folder.empty() ? file : folder + u"/" + file;
}

// Fonts 0..7 into the renderer table; false at an unknown font type.
bool createFontRenderers(GameEnvironment* environment) {
  const Config::ResourceRecord& resource = environment->resource();
  FontRendererTable& table = GetFontRendererTable();
  for (int32_t n = 0; n < 8; ++n) {
    const Config::FontRecord& font = resource.fonts[static_cast<size_t>(n)];
    BitmapCreateParams bitmap;
    switch (font.type) {
      case -1:
        continue;
      case 0: {
        GDICreateParams params;
        // An unnamed system font is the default face.
        params.faceName = font.name.empty() ? std::u16string(u"ＭＳ ゴシック") : font.name;
        table.createGDIRenderer(n, params);
        continue;
      }
      case 1:
        for (int32_t i = 0; i < 4; ++i) {
          bitmap.sheets[32][static_cast<size_t>(i)] = fontPath(resource.fontBaseDir, font.files[static_cast<size_t>(i)]);
          bitmap.sheets[64][static_cast<size_t>(i)] =
              fontPath(resource.fontBaseDir, font.files[static_cast<size_t>(i + 4)]);
        }
        break;
      case 2:
        for (const auto& [size, files] : font.sizes) {
          for (size_t i = 0; i < 4; ++i) bitmap.sheets[size][i] = fontPath(resource.fontBaseDir, files[i]);
        }
        break;
      default:
        LogWrite(LOG_WARN, u"不明なフォントの種類です(:font-%d-type %d)\n", n, font.type);
        return false;
    }
    if (!table.createBitmapRenderer(n, bitmap)) {
      LogWrite(LOG_WARN, u"ビットマップフォントの初期化に失敗しました(fcno:%d)\n", n);
      int32_t button = 0;
      ShowMessageBox(u"ビットマップフォントの初期化に失敗しました", environment->getProductName(), platform::MB_OK,
                     &button);
    }
  }
  if (!table.has(0)) {
    GDICreateParams params;
    params.faceName = u"ＭＳ ゴシック";
    table.createGDIRenderer(0, params);
  }
  return true;
}

}  // namespace

bool InitFontRenderers(GameEnvironment* environment, std::unique_ptr<SceneImpl>* scene) {
  GetTimerManager()->setMainThread(std::this_thread::get_id());
  if (!createFontRenderers(environment)) return false;

  const Config::WindowRecord& window = environment->window();
  const int32_t frameMode = FrameModeFromFlipMethod(window.flipMethod);
  const std::u16string cursor = environment->getCursorPath(APValue(window.defaultCursor));
  const std::u16string& title = window.title.empty() ? environment->getProductName() : window.title;
  if (!CreateMainWindow(window.width, window.height, frameMode, window.flipMethodRate, window.resizable, title,
                        cursor, window.sizes)) {
    return false;
  }
  EnableCloseMenu(window.enableExitByUser);
  SetInputBoxRunner(&RunInputBoxInMainWindow);
  XG_Select::setPointerWarp(&SetCursorPosLogical);
  MenuWindow::setPointerSource([](int32_t* x, int32_t* y) {
    const LogicalPoint point = GetCursorPosLogical();
    *x = point.x;
    *y = point.y;
  });
  LayerPointerHooks pointer;
  pointer.setCursor = [](std::u16string_view file, const void* owner) { SetCursorImage(file, 2, owner); };
  pointer.leftDown = &IsLeftButtonDown;
  pointer.rightDown = &IsRightButtonDown;
  SetLayerPointerHooks(pointer);

  auto made = std::make_unique<SceneImpl>(window.width, window.height);
  made->setup(environment->keyMap(), cursor);
  g_adapter = std::make_unique<WindowSceneAdapter>(made.get());
  SetMainWindowScene(g_adapter.get());
  *scene = std::move(made);

  ShowMainWindow(true);
  const Config::SystemRecord& system = environment->systemRecord();
  SetTextureCacheLimits(system.textureCacheNum, system.textureCachePurgeTimelimit);
  return true;
}

bool sceneInit(GameEnvironment* environment) {
  g_environment = environment;
  std::unique_ptr<SceneImpl> scene;
  if (!InitFontRenderers(environment, &scene)) return false;
  g_scene = std::move(scene);
  SetGlobalScene(g_scene.get());
  return true;
}

void sceneDetach() { DetachScene(); }

void sceneRelease() {
  DetachScene();
  SetInputBoxRunner(nullptr);
  XG_Select::setPointerWarp(nullptr);
  MenuWindow::setPointerSource(nullptr);
  g_scene.reset();
  SetLayerPointerHooks(LayerPointerHooks());
  g_adapter.reset();
}

GameEnvironment* SceneEnvironment() { return g_environment; }

bool cmd_setCursorShowMode(int32_t mode) {
  SetCursorMode(mode);
  return true;
}

bool cmd_setCursorFile(std::u16string_view file) {
  SetCursorImage(file, 1, nullptr);
  return true;
}

bool cmd_getMousePosition(int32_t* x, int32_t* y) {
  const LogicalPoint point = GetCursorPosLogical();
  if (x) *x = point.x;
  if (y) *y = point.y;
  return true;
}

bool cmd_setCursorClip(bool on) {
  SetClipCursor(on);
  return true;
}
