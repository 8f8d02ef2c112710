// The ":parts" section: the five part kinds with their keys, url resolution
// through the parts naming rule, the colour table behind "(fontcolor . I)",
// touch-map areas, duplicates, and the malformed values that fail the load.
#include "app/config_parts.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "script/tokenizer.h"
#include "tests/support/test_support.h"

namespace {

using XGChipConfig::TouchmapArea;

class ConfigPartsTest : public testing::Test {
 protected:
  ConfigPartsTest() {
    env_.resource().parts = {u"parts", u"p", 4, u"png"};
    env_.colorTable() = {0xFF102030u, 0x80405060u};
  }

  // Parses "(:parts ...)" into the environment's table.
  bool parse(const char16_t* text) {
    reader_ = std::make_unique<tokenizer::Tokenizer>();
    EXPECT_TRUE(reader_->parse(text));
    return ParsePartsSection(&env_.partsTable(), tokenizer::carOf(reader_->root()), &env_);
  }

  template <class T>
  const T* part(int32_t number) {
    const auto it = env_.partsTable().find(number);
    if (it == env_.partsTable().end()) return nullptr;
    return dynamic_cast<const T*>(it->second.get());
  }

  // One touch-map area read from "(N (type . touchmap) (map AREA))".
  const TouchmapArea* area(const std::u16string& form) {
    env_.partsTable().clear();
    const std::u16string text = u"(:parts (1 (type . touchmap) (map " + form + u")))";
    if (!parse(text.c_str())) return nullptr;
    const auto* map = part<XGChipConfig::TouchmapConfig>(1);
    return map && map->areas.size() == 1 ? &map->areas[0] : nullptr;
  }

  LogCapture log_;
  GameEnvironment env_{u"/game", {}, {}};
  std::unique_ptr<tokenizer::Tokenizer> reader_;
};

// ---- section shape

TEST_F(ConfigPartsTest, ImageResolvesNumberedUrlAndReadsRect) {
  ASSERT_TRUE(parse(u"(:parts (3 (type . image) (url . 12) (rect 0 0 64 32)))"));
  const auto* image = part<XGChipConfig::ImageConfig>(3);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->kind, XGChipConfig::kImage);
  EXPECT_EQ(image->path, u"parts/p0012.png");
  EXPECT_EQ(image->x, 0);
  EXPECT_EQ(image->y, 0);
  EXPECT_EQ(image->w, 64);
  EXPECT_EQ(image->h, 32);
  EXPECT_EQ(image->width, -1);
  EXPECT_EQ(image->height, -1);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigPartsTest, ImageWithoutUrlHasNoPath) {
  ASSERT_TRUE(
      parse(u"(:parts (0 (type . image) (size 10 x) (rect 1 \"2\" 3 y)) (1 (type . image) (url . \"a/b.png\")))"));
  const auto* bare = part<XGChipConfig::ImageConfig>(0);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->path, u"");  // not the file of number 0
  EXPECT_EQ(bare->width, 10);
  EXPECT_EQ(bare->height, -1);
  EXPECT_EQ(bare->x, 1);
  EXPECT_EQ(bare->y, 0);
  EXPECT_EQ(bare->w, 3);
  EXPECT_EQ(bare->h, 0);
  EXPECT_EQ(part<XGChipConfig::ImageConfig>(1)->path, u"a/b.png");
}

TEST_F(ConfigPartsTest, DuplicateNumberIsReplacedAndLoggedOnce) {
  ASSERT_TRUE(parse(u"(:parts (3 (type . image) (url . 1)) (3 (type . text) (string . \"x\")))"));
  ASSERT_NE(part<XGChipConfig::TextConfig>(3), nullptr);
  EXPECT_EQ(part<XGChipConfig::TextConfig>(3)->text, u"x");
  int duplicates = 0;
  for (const std::string& line : log_.lines())
    duplicates += line.find("パーツ定義が重複しています(index:3)\n") != std::string::npos;
  EXPECT_EQ(duplicates, 1) << log_.all();
}

