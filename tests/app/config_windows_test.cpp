// The colour-table, select-window, message-window and menu sections, read
// from small configuration texts, and the post-load passes that bind their
// part numbers, run through GameEnvironment::init.
#include "app/config_windows.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "script/tokenizer.h"
#include "tests/support/config_load_test.h"
#include "tests/support/test_support.h"

namespace {

// Parses one section text and hands its list to the parsers.
class ConfigWindowsTest : public testing::Test {
 protected:
  tokenizer::Cell* section(const char16_t* text) {
    reader_ = std::make_unique<tokenizer::Tokenizer>();
    EXPECT_TRUE(reader_->parse(text));
    return tokenizer::carOf(reader_->root());
  }

  // Lines that mention the text.
  int count(const std::string& text) const {
    int n = 0;
    for (const std::string& line : log_.lines()) n += line.find(text) != std::string::npos;
    return n;
  }

  std::unique_ptr<tokenizer::Tokenizer> reader_;
  LogCapture log_;
};

// ---- ":color-table"

TEST_F(ConfigWindowsTest, ColorTableGrowsToTheLargestIndex) {
  Config::ColorTable table;
  ASSERT_TRUE(ParseColorTable(&table, section(u"(:color-table (5 255 0 0))")));
  ASSERT_EQ(table.size(), 6u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(table[i], 0u) << i;
  EXPECT_EQ(table[5], 0xFFFF0000u);

  // A repeated index overwrites; a smaller one leaves the size alone.
  ASSERT_TRUE(ParseColorTable(&table, section(u"(:color-table (5 1 2 3 4) (0 300 -5 0 128))")));
  ASSERT_EQ(table.size(), 6u);
  EXPECT_EQ(table[5], 0x04010203u);
  EXPECT_EQ(table[0], 0x80FF0000u);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigWindowsTest, ColorTableIndexMustLieIn0To65535) {
  Config::ColorTable table;
  ASSERT_TRUE(ParseColorTable(&table, section(u"(:color-table (65535 1 1 1))")));
  EXPECT_EQ(table.size(), 65536u);

  EXPECT_FALSE(ParseColorTable(&table, section(u"(:color-table (65536 1 1 1))")));
  EXPECT_TRUE(log_.contains("[WARN ] ")) << log_.all();
  EXPECT_TRUE(log_.contains("カラーテーブルのテーブルインデックス値がおかしいです(65536)\n")) << log_.all();
  EXPECT_FALSE(ParseColorTable(&table, section(u"(:color-table (-1 1 1 1))")));
  EXPECT_TRUE(log_.contains("カラーテーブルのテーブルインデックス値がおかしいです(-1)\n")) << log_.all();
  EXPECT_EQ(table.size(), 65536u);
}

TEST_F(ConfigWindowsTest, MalformedColorTableElementsFail) {
  const char16_t* bad[] = {
      u"(:color-table 5)",              // not a list
      u"(:color-table (x 1 2 3))",      // index not an integer
      u"(:color-table (\"1\" 1 2 3))",  // nor a string
      u"(:color-table (1 2 3))",        // two components
      u"(:color-table (1))",            // none
      u"(:color-table (1 (2) 3 4))",    // a list where a component belongs
      u"(:color-table ((1) 2 3 4))",
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    Config::ColorTable table;
    EXPECT_FALSE(ParseColorTable(&table, section(bad[i]))) << "case " << i;
    EXPECT_TRUE(table.empty()) << "case " << i;
  }
}

// ---- ":select-window"

TEST_F(ConfigWindowsTest, SelectWindowDefaults) {
  const Config::SelectWindow w;
  const int32_t expected[Config::SelectWindow::kFieldCount] = {0,  0,  400, 300, 0, 0,   0,   0,   128, 0, 0, 0, 128,
                                                               -1, 32, 0,   0,   0, 255, 255, 255, 255, 0, 0, 0, 0};
  for (size_t i = 0; i < Config::SelectWindow::kFieldCount; ++i) EXPECT_EQ(w[i], expected[i]) << "field " << i;
  EXPECT_EQ(w[Config::SelectWindow::kWindowColorA], 128);
  EXPECT_EQ(w[Config::SelectWindow::kItemTextAlpha], 255);
}

TEST_F(ConfigWindowsTest, EverySelectWindowKeyFillsItsOwnField) {
  const char16_t* text =
      u"(:select-window (7 (window-x . 100) (window-y . 101) (window-width . 102) (window-height-base . 103)"
      u" (window-color-r . 105) (window-color-g . 106) (window-color-b . 107) (window-color-a . 108)"
      u" (cursor-color-r . 109) (cursor-color-g . 110) (cursor-color-b . 111) (cursor-color-a . 112)"
      u" (item-width . 113) (item-height . 114) (item-height-gap . 115) (item-offset-x . 116)"
      u" (item-offset-y . 117) (item-text-color.r . 118) (item-text-color.g . 119) (item-text-color.b . 120)"
      u" (item-text-edge-color.r . 122) (item-text-edge-color.g . 123) (item-text-edge-color.b . 124)"
      u" (item-text-edge-color.a . 125)))";
  Config::SelectWindowTable table;
  ASSERT_TRUE(ParseSelectWindowSection(&table, section(text)));
  ASSERT_EQ(table.count(7), 1u);
  const Config::SelectWindow& w = table[7];
  for (size_t i = 0; i < Config::SelectWindow::kFieldCount; ++i) {
    if (i == 4 || i == 21) continue;  // no key
    EXPECT_EQ(w[i], static_cast<int32_t>(100 + i)) << "field " << i;
  }
  EXPECT_EQ(w[4], 0);
  EXPECT_EQ(w[21], 255);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigWindowsTest, DuplicateSelectWindowKeepsTheFirst) {
  Config::SelectWindowTable table;
  ASSERT_TRUE(
      ParseSelectWindowSection(&table, section(u"(:select-window (1 (item-width . 300)) (1 (item-width . 200)))")));
  EXPECT_EQ(table[1][Config::SelectWindow::kItemWidth], 300);
  EXPECT_EQ(count("ウィンドウ設定番号が重複しています(1)\n"), 1) << log_.all();
}

TEST_F(ConfigWindowsTest, UnknownSelectWindowKeysAreLoggedAndSkipped) {
  Config::SelectWindowTable table;
  // A known key with a value of the wrong type reads as unknown.
  ASSERT_TRUE(ParseSelectWindowSection(
      &table, section(u"(:select-window (2 (window-x . \"5\") (colour . 3) (window-y . 9)))")));
  EXPECT_EQ(table[2][Config::SelectWindow::kWindowX], 0);
  EXPECT_EQ(table[2][Config::SelectWindow::kWindowY], 9);
  EXPECT_TRUE(log_.contains("Config.SelectWindow:未知のエントリ<window-x> - 無視されました\n")) << log_.all();
  EXPECT_TRUE(log_.contains("Config.SelectWindow:未知のエントリ<colour> - 無視されました\n")) << log_.all();
}

TEST_F(ConfigWindowsTest, MalformedSelectWindowBlocksFail) {
  const char16_t* bad[] = {
      u"(:select-window (x (window-x . 1)))",  // number not an integer
      u"(:select-window (1 (window-x 1)))",    // list entry
      u"(:select-window (1 window-x))",        // not an entry at all
      u"(:select-window (1 (\"window-x\" . 1)))", u"(:select-window 3)",
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    Config::SelectWindowTable table;
    EXPECT_FALSE(ParseSelectWindowSection(&table, section(bad[i]))) << "case " << i;
  }
}

// ---- ":message-window"

TEST_F(ConfigWindowsTest, SingleWindowFormIsWindow0WithoutWarnings) {
  Config::MessageWindowTable table;
  ASSERT_TRUE(ParseMessageWindowSection(
      &table, section(u"(:message-window (window-position-x . 10) (ta-linenum . 3) (cp-0-parts . 4))")));
  ASSERT_EQ(table.size(), 1u);
  const Config::MessageWindowConfig& w = table[0];
  EXPECT_EQ(w.windowX, 10);
  EXPECT_EQ(w.windowY, -1);
  EXPECT_EQ(w.taLineNum, 3);
  EXPECT_EQ(w.taFontSize, 32);
  ASSERT_EQ(w.controlPoints.size(), 1u);
  EXPECT_EQ(w.controlPoints[0].partsNo, 4);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigWindowsTest, EveryMessageWindowKeyFillsItsOwnField) {
  const char16_t* text =
      u"(:message-window (window-position-x . 1) (window-position-y . 2) (window-width . 3)"
      u" (window-height . 4) (window-bg-imageUrl . \"bg.png\") (ta-offset-x . 5) (ta-offset-y . 6)"
      u" (ta-width . 7) (ta-height . 8) (ta-bg-amikake . #t) (ta-bg-color.r . 9) (ta-bg-color.g . 10)"
      u" (ta-bg-color.b . 11) (ta-bg-color.a . 12) (ta-font . 13) (ta-font-size . 14)"
      u" (ta-font-color . \"red\") (ta-line-pitch . 15) (ta-char-gap . 16) (ta-linenum . 17)"
      u" (ta-chars-per-line . 18) (ta-font-edge-color.r . 19) (ta-font-edge-color.g . 20)"
      u" (ta-font-edge-color.b . 21) (ta-font-edge-color.a . 22) (ta-ruby-font . 23) (ta-ruby-font-size . 24)"
      u" (ta-ruby-text-color.r . 25) (ta-ruby-text-color.g . 26) (ta-ruby-text-color.b . 27)"
      u" (ta-ruby-text-color.a . 28) (ta-ruby-edge-color.r . 29) (ta-ruby-edge-color.g . 30)"
      u" (ta-ruby-edge-color.b . 31) (ta-ruby-edge-color.a . 32) (ta-ruby-line-pitch . 33)"
      u" (ta-keywait-icon . 34) (ta-keywait-icon-1 . 35) (ta-display-speed-low . 36)"
      u" (ta-display-speed-middle . 37) (ta-display-speed-high . 38) (ta-keywait-icon-posx . 39)"
      u" (ta-keywait-icon-posy . 40))";
  Config::MessageWindowTable table;
  ASSERT_TRUE(ParseMessageWindowSection(&table, section(text)));
  const Config::MessageWindowConfig& w = table[0];
  const int32_t values[] = {
      w.windowX, w.windowY, w.windowWidth, w.windowHeight, w.taOffsetX, w.taOffsetY, w.taWidth, w.taHeight,
      w.taBgColor.r, w.taBgColor.g, w.taBgColor.b, w.taBgColor.a, w.taFont, w.taFontSize, w.taLinePitch,
      w.taCharGap, w.taLineNum, w.taCharsPerLine, w.taFontEdgeColor.r, w.taFontEdgeColor.g,
      w.taFontEdgeColor.b, w.taFontEdgeColor.a, w.taRubyFont, w.taRubyFontSize, w.taRubyTextColor.r,
      w.taRubyTextColor.g, w.taRubyTextColor.b, w.taRubyTextColor.a, w.taRubyEdgeColor.r, w.taRubyEdgeColor.g,
      w.taRubyEdgeColor.b, w.taRubyEdgeColor.a, w.taRubyLinePitch, w.keywaitIcon[0], w.keywaitIcon[1],
      w.displaySpeedLow, w.displaySpeedMiddle, w.displaySpeedHigh, w.keywaitIconPosX, w.keywaitIconPosY};
  for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(values[i], static_cast<int32_t>(i + 1)) << i;
  EXPECT_EQ(w.bgImageUrl, u"bg.png");
  EXPECT_EQ(w.taFontColor, u"red");
  EXPECT_TRUE(w.taBgAmikake);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigWindowsTest, EntryMapReplacesTheTableAndNeedsWindow0) {
  Config::MessageWindowTable table;
  ASSERT_TRUE(ParseMessageWindowSection(
      &table, section(u"(:message-window (entryMap (0 (ta-font . 1)) (2 (ta-font . 2)) (2 (ta-font . 3))))")));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].taFont, 1);
  EXPECT_EQ(table[2].taFont, 3);  // replaced without a message
  EXPECT_TRUE(log_.lines().empty()) << log_.all();

