// The sample game's configuration file, read the way app_w reads it: every
// section must load without a warning, and one record of each is checked
// against what the file says.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/chip_config.h"
#include "app/config_flowmode.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

using Config::FlowmodeConfig;

// A chart tile: column, row, kind and save-point number (0 for route tiles).
using Tile = std::vector<int32_t>;

bool RecordTile(void* context, int32_t x, int32_t y, int32_t kind, int32_t number, const FlowmodeConfig::SavePoint*) {
  static_cast<std::vector<Tile>*>(context)->push_back({x, y, kind, number});
  return true;
}

// WARN lines are written (and captured) while it lives.
class ScopedWarnings {
 public:
  ScopedWarnings() : old_(GetLogLevelMask()) { SetLogLevelMask(LOG_WARN); }
  ~ScopedWarnings() { SetLogLevelMask(old_); }

 private:
  uint32_t old_;
};

template <class T>
const T* PartAs(const GameEnvironment& env, int32_t number, int32_t kind) {
  const SharedRef<XGChipConfig::ConfigBase> part = env.findPartsConfig(number);
  if (!part || part->kind != kind) return nullptr;
  return static_cast<const T*>(part.get());  // the table keeps the record alive
}

TEST(SampleConfigTest, EverySectionLoadsWithoutWarnings) {
  const std::filesystem::path folder = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
  ScopedCurrentDir cwd(folder);
  ScopedWarnings warnings;
  LogCapture log;
  GameEnvironment env(platform::FromUtf8(folder.string()), {u"."}, {});
  ASSERT_TRUE(env.init(u"game.scm")) << log.all();
  EXPECT_TRUE(log.lines().empty()) << log.all();

  ASSERT_EQ(env.colorTable().size(), 5u);
  EXPECT_EQ(env.colorTable()[1], 0xC8181C30u);

  ASSERT_EQ(env.selectWindowTable().count(0), 1u);
  const Config::SelectWindow& select = env.selectWindowTable().at(0);
  EXPECT_EQ(select[Config::SelectWindow::kItemWidth], 460);
  EXPECT_EQ(select[Config::SelectWindow::kCursorColorB], 230);
  EXPECT_EQ(select[Config::SelectWindow::kItemTextEdgeColorB], 32);

  const Config::MessageWindowTable& windows = env.messageWindowTable();
  ASSERT_EQ(windows.size(), 2u);
  const Config::MessageWindowConfig& story = windows.at(0);
  EXPECT_EQ(story.presets, (std::vector<std::pair<int32_t, int32_t>>{{20, 410}}));
  EXPECT_FALSE(story.taBgAmikake);  // the frame picture carries the backing
  EXPECT_EQ(story.taRubyEdgeColor.a, 220);
  EXPECT_EQ(story.keywaitIconParts[1], env.findPartsConfig(21));
  ASSERT_EQ(story.controlPoints.size(), 3u);
  EXPECT_EQ(story.controlPoints[1].event, u"qload");
  EXPECT_EQ(story.controlPoints[1].parts, env.findPartsConfig(31));
  ASSERT_EQ(story.hiddenControlPoints.size(), 1u);
  EXPECT_EQ(story.hiddenControlPoints[0].offsetY, 150);
  const Config::MessageWindowConfig& note = windows.at(1);
  EXPECT_EQ(note.taLineNum, 2);
  // Each window's text area holds its lines whole: a line takes its size
  // and the ruby's room above it, with the line pitch between lines.
  for (const auto& [number, w] : windows) {
    const int32_t line = w.taFontSize + w.taRubyFontSize + w.taRubyLinePitch;
    EXPECT_LE(w.taLineNum * line + (w.taLineNum - 1) * w.taLinePitch, w.taHeight) << "window " << number;
  }
  EXPECT_EQ(note.keywaitIcon, (std::array<int32_t, 2>{21, 20}));
  ASSERT_TRUE(note.keywaitIconParts[0]);
  EXPECT_EQ(note.keywaitIconParts[0]->kind, XGChipConfig::kAnimation);

  ASSERT_EQ(env.menuTable().size(), 2u);
  EXPECT_EQ(env.menuTable().at(1).position, Config::MenuConfigEntry::kBottom);
  const std::vector<Config::ControlPointConfig>& menuPoints = env.menuTable().at(0).controlPoints;
  ASSERT_EQ(menuPoints.size(), 3u);
  EXPECT_EQ(menuPoints[2].offsetY, 128);
  EXPECT_EQ(menuPoints[2].event, u"config");
  ASSERT_TRUE(menuPoints[2].parts);
  EXPECT_EQ(menuPoints[2].parts, env.findPartsConfig(36));

  const auto* image = PartAs<XGChipConfig::ImageConfig>(env, 10, XGChipConfig::kImage);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->path, u"parts/parts001.png");
  EXPECT_EQ(image->w, 96);
  const auto* button = PartAs<XGChipConfig::ButtonConfig>(env, 30, XGChipConfig::kButton);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->pictures[2].path, u"parts/parts004.png");
  EXPECT_EQ(button->pictures[2].y, 56);
  const auto* animation = PartAs<XGChipConfig::AnimationConfig>(env, 21, XGChipConfig::kAnimation);
  ASSERT_NE(animation, nullptr);
  EXPECT_FALSE(animation->loop);
  ASSERT_EQ(animation->frames.size(), 2u);
  EXPECT_EQ(animation->frames[1].y, 24);
  const auto* text = PartAs<XGChipConfig::TextConfig>(env, 40, XGChipConfig::kText);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->color, 0xFFFFD660u);  // colour-table entry 2
  EXPECT_EQ(text->text, u"Chapter One");
  const auto* touchmap = PartAs<XGChipConfig::TouchmapConfig>(env, 50, XGChipConfig::kTouchmap);
  ASSERT_NE(touchmap, nullptr);
  ASSERT_EQ(touchmap->areas.size(), 5u);
  EXPECT_EQ(touchmap->areas[1].shape, XGChipConfig::TouchmapArea::kCircle);
  EXPECT_EQ(touchmap->areas[1].radius, 36);
  EXPECT_EQ(touchmap->areas[3].channel, 3);
  EXPECT_EQ(touchmap->areas[3].imagePath, u"parts/parts011.png");

  const FlowmodeConfig& flow = env.flowmode();
  const FlowmodeConfig::SavePoint* shrine = flow.findSavePoint(3);
  ASSERT_NE(shrine, nullptr);
  EXPECT_EQ(shrine->text2, u"The closed shrine");
  EXPECT_EQ(shrine->incoming.count(1), 1u);
  EXPECT_EQ(shrine->outgoing.count(4), 1u);
  EXPECT_EQ(flow.pages.at(1), (std::vector<int32_t>{5, 6}));

  // Page 1: its two icons, then the routes 4->5 (from page 0, off to the
  // left) and 5->6; no pair of icons is adjacent, so nothing is refused.
  std::vector<Tile> tiles;
  log.clear();
  EXPECT_TRUE(flow.drawPage(1, 16, {&tiles, &RecordTile, nullptr}));
  EXPECT_TRUE(log.lines().empty()) << log.all();
  ASSERT_GE(tiles.size(), 2u);
  EXPECT_EQ(tiles[0], (Tile{1, 0, FlowmodeConfig::kTileIcon, 5}));
  EXPECT_EQ(tiles[1], (Tile{4, 2, FlowmodeConfig::kTileIcon, 6}));
  EXPECT_EQ(tiles.back(), (Tile{4, 1, FlowmodeConfig::kTileArrowFromAbove, 0}));
  for (size_t i = 2; i < tiles.size(); ++i) EXPECT_NE(tiles[i][2], FlowmodeConfig::kTileIcon) << i;
}

}  // namespace