TEST_F(ConfigPartsTest, UnknownPartTypeIsSkipped) {
  ASSERT_TRUE(parse(u"(:parts (4 (type . sprite)) (5 (type . text)))"));
  EXPECT_TRUE(log_.contains("[WARN ] ")) << log_.all();
  EXPECT_TRUE(log_.contains("Config.Parts:未知のパーツタイプ名<sprite> - 無視されました\n")) << log_.all();
  EXPECT_EQ(env_.partsTable().count(4), 0u);
  EXPECT_EQ(env_.partsTable().count(5), 1u);
}

TEST_F(ConfigPartsTest, MalformedDefinitionsFail) {
  const char16_t* bad[] = {
      u"(:parts 5)",
      u"(:parts (x (type . image)))",
      u"(:parts (-1 (type . image)))",
      u"(:parts (1))",
      u"(:parts (1 (type . \"image\")))",
      u"(:parts (1 (type image)))",
      u"(:parts (1 type))",
      u"(:parts (1 (type . image) (\"url\" . 1)))",
      u"(:parts (1 (type . image) url))",
      // A token where a list of entries belongs.
      u"(:parts (1 (type . button) (pic0 . 5)))",
      u"(:parts (1 (type . animation) (piclist . 5)))",
      u"(:parts (1 (type . touchmap) (map . 5)))",
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    env_.partsTable().clear();
    EXPECT_FALSE(parse(bad[i])) << "case " << i;
  }
}

TEST_F(ConfigPartsTest, UnknownKeysUseTheKindsMessage) {
  ASSERT_TRUE(
      parse(u"(:parts (1 (type . image) (colour 1)) (2 (type . text) (url . 1))"
            u" (3 (type . button) (pic4 (url . 1))) (4 (type . animation) (loop . 1))"
            u" (5 (type . touchmap) (size 1 2)))"));
  const char* expected[] = {
      "Config.Parts.image:未知のエントリ<colour> - 無視されました\n",
      "Config.Parts.text:未知のエントリ<url> - 無視されました\n",
      "Config.Parts.button:未知のエントリ<pic4> - 無視されました\n",
      "Config.Parts.animation:未知のエントリ<loop> - 無視されました\n",
      "Config.Parts.touchmap:未知のエントリ<size> - 無視されました\n",
  };
  for (const char* message : expected) EXPECT_TRUE(log_.contains(message)) << message << log_.all();
  EXPECT_EQ(env_.partsTable().size(), 5u);
  EXPECT_TRUE(part<XGChipConfig::AnimationConfig>(4)->loop);
  EXPECT_EQ(part<XGChipConfig::TouchmapConfig>(5)->width, -1);
}

TEST_F(ConfigPartsTest, SizeAndRectMustBeComplete) {
  const char16_t* bad[] = {
      u"(:parts (1 (type . image) (size 10)))",
      u"(:parts (1 (type . image) (size . 10)))",
      u"(:parts (1 (type . image) (size 10 (20))))",
      u"(:parts (1 (type . image) (rect 0 0 64)))",
      u"(:parts (1 (type . image) (rect 0 (0) 64 32)))",
      u"(:parts (1 (type . image) (url . sym)))",
      u"(:parts (1 (type . image) (url 1)))",
      u"(:parts (1 (type . animation) (size 10 x)))",  // both must be integers
      u"(:parts (1 (type . button) (size 1)))",
      u"(:parts (1 (type . text) (size)))",
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    env_.partsTable().clear();
    EXPECT_FALSE(parse(bad[i])) << "case " << i;
    EXPECT_TRUE(env_.partsTable().empty()) << "case " << i;
  }
}

// ---- text

TEST_F(ConfigPartsTest, TextDefaultsAndKeys) {
  ASSERT_TRUE(parse(u"(:parts (1 (type . text)) (2 (type . text) (string . \"はい\") (fontsize . 24) (size 100 20)))"));
  const auto* plain = part<XGChipConfig::TextConfig>(1);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->kind, XGChipConfig::kText);
  EXPECT_EQ(plain->fontSize, 16);
  EXPECT_EQ(plain->color, 0xFFFFFFFFu);
  EXPECT_EQ(plain->text, u"");
  const auto* text = part<XGChipConfig::TextConfig>(2);
  EXPECT_EQ(text->text, u"はい");
  EXPECT_EQ(text->fontSize, 24);
  EXPECT_EQ(text->width, 100);
  EXPECT_EQ(text->height, 20);

  EXPECT_FALSE(parse(u"(:parts (1 (type . text) (string . 5)))"));
  EXPECT_FALSE(parse(u"(:parts (1 (type . text) (fontsize . \"24\")))"));
}