  // A second entryMap clears what the first stored.
  EXPECT_FALSE(ParseMessageWindowSection(&table, section(u"(:message-window (entryMap (1 (ta-font . 2))))")));
  EXPECT_EQ(table.count(0), 0u);
  EXPECT_EQ(table.count(1), 1u);
  EXPECT_TRUE(log_.contains("[ERROR] ")) << log_.all();
  EXPECT_TRUE(log_.contains("Config.MessageWindow:0番が定義されていません")) << log_.all();
  EXPECT_FALSE(log_.contains("Config.MessageWindow:0番が定義されていません\n")) << log_.all();

  // An empty section has no window 0 either.
  Config::MessageWindowTable empty;
  EXPECT_FALSE(ParseMessageWindowSection(&empty, section(u"(:message-window)")));
}

TEST_F(ConfigWindowsTest, FailingBlockKeepsEarlierWindowsAndIsLogged) {
  Config::MessageWindowTable table;
  ASSERT_TRUE(ParseMessageWindowSection(
      &table, section(u"(:message-window (entryMap (0 (ta-font . 1)) (x (ta-font . 2)) (3 (ta-font . 3))))")));
  EXPECT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].taFont, 1);
  EXPECT_EQ(count("Config.MessageWindow:未知のエントリ<entryMap> - 無視されました\n"), 1) << log_.all();
}

