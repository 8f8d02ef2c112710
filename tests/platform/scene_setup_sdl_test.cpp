// The global scene set-up under the offscreen driver: bitmap-font sheets found
// without a font folder, font failures and the default font, the
// texture-cache limits, the scene joined to the window (input reaches it,
// frames paint it), painting a component into a texture, and the drawn input
// box fed typed text. Skips only where no OpenGL context can be made at all.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/game_environment.h"
#include "app/main_window.h"
#include "app/os_util.h"
#include "app/screen_flags.h"
#include "gdev/glyph_renderer.h"
#include "gdev/texture_manager.h"
#include "platform/gl_window.h"
#include "scene/gui_color_rect.h"
#include "scene/scene_impl.h"
#include "scene/scene_setup.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<GameEnvironment> makeEnvironment() {
  auto env = std::make_unique<GameEnvironment>(u"/game", std::vector<std::u16string>{},
                                               std::vector<std::u16string>{});
  env->productInfo().productName = u"製品";
  env->window().title = u"scene set-up test";
  return env;
}

class SceneSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { GetFontRendererTable().clear(); }
  void TearDown() override {
    sceneRelease();
    DestroyMainWindow();
    GetFontRendererTable().clear();
    GetEventQueue().takeAll();
    SetTextureCacheLimits(ZEPTextureManager::kDefaultCountLimit, ZEPTextureManager::kDefaultAgeLimitSeconds);
  }
  void pushKey(SDL_Keycode sym) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(GetMainWindowHandle());
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    SDL_PushEvent(&e);
  }
  void pushText(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = SDL_GetWindowID(GetMainWindowHandle());
    std::strncpy(e.text.text, utf8, sizeof(e.text.text) - 1);
    SDL_PushEvent(&e);
  }
};

}  // namespace

namespace {

// A 4-bit sheet of 16 x 2 cells of the given width, 2 pixels high.
std::string SheetOfCellWidth(uint32_t width) {
  std::string bytes(118 + 16 * width, '\0');
  const auto put = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put(10, 118);
  put(18, 16 * width);
  put(22, 2);
  bytes[28] = 4;
  return bytes;
}

}  // namespace

TEST_F(SceneSetupTest, AnUnknownFontTypeFailsBeforeAnyWindow) {
  // Without :font-basedir, bitmap-font sheets are found by their own names
  // in the game folder (the working folder).
  TempDir game;
  game.write("full.bmp", SheetOfCellWidth(2));
  game.write("half.bmp", SheetOfCellWidth(1));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(game.path());
  auto env = makeEnvironment();
  env->resource().fonts[1].type = 2;
  env->resource().fonts[1].sizes[2] = {u"full.bmp", u"full.bmp", u"full.bmp", u"half.bmp"};
  env->resource().fonts[3].type = 5;
  std::unique_ptr<SceneImpl> scene;
  LogCapture log;
  EXPECT_FALSE(InitFontRenderers(env.get(), &scene));
  std::filesystem::current_path(previous);
  EXPECT_EQ(scene, nullptr);
  EXPECT_FALSE(MainWindowExists());
  EXPECT_TRUE(GetFontRendererTable().has(0));  // fonts before the bad one were made
  EXPECT_TRUE(GetFontRendererTable().has(1));
  EXPECT_FALSE(log.contains("ビットマップフォント")) << log.all();
  EXPECT_FALSE(sceneInit(env.get()));
  EXPECT_EQ(GetGlobalScene(), nullptr);
}

TEST_F(SceneSetupTest, FailedBitmapFontsAreReportedAndStartUpGoesOn) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  auto env = makeEnvironment();
  env->resource().fonts[0].type = -1;  // no fonts at all: slot 0 gets the default face
  env->resource().fontBaseDir = u"/nonexistent-font-folder";
  env->resource().fonts[1].type = 1;
  env->resource().fonts[2].type = 2;
  env->resource().fonts[2].sizes[24] = {u"a", u"b", u"c", u"d"};
  env->systemRecord().textureCacheNum = 2;
  env->systemRecord().textureCachePurgeTimelimit = 30;
  LogCapture log;
  testing::internal::CaptureStderr();
  const bool made = sceneInit(env.get());
  const std::string boxes = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(made) << log.all();
  EXPECT_TRUE(log.contains("ビットマップフォントの初期化に失敗しました(fcno:1)\n"));
  EXPECT_TRUE(log.contains("ビットマップフォントの初期化に失敗しました(fcno:2)\n"));
  const std::string box = "[製品] ビットマップフォントの初期化に失敗しました";
  const size_t first = boxes.find(box);
  ASSERT_NE(first, std::string::npos) << boxes;
  EXPECT_NE(boxes.find(box, first + 1), std::string::npos);
  EXPECT_EQ(boxes.find(box, boxes.find(box, first + 1) + 1), std::string::npos) << boxes;

  FontRendererTable& table = GetFontRendererTable();
  ASSERT_TRUE(table.has(0));
  EXPECT_FALSE(table.has(1));
  EXPECT_FALSE(table.has(2));
  RGBAImageRef image;
  TextRenderParams params;
  params.size = 20;
  RenderTextImage(table, image, params, u"A", 0);  // the system font draws
  ASSERT_TRUE(image);
  EXPECT_EQ(image->height, 20);

  EXPECT_EQ(GetTextureManager().countLimit(), 4);  // clamped
  EXPECT_EQ(GetTextureManager().ageLimitSeconds(), 30);
  EXPECT_EQ(SceneEnvironment(), env.get());
  ASSERT_NE(GetGlobalScene(), nullptr);
  EXPECT_TRUE(MainWindowExists());
}