TEST_F(ConfigPartsTest, FontColorFromComponentsIsCutTo8Bits) {
  ASSERT_TRUE(
      parse(u"(:parts (1 (type . text) (fontcolor 0 0 -1)) (2 (type . text) (fontcolor 300 -1 x))"
            u" (3 (type . text) (fontcolor 1 2 3 4)))"));
  EXPECT_EQ(part<XGChipConfig::TextConfig>(1)->color, 0xFF0000FFu);
  EXPECT_EQ(part<XGChipConfig::TextConfig>(2)->color, 0xFF2CFF00u);
  EXPECT_EQ(part<XGChipConfig::TextConfig>(3)->color, 0xFF010203u);

  EXPECT_FALSE(parse(u"(:parts (1 (type . text) (fontcolor 255 0)))"));
  EXPECT_FALSE(parse(u"(:parts (1 (type . text) (fontcolor 255 (0) 0)))"));
  EXPECT_FALSE(parse(u"(:parts (1 (type . text) (fontcolor)))"));
}

TEST_F(ConfigPartsTest, FontColorIndexReadsTheColorTable) {
  ASSERT_TRUE(parse(u"(:parts (1 (type . text) (fontcolor . 1)))"));
  EXPECT_EQ(part<XGChipConfig::TextConfig>(1)->color, 0x80405060u);
  EXPECT_FALSE(parse(u"(:parts (5 (type . text) (fontcolor . 2)))"));
  EXPECT_FALSE(parse(u"(:parts (5 (type . text) (fontcolor . -1)))"));
  EXPECT_FALSE(parse(u"(:parts (5 (type . text) (fontcolor . \"1\")))"));
  env_.colorTable().clear();
  EXPECT_FALSE(parse(u"(:parts (5 (type . text) (fontcolor . 0)))"));
  EXPECT_EQ(env_.partsTable().count(5), 0u);
}

// ---- button

TEST_F(ConfigPartsTest, ButtonAlwaysHasFourPictures) {
  ASSERT_TRUE(parse(u"(:parts (1 (type . button) (pic1 (url . 7) (rect 1 2 3 4) (other . 1))))"));
  const auto* button = part<XGChipConfig::ButtonConfig>(1);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->kind, XGChipConfig::kButton);
  ASSERT_EQ(button->pictures.size(), 4u);
  EXPECT_EQ(button->pictures[1].path, u"parts/p0007.png");
  EXPECT_EQ(button->pictures[1].x, 1);
  EXPECT_EQ(button->pictures[1].h, 4);
  for (size_t i : {0u, 2u, 3u}) {
    EXPECT_EQ(button->pictures[i].path, u"") << i;
    EXPECT_EQ(button->pictures[i].x, -1) << i;
    EXPECT_EQ(button->pictures[i].y, -1) << i;
    EXPECT_EQ(button->pictures[i].w, -1) << i;
    EXPECT_EQ(button->pictures[i].h, -1) << i;
  }
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigPartsTest, ButtonPictureSubEntriesAreChecked) {
  ASSERT_TRUE(parse(u"(:parts (1 (type . button) (pic0 (url . \"n.png\")) (pic3 (url . \"d.png\")) (size 5 6)))"));
  const auto* button = part<XGChipConfig::ButtonConfig>(1);
  EXPECT_EQ(button->pictures[0].path, u"n.png");
  EXPECT_EQ(button->pictures[3].path, u"d.png");
  EXPECT_EQ(button->width, 5);

  EXPECT_FALSE(parse(u"(:parts (1 (type . button) (pic0 (\"url\" . 1))))"));
  EXPECT_FALSE(parse(u"(:parts (1 (type . button) (pic0 (url . x))))"));
  EXPECT_FALSE(parse(u"(:parts (1 (type . button) (pic0 url)))"));
  EXPECT_FALSE(parse(u"(:parts (1 (type . button) (pic0 (rect 1 2))))"));
}