TEST_F(ConfigWindowsTest, ElementsBesideEntryMapAreLoggedOnce) {
  Config::MessageWindowTable table;
  ASSERT_TRUE(
      ParseMessageWindowSection(&table, section(u"(:message-window (entryMap (0)) (foo 1 2) (\"bar\" . 1) 7)")));
  EXPECT_EQ(table.size(), 1u);
  EXPECT_TRUE(log_.contains("Config.MessageWindow:未知のエントリ<foo> - 無視されました\n")) << log_.all();
  EXPECT_TRUE(log_.contains("Config.MessageWindow:未知のエントリ<bar> - 無視されました\n")) << log_.all();
  EXPECT_EQ(count("Config.MessageWindow:未知のエントリ<"), 3) << log_.all();
}

TEST_F(ConfigWindowsTest, MalformedSingleWindowFailsTheSection) {
  Config::MessageWindowTable table;
  EXPECT_FALSE(ParseMessageWindowSection(&table, section(u"(:message-window (window-position-x 10))")));
  EXPECT_TRUE(log_.contains("Config.MessageWindow:未知のエントリ<window-position-x> - 無視されました\n")) << log_.all();
  EXPECT_TRUE(log_.contains("Config.MessageWindow:0番が定義されていません")) << log_.all();
  EXPECT_TRUE(table.empty());
}