TEST_F(SceneSetupTest, TheWindowDrivesTheSceneAndComponentsPaintIntoTextures) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  auto env = makeEnvironment();
  ASSERT_TRUE(sceneInit(env.get()));
  GetEventQueue().takeAll();

  // A key pressed in the window goes through the scene's routing.
  pushKey(SDLK_RETURN);
  PumpMessages(1, false);
  bool sawKey = false, sawApp16 = false;
  for (const auto& event : GetEventQueue().takeAll()) {
    if (const KeyEvent* key = EventAs<KeyEvent>(event.get())) sawKey = sawKey || key->virtualKey == 13;
    if (const AppEvent* app = EventAs<AppEvent>(event.get())) sawApp16 = sawApp16 || app->code == 16;
  }
  EXPECT_TRUE(sawKey);
  EXPECT_TRUE(sawApp16);

  // A changed tree is drawn in the next due frame.
  const int64_t frames = GetRenderedFrameCount();
  GUIChangedFlag = 1;
  PumpMessages(0, true);
  EXPECT_EQ(GetRenderedFrameCount(), frames + 1);

  // After detaching, window input no longer reaches the scene.
  sceneDetach();
  pushKey(SDLK_RETURN);
  PumpMessages(1, false);
  EXPECT_TRUE(GetEventQueue().takeAll().empty());

  GUIColorRect rect;
  rect.setBounds(0, 0, 4, 8);
  rect.setColor(1.0f, 0.0f, 0.0f, 1.0f);
  ZEPTextureRef target;
  RGBAImageRef captured;
  EXPECT_FALSE(RenderToTexture(&rect, &target, true, &captured, 0));  // no texture
  ASSERT_EQ(GetTextureManager().createBlank(target, 8, 8, 1, 3), 0);
  ASSERT_TRUE(RenderToTexture(&rect, &target, true, &captured, 0));
  ASSERT_TRUE(captured);
  ASSERT_EQ(captured->width, 8);
  const uint8_t* inside = captured->pixel(3, 4);
  EXPECT_EQ(inside[0], 0);  // BGRA
  EXPECT_EQ(inside[2], 255);
  EXPECT_EQ(inside[3], 255);
  const uint8_t* outside = captured->pixel(6, 4);  // cleared to transparent black
  EXPECT_EQ(outside[2], 0);
  EXPECT_EQ(outside[3], 0);
}

TEST_F(SceneSetupTest, TheDrawnInputBoxTakesTypedText) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  auto env = makeEnvironment();
  ASSERT_TRUE(sceneInit(env.get()));

  pushText("xy");
  pushText("あいう");  // cut at the limit
  pushKey(SDLK_RETURN);
  std::u16string out;
  EXPECT_TRUE(ShowInputDialog(&out, u"abcdef", 4, u"名前", u"入力"));
  EXPECT_EQ(out, u"xyあい");

  pushKey(SDLK_BACKSPACE);
  pushKey(SDLK_ESCAPE);
  EXPECT_FALSE(ShowInputDialog(&out, u"abcdef", 4, u"", u""));
  EXPECT_EQ(out, u"abcdef");

  // The box is modal: its keys never reached the game.
  for (const auto& event : GetEventQueue().takeAll()) EXPECT_EQ(EventAs<KeyEvent>(event.get()), nullptr);

  // A quit signal cancels the box, and the engine is to end.
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_FALSE(ShowInputDialog(&out, u"abc", 4, u"", u""));
  EXPECT_EQ(out, u"abc");
  EXPECT_TRUE(IsQuitFlagSet());
}
