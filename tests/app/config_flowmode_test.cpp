// The ":flowmode" configuration: reading save points and connections, the
// finishing pass that links and groups them, and the layout of chart pages
// and routes as tiles.
#include "app/config_flowmode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/log.h"
#include "script/tokenizer.h"
#include "tests/support/test_support.h"

namespace {

using Config::FlowmodeConfig;
using Connection = FlowmodeConfig::Connection;
using SavePoint = FlowmodeConfig::SavePoint;

// Parses the text and hands its first top-level form to the section parser.
bool Parse(FlowmodeConfig* config, std::u16string_view text) {
  tokenizer::Tokenizer reader;
  if (!reader.parse(text)) {
    ADD_FAILURE() << "unreadable test text";
    return false;
  }
  return ParseFlowmodeSection(config, tokenizer::carOf(reader.root()));
}

// True when some captured line has the level and ends with the message.
bool HasLine(const LogCapture& log, const std::string& level, const std::string& message) {
  for (const std::string& line : log.lines()) {
    if (line.rfind("[" + level + "]", 0) == 0 && line.size() >= message.size() &&
        line.compare(line.size() - message.size(), message.size(), message) == 0) {
      return true;
    }
  }
  return false;
}

std::vector<int32_t> Keys(const std::map<int32_t, Connection>& map) {
  std::vector<int32_t> keys;
  for (const auto& entry : map) keys.push_back(entry.first);
  return keys;
}

class FlowmodeConfigTest : public testing::Test {
 protected:
  FlowmodeConfigTest() : oldMask_(GetLogLevelMask()) { SetLogLevelMask(LOG_WARN); }
  ~FlowmodeConfigTest() override { SetLogLevelMask(oldMask_); }

