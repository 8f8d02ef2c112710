// Text lines and chips drawn by the real device under the offscreen driver,
// with the sample game's configuration, fonts and pictures, and the pixels
// read back: revealed steps, outlines, ruby above the base, a partly shown
// ruby, and every sample part at its place. Skips only where no OpenGL
// context can be made at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/game_environment.h"
#include "app/main_window.h"
#include "app/screen_flags.h"
#include "gdev/glyph_renderer.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/gui_text_line.h"
#include "scene/gui_text_line3.h"
#include "scene/scene_setup.h"
#include "scene/xg_chip.h"
#include "tests/support/test_support.h"

namespace {

struct Rgba {
  int r, g, b, a;
};

class TextDrawingTest : public ::testing::Test {
 protected:
  TextDrawingTest()
      : folder_(std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample"),
        cwd_(folder_),
        env_(platform::FromUtf8(folder_.string()), {u"."}, {}) {}

  void SetUp() override {
    std::string why;
    if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
    ASSERT_TRUE(env_.init(u"game.scm"));
    ASSERT_TRUE(sceneInit(&env_));
  }
  void TearDown() override {
    sceneRelease();
    DestroyMainWindow();
    GetFontRendererTable().clear();
  }

  RGBAImageRef capture(GUIComponent* c, int32_t w, int32_t h) {
    ZEPTextureRef target;
    RGBAImageRef image;
    EXPECT_EQ(GetTextureManager().createBlank(target, w, h, 1, 3), 0);
    EXPECT_TRUE(RenderToTexture(c, &target, true, &image, 0));
    return image;
  }
  static Rgba at(const RGBAImageRef& image, int32_t x, int32_t y) {
    const uint8_t* p = image->pixel(x, y);
    return Rgba{p[2], p[1], p[0], p[3]};
  }
  // Lit pixels inside a rectangle (right and bottom excluded).
  static int lit(const RGBAImageRef& image, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    int n = 0;
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x1; ++x) n += at(image, x, y).a > 0;
    return n;
  }

  std::filesystem::path folder_;
  ScopedCurrentDir cwd_;
  GameEnvironment env_;
};

GlyphItem Glyph(char16_t c, uint32_t edge = 0) { return GlyphItem{c, 0, 1, 0xFFFFFFFFu, edge}; }

TEST_F(TextDrawingTest, LinesRevealStepsWithOutlinesAndRuby) {
  GUITextLine3 line;
  line.setLine(LineLayout{32, 0, {TextSegment{32, {Glyph(u'あ'), Glyph(u'い')}, 0, {}}}});
  // Measured, not drawn: no glyph is rendered until the line is drawn.
  EXPECT_EQ(line.width(), 64);
  EXPECT_EQ(line.height(), 32);
  EXPECT_FALSE(line.isRendered());
  EXPECT_FALSE(line.pieces()[0].base);
  line.setVisibleCount(1);
  RGBAImageRef first = capture(&line, 96, 48);
  EXPECT_TRUE(line.isRendered());
  EXPECT_EQ(line.width(), 64);
  EXPECT_GT(lit(first, 0, 0, 32, 32), 0);
  EXPECT_EQ(lit(first, 32, 0, 96, 48), 0);
  line.setVisibleCount(-1);
  RGBAImageRef both = capture(&line, 96, 48);
  EXPECT_GT(lit(both, 32, 0, 64, 32), 0);
  EXPECT_EQ(lit(both, 64, 0, 96, 48), 0);

  // A blue outline lies under white glyphs.
  line.setLine(LineLayout{32, 0, {TextSegment{32, {Glyph(u'あ', 0xFF0000FFu)}, 0, {}}}});
  RGBAImageRef outlined = capture(&line, 32, 32);
  int white = 0, blue = 0;
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 32; ++x) {
      const Rgba p = at(outlined, x, y);
      white += p.a == 255 && p.r > 240 && p.g > 240 && p.b > 240;
      blue += p.a > 128 && p.b > 200 && p.r < 60 && p.g < 60;
    }
  }
  EXPECT_GT(white, 20);
  EXPECT_GT(blue, 20);

  // Ruby of size 12 with pitch 2 above a base of 32: a line 46 high. Five
  // ruby glyphs over two base glyphs take five steps; after three, all of
  // the base and three fifths of the ruby's 60 pixels (from x 2) show.
  const TextSegment ruby{32, {Glyph(u'漢'), Glyph(u'字')}, 12,
                         {Glyph(u'か'), Glyph(u'ん'), Glyph(u'じ'), Glyph(u'か'), Glyph(u'な')}};
  line.setRubyPitch(2);
  line.setLine(LineLayout{32, 12, {ruby}});
  EXPECT_EQ(line.height(), 46);
  EXPECT_EQ(line.totalSteps(), 5);
  RGBAImageRef full = capture(&line, 80, 64);
  EXPECT_GT(lit(full, 0, 0, 80, 13), 0);   // ruby rows
  EXPECT_GT(lit(full, 0, 14, 64, 46), 0);  // base rows
  EXPECT_EQ(lit(full, 0, 46, 80, 64), 0);  // nothing below the line
  line.setVisibleCount(3);
  RGBAImageRef part = capture(&line, 80, 64);
  const int32_t cut = 2 + 60 * 3 / 5;
  EXPECT_EQ(lit(part, cut + 1, 0, 80, 13), 0);
  EXPECT_GT(lit(full, cut + 1, 0, 80, 13), 0);
  for (int32_t y = 0; y < 46; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      if (y < 13 && x >= cut - 1) continue;
      ASSERT_EQ(at(part, x, y).a, at(full, x, y).a) << x << "," << y;
    }
  }
}

