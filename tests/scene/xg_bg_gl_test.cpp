// The background drawn by the real device under the offscreen driver and
// read back: a plain change shows its picture; a cross-fade towards a
// picture that cannot be loaded fills the incoming plane with its tint (white
// fading in) and ends on black; only an untinted,
// opaque, whole-screen plane lets the frame skip clearing the screen. Skips
// only where no OpenGL context can be made.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/game_environment.h"
#include "app/main_window.h"
#include "gdev/glyph_renderer.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/scene_setup.h"
#include "scene/xg_bg.h"
#include "tests/support/test_support.h"

TEST(BackgroundDrawing, CrossFadeToAMissingPictureFillsItsTintThenEndsBlack) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  const std::filesystem::path folder = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
  ScopedCurrentDir cwd(folder);
  GameEnvironment env(platform::FromUtf8(folder.string()), {u"."}, {});
  ASSERT_TRUE(env.init(u"game.scm") && sceneInit(&env));
  ManualClock clock;
  TimerManager* previousClock = SetTimerManager(&clock);
  clock.dispatch();
  {
    XG_BG bg(64, 48);
    RGBAImageRef image;
    // The middle pixel (blue, green, red, alpha) of what the background draws.
    const auto middle = [&]() {
      ZEPTextureRef target;
      EXPECT_EQ(GetTextureManager().createBlank(target, 64, 48, 1, 3), 0);
      EXPECT_TRUE(RenderToTexture(&bg, &target, true, &image, 0));
      return image->pixel(32, 24);
    };
    EXPECT_FALSE(bg.coversOpaquely());  // nothing drawn yet
    bg.changePicture(0, u"#200,150,100", -1, 0, 0, 0, 0, 0, 0, false, 0);
    EXPECT_FALSE(bg.coversOpaquely());  // its device texture comes with the first draw
    const uint8_t* p = middle();
    const int old[4] = {100, 150, 200, 255};
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(p[c], old[c], 2) << c;
    EXPECT_TRUE(bg.coversOpaquely());
    // A shake leaves a strip uncovered; a see-through picture covers nothing.
    bg.startEffect(XG_BG::kShake, 400, 6, 4, 0);
    clock.ms += 20;
    clock.dispatch();
    EXPECT_FALSE(bg.coversOpaquely());
    bg.changePicture(0, u"#200,150,100,128", -1, 0, 0, 0, 0, 0, 0, false, 0);
    middle();
    EXPECT_FALSE(bg.coversOpaquely());
    bg.changePicture(0, u"#200,150,100", -1, 0, 0, 0, 0, 0, 0, false, 0);
    bg.changePicture(XG_BG::kCrossFade, u"no-such-picture.png", -1, 0, 0, 0, 400, 0, 0, false, 0);
    clock.ms += 200;
    clock.dispatch();
    p = middle();
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], (old[c] + 255) / 2, 3) << c;
    clock.ms += 200;
    clock.dispatch();
    p = middle();
    EXPECT_TRUE(p[0] + p[1] + p[2] == 0 && p[3] == 255);  // ends on opaque black
  }
  SetTimerManager(previousClock);
  sceneRelease();
  DestroyMainWindow();
  GetFontRendererTable().clear();
}
