// A fader drawn by the real device over a white picture, read back: black
// at alpha 128 halves the white. Skips only where no OpenGL context exists.
#include <gtest/gtest.h>

#include <string>

#include "app/game_environment.h"
#include "app/main_window.h"
#include "gdev/glyph_renderer.h"
#include "gdev/texture_manager.h"
#include "scene/gui_image.h"
#include "scene/scene_setup.h"
#include "scene/xg_fader.h"
#include "tests/support/test_support.h"

TEST(FaderDrawing, HalfTransparentBlackOverWhiteReadsBackHalfGrey) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  GameEnvironment env(u"/game", {}, {});
  ASSERT_TRUE(sceneInit(&env));
  {
    Panel screen;
    screen.setBounds(0, 0, 64, 48);
    auto* white = new GUIImage;
    white->setBounds(0, 0, 64, 48);
    white->setImage(MakeColorTexture(255, 255, 255, 255));
    screen.addChild(white);
    auto* fader = new XG_Fader(64, 48);
    screen.addChild(fader);
    faderApplyFade(fader, 0, 0, 0, 128, 0, 0);
    ZEPTextureRef target;
    RGBAImageRef image;
    ASSERT_EQ(GetTextureManager().createBlank(target, 64, 48, 1, 3), 0);
    ASSERT_TRUE(RenderToTexture(&screen, &target, true, &image, 0));
    const uint8_t* p = image->pixel(32, 24);
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(p[c] == 127 || p[c] == 128) << c << ": " << int(p[c]);
  }
  sceneRelease();
  DestroyMainWindow();
  GetFontRendererTable().clear();
}
