// Foreground cells drawn by the real device under the offscreen driver, the
// pixels read back: a negative width mirrors the picture into its rectangle,
// an opacity below 255 tints it. Skips only where no OpenGL context exists.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/game_environment.h"
#include "app/main_window.h"
#include "gdev/glyph_renderer.h"
#include "gdev/image_file.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/scene_setup.h"
#include "scene/xg_fg.h"
#include "tests/support/test_support.h"

namespace {

// The layer painted into a texture of its size; one pixel as bytes B, G, R, A.
std::vector<int> PixelOf(XG_FG& layer, int32_t x, int32_t y) {
  ZEPTextureRef target;
  RGBAImageRef image;
  EXPECT_EQ(GetTextureManager().createBlank(target, layer.width(), layer.height(), 1, 3), 0);
  EXPECT_TRUE(RenderToTexture(&layer, &target, true, &image, 0));
  const uint8_t* p = image->pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

TEST(FGCellDrawing, NegativeWidthMirrorsThePictureAndOpacityTintsIt) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  struct SceneUp {
    ~SceneUp() {
      sceneRelease();
      DestroyMainWindow();
      GetFontRendererTable().clear();
    }
  } scene;
  GameEnvironment env(u"/game", {}, {});
  ASSERT_TRUE(sceneInit(&env));
  // Two pixels: red on the left, blue on the right.
  TempDir temp;
  const std::u16string name = platform::FromUtf8((temp.path() / "two.png").string());
  const RGBAImageRef picture(RGBAImage(0, 2, 1, std::vector<uint8_t>{0, 0, 255, 255, 255, 0, 0, 255}));
  ASSERT_EQ(SaveImageFile(name, picture, true, false), 0);
  const std::vector<int> red{0, 0, 255, 255}, blue{255, 0, 0, 255}, none{0, 0, 0, 0};

  XG_FG layer(256, 128);
  XG_FG::FGCell* cell = layer.getCell(1, true);
  cell->changePicture(0, name, XG_FG::Placement{0, 20, 10, -200, 100}, 255, 0, 0, 5, 0, false, 0);
  for (auto [x, y, expected] : {std::tuple{20, 10, blue}, {219, 109, red}, {19, 60, none}, {220, 60, none},
                                {100, 9, none}, {100, 110, none}}) {
    EXPECT_EQ(PixelOf(layer, x, y), expected) << x << "," << y;
  }
  cell->changePicture(0, name, XG_FG::Placement{0, 20, 10, -200, 100}, 128, 0, 0, 5, 0, false, 0);
  EXPECT_NEAR(PixelOf(layer, 20, 60)[3], 128, 3);
}

}  // namespace