// A reveal step marks as changed only what it adds: the base cells of its
// steps and the ruby of the segments they touch; fewer steps, the whole line.
TEST_F(TextDrawingTest, ARevealStepMarksOnlyWhatItAdds) {
  GUIComponent* sceneRoot = GetScreenRoot();
  Panel screen;
  screen.setBounds(0, 0, 800, 600);
  SetScreenRoot(&screen);
  auto* line = new GUITextLine3;
  screen.addChild(line);
  line->setPosition(100, 200);
  line->setRubyPitch(2);
  // Three plain glyphs of 32, then two under five ruby glyphs of 12: the
  // second segment's base at x 96-160, y 14-46, its ruby at 97-159, -1-13;
  // each marked with a pixel more all round.
  line->setLine(LineLayout{32, 12,
                           {TextSegment{32, {Glyph(u'あ'), Glyph(u'い'), Glyph(u'う')}, 0, {}},
                            TextSegment{32, {Glyph(u'漢'), Glyph(u'字')}, 12,
                                        {Glyph(u'か'), Glyph(u'ん'), Glyph(u'じ'), Glyph(u'か'), Glyph(u'な')}}}});
  ASSERT_EQ(line->height(), 46);
  const auto marked = [] {
    const ScreenArea* areas = nullptr;
    size_t count = 0;
    return ChangedScreenAreas(&areas, &count) && count == 1 ? areas[0] : ScreenArea{};
  };
  line->setVisibleCount(1);
  ClearScreenChanges();
  line->setVisibleCount(2);  // the second glyph's cell
  EXPECT_EQ(marked(), (ScreenArea{131, 213, 165, 247}));
  ClearScreenChanges();
  line->setVisibleCount(4);  // the third glyph, the first fifth of the second segment and all its ruby
  EXPECT_EQ(marked(), (ScreenArea{163, 198, 260, 247}));
  ClearScreenChanges();
  line->setVisibleCount(-1);  // the rest of the second segment and its ruby
  EXPECT_EQ(marked(), (ScreenArea{196, 198, 261, 247}));
  ClearScreenChanges();
  line->setVisibleCount(1);  // fewer: all of it
  EXPECT_EQ(marked(), (ScreenArea{99, 198, 261, 247}));
  delete line;
  SetScreenRoot(sceneRoot);
}

TEST_F(TextDrawingTest, PlainLinesColourTheirCellsAndRevealTheirLeftPart) {
  GUITextLine plain;
  plain.colorTable()[0] = 0xFFFF0000u;
  plain.setGlyphs({{u'あ', 32}, {u'あ', 99}}, true, false);  // table entry 0; out of range: the last
  ASSERT_EQ(plain.height(), 24);
  ASSERT_EQ(plain.width(), 48);
  RGBAImageRef both = capture(&plain, 64, 32);
  int red = 0, white = 0, wrong = 0;
  for (int32_t y = 0; y < 24; ++y) {
    for (int32_t x = 0; x < 48; ++x) {
      const Rgba p = at(both, x, y);
      if (p.a < 200) continue;
      const bool isRed = p.r > 200 && p.g < 60 && p.b < 60, isWhite = p.r > 200 && p.g > 200 && p.b > 200;
      (x < 24 ? red : white) += x < 24 ? isRed : isWhite;
      wrong += x < 24 ? !isRed : !isWhite;
    }
  }
  EXPECT_GT(red, 10);
  EXPECT_GT(white, 10);
  EXPECT_EQ(wrong, 0);
  plain.setRevealPosition(plain.textTexture()->width() / 2);
  RGBAImageRef half = capture(&plain, 64, 32);
  EXPECT_GT(lit(half, 0, 0, 24, 24), 0);
  EXPECT_EQ(lit(half, 25, 0, 64, 32), 0);
}