TEST_F(ConfigWindowsTest, MessageWindowUnknownKeysUseTheWindowEntryMessage) {
  Config::MessageWindowConfig w;
  tokenizer::Cell* s = section(u"(:message-window (ta-font . \"x\") (cp-6-parts . 1) (cp-c0-7-event . save))");
  ASSERT_TRUE(ParseMessageWindowEntry(&w, tokenizer::cdrOr(s, nullptr)));
  EXPECT_EQ(w.taFont, 0);
  EXPECT_TRUE(w.controlPoints.empty());
  EXPECT_TRUE(w.hiddenControlPoints.empty());
  for (const char* key : {"ta-font", "cp-6-parts", "cp-c0-7-event"}) {
    EXPECT_TRUE(log_.contains(std::string("Config.MessaegWindow:未知のエントリ<") + key + "> - 無視されました\n"))
        << key << "\n"
        << log_.all();
  }
}

TEST_F(ConfigWindowsTest, ControlPointKeysGrowTheirList) {
  Config::MessageWindowConfig w;
  tokenizer::Cell* s = section(
      u"(:message-window (cp-3-parts . 7) (cp-0-offset-x . \"12\") (cp-0-offset-y . 5) (cp-0-event . save)"
      u" (cp-1-event . \"load\") (cp-2-event . 4) (cp-c0-6-event . skipmsg) (cp-c0-6-offset-x . 8))");
  ASSERT_TRUE(ParseMessageWindowEntry(&w, tokenizer::cdrOr(s, nullptr)));
  ASSERT_EQ(w.controlPoints.size(), 4u);
  EXPECT_EQ(w.controlPoints[0].offsetX, 0);  // a string reads 0
  EXPECT_EQ(w.controlPoints[0].offsetY, 5);
  EXPECT_EQ(w.controlPoints[0].event, u"save");
  EXPECT_EQ(w.controlPoints[1].event, u"load");
  EXPECT_EQ(w.controlPoints[2].event, u"");  // a number gives no text
  EXPECT_EQ(w.controlPoints[2].offsetX, -9999);
  EXPECT_EQ(w.controlPoints[2].offsetY, -1);
  EXPECT_EQ(w.controlPoints[2].partsNo, -1);
  EXPECT_EQ(w.controlPoints[3].partsNo, 7);
  EXPECT_EQ(w.controlPoints[3].offsetX, -9999);
  ASSERT_EQ(w.hiddenControlPoints.size(), 7u);
  EXPECT_EQ(w.hiddenControlPoints[6].event, u"skipmsg");
  EXPECT_EQ(w.hiddenControlPoints[6].offsetX, 8);
  EXPECT_EQ(w.hiddenControlPoints[0].event, u"");
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigWindowsTest, GetRangePicksPresetOrWindowPosition) {
  Config::MessageWindowConfig w;
  w.windowX = 10;
  w.windowY = 20;
  w.presets = {{1, 2}, {3, 4}, {5, 6}};
  int32_t x = -7, y = -7;
  Config::GetRange(w, -1, &x, &y);
  EXPECT_EQ(x, -7);
  EXPECT_EQ(y, -7);
  Config::GetRange(w, 0, &x, &y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  Config::GetRange(w, 2, &x, &y);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 6);
  Config::GetRange(w, 3, &x, &y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
}

// ---- ":menu"

TEST_F(ConfigWindowsTest, MenuPositionWordsAndDefaults) {
  Config::MenuTable table;
  ASSERT_TRUE(ParseMenuSection(
      &table, section(u"(:menu (entryMap (0 (position . \"left\")) (1 (position . \"right\"))"
                      u" (2 (position . \"top\") (menu-width . 64)) (3 (position . \"bottom\") (sensor-width . 8))"
                      u" (4 (position . \"Left\")) (5 (bg-imageUrl . \"menu.png\"))))")));
  ASSERT_EQ(table.size(), 6u);
  EXPECT_EQ(table[0].position, 0);
  EXPECT_EQ(table[1].position, 1);
  EXPECT_EQ(table[2].position, 2);
  EXPECT_EQ(table[2].menuWidth, 64);
  EXPECT_EQ(table[3].position, 3);
  EXPECT_EQ(table[3].sensorWidth, 8);
  EXPECT_EQ(table[4].position, 1);
  EXPECT_EQ(table[5].position, 1);
  EXPECT_EQ(table[5].menuWidth, 128);
  EXPECT_EQ(table[5].sensorWidth, 48);
  EXPECT_EQ(table[5].extra, 0);
  EXPECT_EQ(table[5].bgImageUrl, u"menu.png");
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(ConfigWindowsTest, MenuControlPointsAndUnknownKeys) {
  Config::MenuConfigEntry entry;
  tokenizer::Cell* s =
      section(u"(:menu (cp-15-event . quit) (cp-16-event . quit) (cp-c0-0-parts . 1) (position . left) (colour . 1))");
  ASSERT_TRUE(ParseMenuEntry(&entry, tokenizer::cdrOr(s, nullptr)));
  ASSERT_EQ(entry.controlPoints.size(), 16u);
  EXPECT_EQ(entry.controlPoints[15].event, u"quit");
  EXPECT_EQ(entry.controlPoints[14].partsNo, -1);
  EXPECT_EQ(entry.position, 1);  // a symbol is not the string key
  for (const char* key : {"cp-16-event", "cp-c0-0-parts", "position", "colour"}) {
    EXPECT_TRUE(log_.contains(std::string("Config.MenuConfigEntry:未知のエントリ<") + key + "> - 無視されました\n"))
        << key << "\n"
        << log_.all();
  }
  EXPECT_FALSE(ParseMenuEntry(&entry, tokenizer::cdrOr(section(u"(:menu (menu-width 3))"), nullptr)));
}

TEST_F(ConfigWindowsTest, MenuSectionLogsWhatIsNotAnEntryMap) {
  Config::MenuTable table;
  ASSERT_TRUE(ParseMenuSection(&table, section(u"(:menu (entryMap (1 (menu-width . 10)) (2 (menu-width 20)) (3))"
                                               u" (menu-width . 5))")));
  // Block 2 is malformed: block 1 stays, block 3 is never read.
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[1].menuWidth, 10);
  EXPECT_TRUE(log_.contains("Config.MenuConfig:未知のエントリ<entryMap> - 無視されました\n")) << log_.all();
  EXPECT_TRUE(log_.contains("Config.MenuConfig:未知のエントリ<menu-width> - 無視されました\n")) << log_.all();

  // A later entryMap clears the table; no menu number is required.
  ASSERT_TRUE(ParseMenuSection(&table, section(u"(:menu (entryMap (4)))")));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.count(4), 1u);
  Config::MenuTable empty;
  EXPECT_TRUE(ParseMenuSection(&empty, section(u"(:menu)")));
  EXPECT_TRUE(empty.empty());
}