// ---- animation

TEST_F(ConfigPartsTest, AnimationFramesAndLoop) {
  ASSERT_TRUE(
      parse(u"(:parts (1 (type . animation) (size 32 16) (loop . #f)"
            u" (piclist ((url . 1) (waittime . 100)) ((url . \"b.png\") (rect 0 0 8 8) (note . 1)) ())))"));
  const auto* anim = part<XGChipConfig::AnimationConfig>(1);
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(anim->kind, XGChipConfig::kAnimation);
  EXPECT_FALSE(anim->loop);
  EXPECT_EQ(anim->width, 32);
  EXPECT_EQ(anim->height, 16);
  ASSERT_EQ(anim->frames.size(), 3u);
  EXPECT_EQ(anim->frames[0].path, u"parts/p0001.png");
  EXPECT_EQ(anim->frames[0].waitTime, 100);
  EXPECT_EQ(anim->frames[0].x, -1);
  EXPECT_EQ(anim->frames[1].path, u"b.png");
  EXPECT_EQ(anim->frames[1].w, 8);
  EXPECT_EQ(anim->frames[1].waitTime, 0);
  EXPECT_EQ(anim->frames[2].path, u"");

  ASSERT_TRUE(parse(u"(:parts (2 (type . animation) (piclist ((url . 1))) (piclist ((url . 2)))))"));
  EXPECT_TRUE(part<XGChipConfig::AnimationConfig>(2)->loop);
  EXPECT_EQ(part<XGChipConfig::AnimationConfig>(2)->frames.size(), 2u);
}

TEST_F(ConfigPartsTest, MalformedAnimationFramesFail) {
  const char16_t* bad[] = {
      u"(:parts (1 (type . animation) (piclist ((waittime . \"1\")))))",
      u"(:parts (1 (type . animation) (piclist ((url . #t)))))",
      u"(:parts (1 (type . animation) (piclist 5)))",
      u"(:parts (1 (type . animation) (piclist ((5 . 1)))))",
      u"(:parts (1 (type . animation) (piclist ((rect 1 2 3)))))",
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    env_.partsTable().clear();
    EXPECT_FALSE(parse(bad[i])) << "case " << i;
  }
}

// ---- touch maps

TEST_F(ConfigPartsTest, TouchmapShapes) {
  const TouchmapArea* a = area(u"(circle (center 10 20) (radium . 5) (event . 100))");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->shape, TouchmapArea::kCircle);
  EXPECT_EQ(a->centerX, 10);
  EXPECT_EQ(a->centerY, 20);
  EXPECT_EQ(a->radius, 5);
  EXPECT_EQ(a->event, 100);

  a = area(u"(rect (rect 1 2 3 4))");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->shape, TouchmapArea::kRect);
  EXPECT_EQ(a->rectX, 1);
  EXPECT_EQ(a->rectH, 4);
  EXPECT_EQ(a->event, 0);

  a = area(u"(\"poly\" (coords 9 9) (coords 0 0 10 0 10 10) (event . 3))");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->shape, TouchmapArea::kPolygon);
  EXPECT_EQ(a->coords, (std::vector<int32_t>{0, 0, 10, 0, 10, 10}));
  EXPECT_EQ(a->event, 3);
}