TEST_F(TextDrawingTest, SamplePartsDrawAtTheirPlaces) {
  struct Placed {
    int32_t part, x, y;
    Rgba centre;  // of the picture's first look; a = 0: a text, checked for its colour
  };
  const Placed placed[] = {
      {10, 0, 0, {120, 190, 255, 255}},     {11, 100, 0, {255, 214, 96, 255}},
      {20, 430, 0, {255, 214, 96, 255}},    {21, 460, 0, {120, 190, 255, 255}},
      {30, 0, 130, {56, 92, 160, 255}},     {31, 100, 130, {52, 132, 96, 255}},
      {32, 200, 130, {168, 112, 40, 255}},  {33, 300, 130, {88, 72, 140, 255}},
      {34, 0, 170, {40, 120, 140, 255}},    {35, 100, 170, {52, 132, 96, 255}},
      {36, 200, 170, {120, 84, 150, 255}},  {37, 300, 170, {176, 64, 64, 255}},
      {40, 0, 220, {255, 214, 96, 0}},      {41, 220, 220, {200, 200, 210, 0}},
  };
  Panel screen;
  screen.setBounds(0, 0, 800, 600);
  XGChip* button = nullptr;
  for (const Placed& p : placed) {
    auto* chip = new XGChip;
    screen.addChild(chip);
    chip->config(true, p.x, p.y, 255, env_.findPartsConfig(p.part).get());
    ASSERT_TRUE(chip->isDrawable()) << p.part;
    if (p.part == 30) button = chip;
  }
  auto* map = new XGChip;
  map->config(true, 0, 0, 255, env_.findPartsConfig(50).get());
  screen.addChild(map);
  EXPECT_EQ(map->kind(), XGChip::kTouchmap);
  EXPECT_FALSE(map->isDrawable());

  RGBAImageRef image = capture(&screen, 800, 600);
  for (const Placed& p : placed) {
    const GUIComponent* chip = screen.children()[static_cast<size_t>(&p - placed)];
    if (p.centre.a == 0) {
      // Some pixel of the text has the part's colour.
      bool found = false;
      for (int32_t y = chip->y(); y < chip->y() + chip->height() && !found; ++y) {
        for (int32_t x = chip->x(); x < chip->x() + chip->width() && !found; ++x) {
          const Rgba c = at(image, x, y);
          found = c.a == 255 && std::abs(c.r - p.centre.r) <= 2 && std::abs(c.g - p.centre.g) <= 2 &&
                  std::abs(c.b - p.centre.b) <= 2;
        }
      }
      EXPECT_TRUE(found) << p.part;
      continue;
    }
    const Rgba c = at(image, chip->x() + chip->width() / 2, chip->y() + chip->height() / 2);
    EXPECT_NEAR(c.r, p.centre.r, 2) << p.part;
    EXPECT_NEAR(c.g, p.centre.g, 2) << p.part;
    EXPECT_NEAR(c.b, p.centre.b, 2) << p.part;
    EXPECT_EQ(c.a, 255) << p.part;
  }
  EXPECT_EQ(at(image, 700, 500).a, 0);

  button->setEnabled(false);  // the disabled look
  const Rgba disabled = at(capture(&screen, 800, 600), 44, 144);
  EXPECT_NEAR(disabled.r, 104, 2);
  EXPECT_NEAR(disabled.b, 116, 2);

  // A label of two lines stacks them and draws instead of the picture.
  const LineLayout line{24, 0, {TextSegment{24, {Glyph(u'あ')}, 0, {}}}};
  button->setLabel({line, line}, 2);
  EXPECT_EQ(button->height(), 48);
  RGBAImageRef labelled = capture(&screen, 800, 600);
  EXPECT_GT(lit(labelled, 0, 154, 24, 178), 0);
  EXPECT_EQ(lit(labelled, 30, 130, 88, 158), 0);
}

TEST_F(TextDrawingTest, ATextChipStretchesItsWholeTextOverItsConfiguredBox) {
  // "AB" at 20 pixels is a 20 x 20 text; a box of 80 x 40 takes it at four
  // times its width and twice its height.
  XGChipConfig::TextConfig config;
  config.fontSize = 20;
  config.text = u"AB";
  config.width = 80;
  config.height = 40;
  Panel screen;
  screen.setBounds(0, 0, 100, 60);
  auto* chip = new XGChip;
  screen.addChild(chip);
  chip->config(true, 0, 0, 255, &config);
  EXPECT_EQ(std::make_pair(chip->width(), chip->height()), std::make_pair(80, 40));
  RGBAImageRef image = capture(&screen, 100, 60);
  EXPECT_GT(lit(image, 20, 0, 40, 40), 0);  // A
  EXPECT_GT(lit(image, 60, 0, 80, 40), 0);  // B
  EXPECT_GT(lit(image, 0, 24, 80, 40), 0);
  EXPECT_EQ(lit(image, 80, 0, 100, 60) + lit(image, 0, 40, 80, 60), 0);
}

}  // namespace