// ---- post-load passes, through the whole loader

using ConfigWindowsLoadTest = ConfigLoadTest;

TEST_F(ConfigWindowsLoadTest, PartsNamedBeforeThePartsSectionAreBound) {
  ASSERT_TRUE(
      load("(:menu (entryMap (0 (cp-0-parts . 1) (cp-2-parts . 9))))\n"
           "(:message-window (entryMap (0 (window-position-x . 30) (window-position-y . 40) (ta-keywait-icon . 2)"
           " (ta-keywait-icon-1 . 5) (cp-0-parts . 2) (cp-c0-1-parts . 1))))\n"
           "(:parts (1 (type . image) (url . \"a.png\")) (2 (type . text) (string . \"hi\")))\n"))
      << log_.all();
  const SharedRef<XGChipConfig::ConfigBase> part1 = env_->findPartsConfig(1);
  const SharedRef<XGChipConfig::ConfigBase> part2 = env_->findPartsConfig(2);
  ASSERT_TRUE(part1);
  ASSERT_TRUE(part2);

  const Config::MenuConfigEntry& menu = env_->menuTable()[0];
  ASSERT_EQ(menu.controlPoints.size(), 3u);
  EXPECT_EQ(menu.controlPoints[0].parts, part1);
  EXPECT_FALSE(menu.controlPoints[1].parts);  // parts number -1
  EXPECT_FALSE(menu.controlPoints[2].parts);  // 9 is not defined

  const Config::MessageWindowConfig& w = env_->messageWindowTable()[0];
  EXPECT_EQ(w.keywaitIconParts[0], part2);
  EXPECT_FALSE(w.keywaitIconParts[1]);
  ASSERT_EQ(w.controlPoints.size(), 1u);
  EXPECT_EQ(w.controlPoints[0].parts, part2);
  ASSERT_EQ(w.hiddenControlPoints.size(), 2u);
  EXPECT_FALSE(w.hiddenControlPoints[0].parts);
  EXPECT_EQ(w.hiddenControlPoints[1].parts, part1);
  EXPECT_EQ(part1->kind, XGChipConfig::kImage);
  EXPECT_EQ(part2->kind, XGChipConfig::kText);

  // The window position becomes preset 0, once.
  ASSERT_EQ(w.presets.size(), 1u);
  EXPECT_EQ(w.presets[0], std::make_pair(30, 40));
  ResolveMessageWindowParts(env_.get());
  EXPECT_EQ(env_->messageWindowTable()[0].presets.size(), 1u);
}

TEST_F(ConfigWindowsLoadTest, RebindingReplacesEarlierReferences) {
  ASSERT_TRUE(load("(:message-window (ta-keywait-icon . 3))\n(:parts (3 (type . touchmap)))\n")) << log_.all();
  Config::MessageWindowConfig& w = env_->messageWindowTable()[0];
  ASSERT_TRUE(w.keywaitIconParts[0]);
  EXPECT_EQ(w.keywaitIconParts[0].useCount(), 2);  // the table and the window
  env_->partsTable().erase(3);
  ResolveMessageWindowParts(env_.get());
  EXPECT_FALSE(w.keywaitIconParts[0]);
}

TEST_F(ConfigWindowsLoadTest, MissingWindow0FailsTheLoad) {
  // No entry is at fault: the message names the section's line.
  EXPECT_FALSE(load("\n(:message-window\n  (entryMap (1 (ta-font . 2))))\n"));
  EXPECT_TRUE(log_.contains("Config.MessageWindow:0番が定義されていません")) << log_.all();
  EXPECT_TRUE(log_.contains("コンフィグファイルの読み込みに失敗(game.scm:2) :message-window\n")) << log_.all();
}

}  // namespace