TEST_F(ConfigPartsTest, TouchmapImageArea) {
  const TouchmapArea* a = area(u"(image (url . 2) (size 1 2 3 4) (rect 5 6 7 8) (channel . \"a\"))");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->shape, TouchmapArea::kImage);
  EXPECT_EQ(a->imagePath, u"parts/p0002.png");
  EXPECT_EQ(a->areaX, 1);
  EXPECT_EQ(a->areaH, 4);
  EXPECT_EQ(a->srcX, 5);
  EXPECT_EQ(a->srcH, 8);
  EXPECT_EQ(a->testMode, TouchmapArea::kByChannel);
  EXPECT_EQ(a->channel, 3);

  for (auto [word, channel] : {std::pair{u"r", 2}, std::pair{u"g", 1}, std::pair{u"b", 0}}) {
    a = area(std::u16string(u"(image (channel . \"") + word + u"\"))");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->channel, channel);
  }

  a = area(u"(image (color 1 2 3) (event . 7))");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->testMode, TouchmapArea::kByColor);
  EXPECT_EQ(a->color, 0xFF010203u);
  EXPECT_EQ(a->channel, 1);
  EXPECT_EQ(a->areaW, -1);
  EXPECT_EQ(a->srcX, -1);
}

TEST_F(ConfigPartsTest, MalformedTouchmapAreasFail) {
  const char16_t* bad[] = {
      u"(circle (rect 1 2 3 4))",  // a key of another shape
      u"(circle (center 1))",       u"(circle (center 1 x))",  u"(circle (radium 5))",
      u"(rect (rect 1 2 3 x))",     u"(rect (event . \"1\"))", u"(poly (coords 1 2 x))",
      u"(image (channel . \"x\"))", u"(image (channel . r))",  u"(image (color 1 2))",
      u"(image (size 1 2 3))",      u"(image (url . #t))",     u"(star (event . 1))",
      u"(5 (event . 1))",           u"(circle (5 . 1))",       u"circle",
  };
  for (size_t i = 0; i < std::size(bad); ++i) EXPECT_EQ(area(bad[i]), nullptr) << "case " << i;
}

TEST_F(ConfigPartsTest, TouchmapAreasAppendInOrder) {
  ASSERT_TRUE(parse(u"(:parts (1 (type . touchmap) (map (rect (event . 1)) (circle (event . 2))) (map (poly))))"));
  const auto* map = part<XGChipConfig::TouchmapConfig>(1);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->kind, XGChipConfig::kTouchmap);
  ASSERT_EQ(map->areas.size(), 3u);
  EXPECT_EQ(map->areas[0].event, 1);
  EXPECT_EQ(map->areas[1].shape, TouchmapArea::kCircle);
  EXPECT_EQ(map->areas[2].shape, TouchmapArea::kPolygon);
}

// ---- lookup

TEST_F(ConfigPartsTest, FindPartsConfigSharesTheRecord) {
  ASSERT_TRUE(parse(u"(:parts (3 (type . image)))"));
  log_.clear();
  const SharedRef<XGChipConfig::ConfigBase> found = env_.findPartsConfig(3);
  ASSERT_TRUE(found);
  EXPECT_EQ(found.get(), env_.partsTable()[3].get());
  EXPECT_EQ(found.useCount(), 2);
  EXPECT_FALSE(env_.findPartsConfig(4));
  EXPECT_FALSE(env_.findPartsConfig(-1));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

// ---- through the loader: ":color-table" before ":parts"

class ConfigPartsLoadTest : public testing::Test {
 protected:
  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  LogCapture log_;
};

TEST_F(ConfigPartsLoadTest, ColorTableReadEarlierServesFontColors) {
  dir_.write("game.scm",
             "(:color-table (0 1 2 3) (1 4 5 6 7))\n"
             "(:parts (8 (type . text) (fontcolor . 1)))\n");
  GameEnvironment env(u"/game", {}, {});
  ASSERT_TRUE(env.init(u"game.scm")) << log_.all();
  const SharedRef<XGChipConfig::ConfigBase> text = env.findPartsConfig(8);
  ASSERT_TRUE(text);
  EXPECT_EQ(static_cast<const XGChipConfig::TextConfig*>(text.get())->color, 0x07040506u);

  dir_.write("late.scm",
             "(:parts (8 (type . text) (fontcolor . 1)))\n"
             "(:color-table (0 1 2 3) (1 4 5 6 7))\n");
  GameEnvironment late(u"/game", {}, {});
  EXPECT_FALSE(late.init(u"late.scm"));
  EXPECT_TRUE(log_.contains("コンフィグファイルの読み込みに失敗(late.scm:1) :parts\n")) << log_.all();
}

}  // namespace