  uint32_t oldMask_;
  LogCapture log_;
  FlowmodeConfig config_;
};

TEST_F(FlowmodeConfigTest, TwoPointsAndOneConnectionAreLinkedAndGrouped) {
  ASSERT_TRUE(Parse(&config_,
                    u"(:flowmode (spMap (1 (x . 0) (y . 0) (page . 0)) (2 (x . 3) (y . 0) (page . 0)))"
                    u" (connList ((from . 1) (to . 2))))"));
  ASSERT_EQ(config_.connections.size(), 1u);
  EXPECT_EQ(config_.connections[0].from, 1);
  EXPECT_EQ(config_.connections[0].to, 2);
  EXPECT_EQ(config_.connections[0].outDir, 6);
  EXPECT_EQ(config_.connections[0].inDir, 4);

  const SavePoint* one = config_.findSavePoint(1);
  const SavePoint* two = config_.findSavePoint(2);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(Keys(one->outgoing), std::vector<int32_t>{2});
  EXPECT_TRUE(one->incoming.empty());
  EXPECT_EQ(Keys(two->incoming), std::vector<int32_t>{1});
  EXPECT_TRUE(two->outgoing.empty());
  EXPECT_EQ(two->incoming.at(1).to, 2);
  EXPECT_EQ(two->x, 3);
  EXPECT_EQ(one->type, 0);
  EXPECT_EQ(one->imageNo, -1);
  EXPECT_TRUE(one->text1.empty());

  ASSERT_EQ(config_.pages.size(), 1u);
  EXPECT_EQ(config_.pages.at(0), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(config_.findSavePoint(3), nullptr);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(FlowmodeConfigTest, EveryKeyIsRead) {
  ASSERT_TRUE(Parse(&config_,
                    u"(:flowmode (spMap (7 (initialState . 2) (type . 3) (x . 4) (y . 5) (page . 6)"
                    u" (imageNo . 8) (text1 . \"始まり\") (text2 . \"two\")) (9 (page . 6) (y . 9)))"
                    u" (connList ((from . 7) (to . 9) (outDir . 2) (inDir . 8))))"));
  const SavePoint* p = config_.findSavePoint(7);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->initialState, 2);
  EXPECT_EQ(p->type, 3);
  EXPECT_EQ(p->x, 4);
  EXPECT_EQ(p->y, 5);
  EXPECT_EQ(p->page, 6);
  EXPECT_EQ(p->imageNo, 8);
  EXPECT_EQ(p->text1, u"始まり");
  EXPECT_EQ(p->text2, u"two");
  ASSERT_EQ(config_.connections.size(), 1u);
  EXPECT_EQ(config_.connections[0].outDir, 2);
  EXPECT_EQ(config_.connections[0].inDir, 8);
  EXPECT_EQ(p->outgoing.at(9).inDir, 8);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(FlowmodeConfigTest, EmptySectionSucceedsAndLeavesEverythingEmpty) {
  ASSERT_TRUE(Parse(&config_, u"(:flowmode)"));
  EXPECT_TRUE(config_.spMap.empty());
  EXPECT_TRUE(config_.connections.empty());
  EXPECT_TRUE(config_.pages.empty());
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(FlowmodeConfigTest, ConnectionToUndefinedPointFailsWithoutMessage) {
  EXPECT_FALSE(Parse(&config_, u"(:flowmode (spMap (1)) (connList ((from . 1) (to . 9))))"));
  EXPECT_FALSE(Parse(&config_, u"(:flowmode (spMap (1)) (connList ((from . 9) (to . 1))))"));
  // Defaults -1 name no save point either.
  EXPECT_FALSE(Parse(&config_, u"(:flowmode (spMap (1)) (connList ((from . 1))))"));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(FlowmodeConfigTest, BlockNumberThatIsNotAnIntegerSkipsTheTable) {
  ASSERT_TRUE(Parse(&config_, u"(:flowmode (spMap (a (x . 1))))"));
  EXPECT_TRUE(config_.spMap.empty());
  EXPECT_TRUE(HasLine(log_, "WARN ", "Config.FlowmodeConfig:未知のエントリ<spMap> - 無視されました\n")) << log_.all();
}

TEST_F(FlowmodeConfigTest, FailingBlockKeepsTheSavePointsBeforeIt) {
  // (x 5) is a list entry, not a pair: point 2 fails, 3 is never read.
  ASSERT_TRUE(Parse(&config_, u"(:flowmode (spMap (1 (x . 1)) (2 (x 5)) (3 (x . 3))))"));
  ASSERT_EQ(config_.spMap.size(), 1u);
  EXPECT_EQ(config_.findSavePoint(1)->x, 1);
  EXPECT_TRUE(HasLine(log_, "WARN ", "Config.FlowmodeConfig:未知のエントリ<spMap> - 無視されました\n"));

  for (std::u16string_view text : {u"(:flowmode (spMap (1 (\"x\" . 1))))", u"(:flowmode (spMap (1 (x . (1)))))",
                                   u"(:flowmode (spMap (1 x)))", u"(:flowmode (spMap ()))",
                                   u"(:flowmode (spMap 4))"}) {
    log_.clear();
    FlowmodeConfig config;
    EXPECT_TRUE(Parse(&config, text));
    EXPECT_TRUE(config.spMap.empty());
    EXPECT_TRUE(HasLine(log_, "WARN ", "Config.FlowmodeConfig:未知のエントリ<spMap> - 無視されました\n"))
        << log_.all();
  }
}

TEST_F(FlowmodeConfigTest, WrongTypeOrUnknownKeyIsLoggedAndSkipped) {
  ASSERT_TRUE(Parse(&config_, u"(:flowmode (spMap (1 (x . \"3\") (y . 4) (text1 . 5) (colour . 1))))"));
  const SavePoint* p = config_.findSavePoint(1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->x, 0);
  EXPECT_EQ(p->y, 4);
  EXPECT_TRUE(p->text1.empty());
  const std::string prefix = "Config.FlowmodeConfig.Savepoint:未知のエントリ<";
  EXPECT_TRUE(HasLine(log_, "WARN ", prefix + "x> - 無視されました\n")) << log_.all();
  EXPECT_TRUE(HasLine(log_, "WARN ", prefix + "text1> - 無視されました\n"));
  EXPECT_TRUE(HasLine(log_, "WARN ", prefix + "colour> - 無視されました\n"));
  EXPECT_EQ(log_.lines().size(), 3u) << log_.all();
}

TEST_F(FlowmodeConfigTest, RepeatedNumberReplacesTheWholePoint) {
  ASSERT_TRUE(Parse(&config_, u"(:flowmode (spMap (1 (x . 5) (page . 2)) (1 (y . 2))))"));
  ASSERT_EQ(config_.spMap.size(), 1u);
  EXPECT_EQ(config_.findSavePoint(1)->x, 0);
  EXPECT_EQ(config_.findSavePoint(1)->y, 2);
  EXPECT_EQ(config_.findSavePoint(1)->page, -1);
  // The default page -1 is a page of its own.
  EXPECT_EQ(config_.pages.at(-1), std::vector<int32_t>{1});
}

TEST_F(FlowmodeConfigTest, ConnectionListProblems) {
  ASSERT_TRUE(Parse(&config_,
                    u"(:flowmode (spMap (1) (2) (3))"
                    u" (connList ((from . 1) (to . 2) (via . 3) (inDir . \"4\")) () ((from . 2) (to . 3))))"));
  // The empty element ends the list; the one before it stays.
  ASSERT_EQ(config_.connections.size(), 1u);
  EXPECT_EQ(config_.connections[0].inDir, 4);
  EXPECT_TRUE(config_.findSavePoint(2)->outgoing.empty());
  const std::string prefix = "Config.FlowmodeConfig.Connection:未知のエントリ<";
  EXPECT_TRUE(HasLine(log_, "WARN ", prefix + "via> - 無視されました\n")) << log_.all();
  EXPECT_TRUE(HasLine(log_, "WARN ", prefix + "inDir> - 無視されました\n"));
  EXPECT_TRUE(HasLine(log_, "WARN ", "Config.FlowmodeConfig:未知のエントリ<connList> - 無視されました\n"));

  for (std::u16string_view text : {u"(:flowmode (spMap (1) (2)) (connList 5))",
                                   u"(:flowmode (spMap (1) (2)) (connList ((from 1))))",
                                   u"(:flowmode (spMap (1) (2)) (connList ((1 . 1))))"}) {
    log_.clear();
    FlowmodeConfig config;
    EXPECT_TRUE(Parse(&config, text));
    EXPECT_TRUE(config.connections.empty());
    EXPECT_TRUE(HasLine(log_, "WARN ", "Config.FlowmodeConfig:未知のエントリ<connList> - 無視されました\n"))
        << log_.all();
  }
}

TEST_F(FlowmodeConfigTest, BlockHeadsAreSymbolsOrStrings) {
  ASSERT_TRUE(Parse(&config_, u"(:flowmode (\"spMap\" (4 (x . 1))) (nodes (1)) 17 (5) ())"));
  EXPECT_EQ(config_.spMap.size(), 1u);
  EXPECT_NE(config_.findSavePoint(4), nullptr);
  EXPECT_TRUE(HasLine(log_, "WARN ", "Config.FlowmodeConfig:未知のエントリ<nodes> - 無視されました\n"));
  // A bare atom, a numeric head and an empty list have no head text.
  int emptyHeads = 0;
  for (const std::string& line : log_.lines()) {
    if (line.find("Config.FlowmodeConfig:未知のエントリ<> - 無視されました\n") != std::string::npos) ++emptyHeads;
  }
  EXPECT_EQ(emptyHeads, 3) << log_.all();
}

TEST_F(FlowmodeConfigTest, LaterConnectionBetweenTheSamePointsReplacesTheEarlier) {
  ASSERT_TRUE(Parse(&config_,
                    u"(:flowmode (spMap (1) (2))"
                    u" (connList ((from . 1) (to . 2) (outDir . 8)) ((from . 1) (to . 2) (outDir . 2))))"));
  EXPECT_EQ(config_.connections.size(), 2u);
  EXPECT_EQ(config_.findSavePoint(1)->outgoing.size(), 1u);
  EXPECT_EQ(config_.findSavePoint(1)->outgoing.at(2).outDir, 2);
  EXPECT_EQ(config_.findSavePoint(2)->incoming.at(1).outDir, 2);
}

TEST_F(FlowmodeConfigTest, LaterBlocksAndSectionsRebuildEveryMap) {
  ASSERT_TRUE(Parse(&config_,
                    u"(:flowmode (spMap (1 (page . 0)) (2 (page . 0)) (3 (page . 1)))"
                    u" (connList ((from . 1) (to . 2)) ((from . 2) (to . 3))))"));
  // A second table replaces the first one within the section.
  ASSERT_TRUE(Parse(&config_, u"(:flowmode (spMap (8)) (spMap (1 (page . 4)) (2) (3 (page . 4))))"));
  EXPECT_EQ(config_.findSavePoint(8), nullptr);
  // The kept connection list is linked again, without duplicates.
  EXPECT_EQ(Keys(config_.findSavePoint(1)->outgoing), std::vector<int32_t>{2});
  EXPECT_EQ(Keys(config_.findSavePoint(2)->incoming), std::vector<int32_t>{1});
  EXPECT_EQ(Keys(config_.findSavePoint(2)->outgoing), std::vector<int32_t>{3});
  EXPECT_EQ(config_.pages.size(), 2u);
  EXPECT_EQ(config_.pages.at(4), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(config_.pages.at(-1), std::vector<int32_t>{2});

  // A new connection list drops the old links.
  ASSERT_TRUE(Parse(&config_, u"(:flowmode (connList ((from . 3) (to . 1))))"));
  EXPECT_TRUE(config_.findSavePoint(1)->outgoing.empty());
  EXPECT_TRUE(config_.findSavePoint(2)->incoming.empty());
  EXPECT_TRUE(config_.findSavePoint(2)->outgoing.empty());
  EXPECT_EQ(Keys(config_.findSavePoint(1)->incoming), std::vector<int32_t>{3});

  // New save points without point 1 leave the kept connection dangling.
  EXPECT_FALSE(Parse(&config_, u"(:flowmode (spMap (3)))"));
}

// Route and page layout ---------------------------------------------------

using Tile = std::tuple<int32_t, int32_t, int32_t, int32_t>;  // x, y, kind, number

struct Recorder {
  std::vector<Tile> tiles;
  std::vector<const SavePoint*> records;
  std::vector<std::pair<int32_t, int32_t>> asked;
  std::vector<std::pair<int32_t, int32_t>> hidden;  // routes answered false
  int refuseAfter = -1;                             // refuse the n-th tile (0-based)

  static bool draw(void* self, int32_t x, int32_t y, int32_t kind, int32_t number, const SavePoint* record) {
    auto* r = static_cast<Recorder*>(self);
    const bool refuse = static_cast<int>(r->tiles.size()) == r->refuseAfter;
    r->tiles.emplace_back(x, y, kind, number);
    r->records.push_back(record);
    return !refuse;
  }
  static bool visible(void* self, int32_t from, int32_t to) {
    auto* r = static_cast<Recorder*>(self);
    r->asked.emplace_back(from, to);
    for (const auto& h : r->hidden) {
      if (h == std::make_pair(from, to)) return false;
    }
    return true;
  }
  FlowmodeConfig::DrawCallback callback() { return {this, &Recorder::draw, &Recorder::visible}; }
};

class FlowchartRouteTest : public testing::Test {
 protected:
  FlowchartRouteTest() : oldMask_(GetLogLevelMask()) { SetLogLevelMask(LOG_WARN); }
  ~FlowchartRouteTest() override { SetLogLevelMask(oldMask_); }

  // Two save points 1 at (xA, yA) and 2 at (xB, yB), both on page 0.
  void place(int32_t xA, int32_t yA, int32_t xB, int32_t yB) {
    config_.spMap[1].x = xA;
    config_.spMap[1].y = yA;
    config_.spMap[1].page = 0;
    config_.spMap[2].x = xB;
    config_.spMap[2].y = yB;
    config_.spMap[2].page = 0;
  }
  std::vector<Tile> route(int32_t outDir, int32_t page = 0, bool expected = true) {
    Connection c;
    c.from = 1;
    c.to = 2;
    c.outDir = outDir;
    EXPECT_EQ(config_.drawRoute(c, page, 16, recorder_.callback()), expected);
    return recorder_.tiles;
  }

  uint32_t oldMask_;
  LogCapture log_;
  FlowmodeConfig config_;
  Recorder recorder_;
};

TEST_F(FlowchartRouteTest, SameRowRunsRightToAnArrow) {
  place(0, 0, 4, 0);
  EXPECT_EQ(route(6), (std::vector<Tile>{{1, 0, 2, 0}, {2, 0, 2, 0}, {3, 0, 4, 0}}));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
  for (const SavePoint* record : recorder_.records) EXPECT_EQ(record, nullptr);
}

TEST_F(FlowchartRouteTest, SameColumnGoesStraightUpOrDown) {
  place(0, 0, 0, 4);
  EXPECT_EQ(route(2), (std::vector<Tile>{{0, 1, 3, 0}, {0, 2, 3, 0}, {0, 3, 6, 0}}));
  recorder_.tiles.clear();
  place(0, 4, 0, 0);
  EXPECT_EQ(route(8), (std::vector<Tile>{{0, 2, 3, 0}, {0, 3, 3, 0}, {0, 1, 5, 0}}));
  recorder_.tiles.clear();
  // Two rows apart: no line, only the arrow.
  place(0, 0, 0, 2);
  EXPECT_EQ(route(2), (std::vector<Tile>{{0, 1, 6, 0}}));
}

TEST_F(FlowchartRouteTest, HorizontalFirstTurnsAtTheTargetColumn) {
  place(0, 0, 4, 3);
  EXPECT_EQ(route(6), (std::vector<Tile>{{1, 0, 2, 0}, {2, 0, 2, 0}, {3, 0, 2, 0}, {4, 0, 7, 0}, {4, 1, 3, 0},
                                         {4, 2, 6, 0}}));
  recorder_.tiles.clear();
  place(0, 3, 4, 0);
  EXPECT_EQ(route(6), (std::vector<Tile>{{1, 3, 2, 0}, {2, 3, 2, 0}, {3, 3, 2, 0}, {4, 3, 9, 0}, {4, 2, 3, 0},
                                         {4, 1, 5, 0}}));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(FlowchartRouteTest, VerticalFirstTurnsAtTheTargetRow) {
  place(0, 0, 4, 3);
  EXPECT_EQ(route(2), (std::vector<Tile>{{0, 1, 3, 0}, {0, 2, 3, 0}, {0, 3, 10, 0}, {1, 3, 2, 0}, {2, 3, 2, 0},
                                         {3, 3, 4, 0}}));
  recorder_.tiles.clear();
  place(0, 3, 4, 0);
  EXPECT_EQ(route(8), (std::vector<Tile>{{0, 1, 3, 0}, {0, 2, 3, 0}, {0, 0, 8, 0}, {1, 0, 2, 0}, {2, 0, 2, 0},
                                         {3, 0, 4, 0}}));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(FlowchartRouteTest, AdjacentIconsAreRefused) {
  place(0, 0, 1, 1);
  EXPECT_TRUE(route(6, 0, false).empty());
  EXPECT_TRUE(HasLine(log_, "ERROR", "フローモードエラー：アイコンが隣接しています(1:(0,0) 2:(1,1))\n")) << log_.all();

  // A point joined to itself is adjacent too.
  log_.clear();
  Connection self;
  self.from = 2;
  self.to = 2;
  EXPECT_FALSE(config_.drawRoute(self, 0, 16, recorder_.callback()));
  EXPECT_TRUE(HasLine(log_, "ERROR", "フローモードエラー：アイコンが隣接しています(2:(1,1) 2:(1,1))\n")) << log_.all();
  EXPECT_TRUE(recorder_.tiles.empty());
}

TEST_F(FlowchartRouteTest, OneColumnApartMustLeaveToTheRight) {
  place(0, 0, 1, 3);
  EXPECT_EQ(route(2), (std::vector<Tile>{{1, 0, 7, 0}, {1, 1, 3, 0}, {1, 2, 6, 0}}));
  EXPECT_TRUE(HasLine(log_, "WARN ",
                      "フローモード警告：右から出発しないと繋げません。右にします。(1 to 2, dir:2)\n"))
      << log_.all();
  log_.clear();
  recorder_.tiles.clear();
  EXPECT_EQ(route(6).size(), 3u);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(FlowchartRouteTest, OneRowApartAlwaysLeavesVertically) {
  place(0, 0, 4, 1);
  EXPECT_EQ(route(6), (std::vector<Tile>{{0, 1, 10, 0}, {1, 1, 2, 0}, {2, 1, 2, 0}, {3, 1, 4, 0}}));
  EXPECT_TRUE(HasLine(log_, "WARN ",
                      "フローモード警告：下から出発しないと繋げません。下にします。(1 to 2, dir:6)\n"))
      << log_.all();

  log_.clear();
  recorder_.tiles.clear();
  place(0, 1, 4, 0);
  EXPECT_EQ(route(2), (std::vector<Tile>{{0, 0, 8, 0}, {1, 0, 2, 0}, {2, 0, 2, 0}, {3, 0, 4, 0}}));
  EXPECT_TRUE(HasLine(log_, "WARN ",
                      "フローモード警告：上から出発しないと繋げません。上にします。(1 to 2, dir:2)\n"))
      << log_.all();

  // The matching direction is taken without a word.
  log_.clear();
  recorder_.tiles.clear();
  EXPECT_EQ(route(8).size(), 4u);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(FlowchartRouteTest, OtherPagesLieSideBySide) {
  config_.spMap[1] = SavePoint{};
  config_.spMap[1].x = 14;
  config_.spMap[1].page = 0;
  config_.spMap[2] = SavePoint{};
  config_.spMap[2].x = 2;
  config_.spMap[2].page = 1;
  EXPECT_EQ(route(6, 1), (std::vector<Tile>{{-1, 0, 2, 0}, {0, 0, 2, 0}, {1, 0, 4, 0}}));
  recorder_.tiles.clear();
  EXPECT_EQ(route(6, 0), (std::vector<Tile>{{15, 0, 2, 0}, {16, 0, 2, 0}, {17, 0, 4, 0}}));
}

TEST_F(FlowchartRouteTest, RefusedTileEndsOnlyItsRun) {
  place(0, 0, 4, 3);
  recorder_.refuseAfter = 0;  // the first line tile
  EXPECT_EQ(route(6), (std::vector<Tile>{{1, 0, 2, 0}, {4, 0, 7, 0}, {4, 1, 3, 0}, {4, 2, 6, 0}}));
}

TEST_F(FlowchartRouteTest, UnknownEndsAndFarCoordinatesDrawNothing) {
  place(0, 0, 4, 0);
  Connection c;
  c.from = 1;
  c.to = 5;
  EXPECT_FALSE(config_.drawRoute(c, 0, 16, recorder_.callback()));
  c.from = 5;
  c.to = 2;
  EXPECT_FALSE(config_.drawRoute(c, 0, 16, recorder_.callback()));
  EXPECT_TRUE(recorder_.tiles.empty());

  // Pages far apart would overflow the chart coordinates.
  config_.spMap[2].page = 2000000000;
  EXPECT_TRUE(route(6, 0, false).empty());
  config_.spMap[2].page = 0;
  config_.spMap[2].x = INT32_MIN;
  EXPECT_TRUE(route(6, 0, false).empty());
  EXPECT_FALSE(log_.lines().empty());
}

TEST_F(FlowchartRouteTest, RunsWithoutLengthDrawNothing) {
  Recorder r;
  const FlowmodeConfig::DrawCallback cb = r.callback();
  EXPECT_TRUE(Config::DrawHorizontalRun(cb, 0, 3, 3));
  EXPECT_TRUE(Config::DrawVerticalRun(cb, 0, 5, 2));
  EXPECT_TRUE(r.tiles.empty());
  EXPECT_TRUE(Config::DrawVerticalRun(cb, 7, -1, 1));
  EXPECT_EQ(r.tiles, (std::vector<Tile>{{7, -1, 3, 0}, {7, 0, 3, 0}}));
  r.refuseAfter = 2;
  EXPECT_FALSE(Config::DrawHorizontalRun(cb, 1, 0, 10));
  EXPECT_EQ(r.tiles.size(), 3u);
}

class FlowchartPageTest : public FlowchartRouteTest {
 protected:
  // Page 0: 1 (0,0), 2 (4,0), 3 (4,3); page 1: 4 (3,0), 5 (0,2), 6 (1,1).
  // Connections, listed out of order: 2->4, 1->3, 1->2, 4->5 (down first),
  // 5->6 (adjacent).
  FlowchartPageTest() {
    EXPECT_TRUE(Parse(&config_,
                      u"(:flowmode (spMap (1 (page . 0)) (2 (x . 4) (page . 0)) (3 (x . 4) (y . 3) (page . 0))"
                      u" (4 (x . 3) (page . 1)) (5 (y . 2) (page . 1)) (6 (x . 1) (y . 1) (page . 1)))"
                      u" (connList ((from . 2) (to . 4)) ((from . 1) (to . 3)) ((from . 1) (to . 2))"
                      u" ((from . 4) (to . 5) (outDir . 2)) ((from . 5) (to . 6))))"));
  }
  std::vector<Tile> icons() const {
    std::vector<Tile> out;
    for (const Tile& t : recorder_.tiles) {
      if (std::get<2>(t) == 1) out.push_back(t);
    }
    return out;
  }
};

TEST_F(FlowchartPageTest, IconsThenRoutesInNumberOrder) {
  EXPECT_TRUE(config_.drawPage(0, 16, recorder_.callback()));
  ASSERT_GE(recorder_.tiles.size(), 3u);
  EXPECT_EQ(icons(), (std::vector<Tile>{{0, 0, 1, 1}, {4, 0, 1, 2}, {4, 3, 1, 3}}));
  EXPECT_EQ(recorder_.records[0], config_.findSavePoint(1));
  EXPECT_EQ(recorder_.records[2], config_.findSavePoint(3));
  // Routes with an end on page 0, by source then destination; 4->5 and 5->6
  // lie wholly on page 1.
  EXPECT_EQ(recorder_.asked, (std::vector<std::pair<int32_t, int32_t>>{{1, 2}, {1, 3}, {2, 4}}));
  // 1->2: x 1, 2 then the arrow at 3; 1->3 horizontal first; 2->4 runs
  // to page 1 (chart x 19).
  const std::vector<Tile> routes(recorder_.tiles.begin() + 3, recorder_.tiles.end());
  EXPECT_EQ(routes, (std::vector<Tile>{{1, 0, 2, 0},  {2, 0, 2, 0},  {3, 0, 4, 0},  {1, 0, 2, 0},  {2, 0, 2, 0},
                                       {3, 0, 2, 0},  {4, 0, 7, 0},  {4, 1, 3, 0},  {4, 2, 6, 0},  {5, 0, 2, 0},
                                       {6, 0, 2, 0},  {7, 0, 2, 0},  {8, 0, 2, 0},  {9, 0, 2, 0},  {10, 0, 2, 0},
                                       {11, 0, 2, 0}, {12, 0, 2, 0}, {13, 0, 2, 0}, {14, 0, 2, 0}, {15, 0, 2, 0},
                                       {16, 0, 2, 0}, {17, 0, 2, 0}, {18, 0, 4, 0}}));
}

TEST_F(FlowchartPageTest, HiddenAndAdjacentRoutesAreSkipped) {
  recorder_.hidden = {{1, 2}, {2, 4}};
  EXPECT_TRUE(config_.drawPage(1, 16, recorder_.callback()));
  EXPECT_EQ(icons(), (std::vector<Tile>{{3, 0, 1, 4}, {0, 2, 1, 5}, {1, 1, 1, 6}}));
  EXPECT_EQ(recorder_.asked, (std::vector<std::pair<int32_t, int32_t>>{{2, 4}, {4, 5}, {5, 6}}));
  // 4->5 goes back left (vertical first); 5->6 is adjacent and refused.
  const std::vector<Tile> routes(recorder_.tiles.begin() + 3, recorder_.tiles.end());
  EXPECT_EQ(routes, (std::vector<Tile>{{3, 1, 3, 0}, {3, 2, 10, 0}, {-1, 2, 4, 0}}));
  EXPECT_TRUE(HasLine(log_, "ERROR", "フローモードエラー：アイコンが隣接しています(5:(0,2) 6:(1,1))\n")) << log_.all();
}

TEST_F(FlowchartPageTest, PageWithoutPointsDrawsNothingAndMissingCallbacksAreSafe) {
  EXPECT_TRUE(config_.drawPage(7, 16, recorder_.callback()));
  EXPECT_TRUE(recorder_.tiles.empty());
  EXPECT_TRUE(recorder_.asked.empty());

  // Without a route test every route is drawn.
  FlowmodeConfig::DrawCallback drawOnly{&recorder_, &Recorder::draw, nullptr};
  EXPECT_TRUE(config_.drawPage(0, 16, drawOnly));
  EXPECT_EQ(recorder_.tiles.size(), 26u);

  // Without a drawing function nothing is drawn, the routes are still asked.
  recorder_.tiles.clear();
  FlowmodeConfig::DrawCallback askOnly{&recorder_, nullptr, &Recorder::visible};
  EXPECT_TRUE(config_.drawPage(0, 16, askOnly));
  EXPECT_TRUE(recorder_.tiles.empty());
  EXPECT_EQ(recorder_.asked.size(), 3u);
}

}  // namespace
