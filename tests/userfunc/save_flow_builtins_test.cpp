// The save, load and flow-mode built-ins over a real game state and a chart:
// slot information written only for a full slot, erasing by kind, the
// chart's example of a return that branches a route, the refusals that log
// and change nothing, the chart page drawn as parts for passed points only,
// and storage files deleted by range.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/config_flowmode.h"
#include "app/game_environment.h"
#include "platform/utf8.h"
#include "script/script_vm.h"
#include "scene/scene_impl.h"
#include "scene/xg_chip.h"
#include "scene/xg_parts.h"
#include "script/tokenizer.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

// The second parts layer as "part visible x y alpha z configuration
// event-2 event-1" per part; each test configuration is as wide as its
// number.
std::vector<std::string> SecondLayer(SceneImpl& screen) {
  std::vector<std::string> out;
  const XG_Parts* layer = screen.getPartsB();
  for (int32_t n : layer->partNumbers(INT32_MIN, INT32_MAX)) {
    const XG_Parts::Entry* e = layer->findPart(n);
    const XGChip* c = e->chip;
    out.push_back(std::to_string(n) + " " + (c->isVisible() ? "1" : "0") + " " + std::to_string(c->x()) + " " +
                  std::to_string(c->y()) + " " + std::to_string(c->alpha()) + " " + std::to_string(e->zOrder) +
                  " c" + std::to_string(c->width()) + " " + std::to_string(c->eventNumber(2)) + " " +
                  std::to_string(c->eventNumber(1)));
  }
  return out;
}

// Start 1; 1 -> 2; 2 -> 3 and 2 -> 4 (down); 3 -> 2 closes a cycle.
const char16_t kChart[] =
    u"(:flowmode (spMap (1 (type . 3) (x . 0) (y . 0) (page . 0) (imageNo . 7) (text1 . \"Prologue\"))"
    u" (2 (type . 1) (x . 3) (y . 0) (page . 0)) (3 (type . 1) (x . 6) (y . 0) (page . 0))"
    u" (4 (type . 2) (x . 3) (y . 3) (page . 0)))"
    u" (connList ((from . 1) (to . 2)) ((from . 2) (to . 3)) ((from . 2) (to . 4) (outDir . 2))"
    u" ((from . 3) (to . 2))))";

class SaveFlowBuiltinTest : public UserfuncTest {
 protected:
  SaveFlowBuiltinTest() : cwd_(dir_.path()) {
    tokenizer::Tokenizer reader;
    EXPECT_TRUE(reader.parse(kChart));
    EXPECT_TRUE(ParseFlowmodeSection(&environment_.flowmode(), tokenizer::carOf(reader.root())));
    environment_.resource().storage = {u"storage", u"st", 3, u"bin"};
    // Icon type 1 -> parts 10 and 11, type 3 -> 30 and 31, type 2 names no
    // configuration; tiles from 40.
    environment_.constants() = {{100, 10}, {101, 20}, {102, 30}, {104, 40}};
    for (int32_t n : {10, 11, 30, 31, 44, 45, 46, 47, 48}) {
      auto* config = new XGChipConfig::ImageConfig;
      config->width = n;
      config->height = 1;
      environment_.partsTable()[n] = SharedRef<XGChipConfig::ConfigBase>(config);
    }
    previous_ = SetSceneFacade(&screen_);
  }
  ~SaveFlowBuiltinTest() override { SetSceneFacade(previous_); }

  template <class... A>
  int32_t run(int32_t number, const A&... args) {
    const UserfuncImpl::Args list = {APValue(args)...};
    return builtins_.call(number, list)->value;
  }
  const FlowModeState& flow() { return game_.settings().flowMode; }
  int32_t word(size_t i) { return i < vm_.words().size() ? vm_.words()[i] : 0; }

  TempDir dir_;
  ScopedCurrentDir cwd_;
  GameEnvironment environment_{u"", {}, {}};
  ScriptVM vm_{nullptr};
  StateMgr game_{&vm_, &environment_};
  UserfuncImpl builtins_{&environment_, &game_};
  SceneImpl screen_{800, 600};

 private:
  SceneFacade* previous_;
};

TEST_F(SaveFlowBuiltinTest, SlotsAreListedSavedLoadedCommentedAndErasedByKind) {
  vm_.setWord(12, 9);
  EXPECT_EQ(run(4200, 2, 12, 13, 4), 0);  // empty: nothing written
  EXPECT_EQ(word(12), 9);

  game_.setPlayString(5, u"by the river");
  vm_.setWord(20, 77);
  EXPECT_EQ(run(4201, 2, 31, 1234, 5), 0);  // the comment by its string variable
  vm_.setWord(20, 0);
  EXPECT_EQ(run(4203, 2, u"renamed"), 0);
  EXPECT_EQ(run(4200, 2, 12, 13, 4), 1);
  EXPECT_EQ(std::make_pair(word(12), word(13)), std::make_pair(31, 1234));
  EXPECT_EQ(game_.getPlayString(4, u""), u"renamed");
  EXPECT_EQ(run(4202, 6), 0);
  EXPECT_EQ(run(4202, 2), 1);
  EXPECT_EQ(word(20), 77);

  // A save whose route cannot be copied fails, and the answer says so.
  game_.setRouteID(99);
  EXPECT_EQ(run(4201, 7, 0, 0, u""), -1);
  EXPECT_EQ(flow().saveData.count(7), 0u);
  game_.setRouteID(-1);

  EXPECT_EQ(run(4204, 1), 0);
  EXPECT_EQ(run(4206, 2, 0), 0);  // no such kind: nothing goes
  EXPECT_EQ(run(4206, 0, -1), 0);
  EXPECT_TRUE(flow().saveData.empty());
  EXPECT_EQ(run(4205, 1), 1);
  EXPECT_EQ(run(4206, 1, 1), 0);
  EXPECT_EQ(run(4205, 1), 0);
}

TEST_F(SaveFlowBuiltinTest, AReturnBranchesTheRouteAndThePageShowsOnlyWhatWasPassed) {
  game_.setMode(StateMgr::kUserMode);
  EXPECT_EQ(run(4400, 1), 0);
  EXPECT_EQ(run(4400, 2), 0);
  vm_.setWord(0, 2);
  EXPECT_EQ(run(4400, 3), 0);
  EXPECT_EQ(run(4411), 3);
  EXPECT_EQ(run(4412), 0);

  LogCapture log;
  EXPECT_EQ(run(4401, 2), -1);  // not from the story
  EXPECT_EQ(run(4410), -1);
  EXPECT_EQ(run(4430, 0, 0, 0, 5, 5, 0, 0, 0), -1);
  EXPECT_TRUE(log.contains("flowmode_load:ユーザーモードでは実行できません"));
  EXPECT_TRUE(log.contains("flowmode_autodraw:ユーザーモードでは実行できません"));

  game_.setMode(StateMgr::kSystemMode);
  vm_.setWord(0, 9);
  game_.setSkipping(1);
  EXPECT_EQ(run(4401, 4), 0);  // never passed
  EXPECT_EQ(game_.isSkipping(), 1);
  EXPECT_EQ(run(4401, 2), 1);
  EXPECT_EQ(word(0), 0);  // as it was when 2 was passed
  EXPECT_EQ(game_.isSkipping(), 0);
  EXPECT_EQ(run(4412), 1);
  EXPECT_EQ(run(4400, 4), 0);

  using Route = FlowModeState::Route;
  EXPECT_EQ(flow().routeMap.at(0), (Route{{1, 0}, {2, 1}, {3, 2}}));
  EXPECT_EQ(flow().routeMap.at(1), (Route{{1, 0}, {2, 1}, {4, 3}}));
  EXPECT_EQ(flow().routePerSPMap, (std::map<int32_t, int32_t>{{1, 1}, {2, 1}, {3, 0}, {4, 1}}));

  // Page 0 at (100, 50) on a 5 x 2 grid: icons for 1, 2 and 3 (4's type
  // has no configuration), tiles only along 1 -> 2 -> 4, the route taken;
  // 2 -> 4's arrow on row 2 lies outside the grid and takes no number.
  EXPECT_EQ(run(4430, 0, 100, 50, 5, 2, 200, 300, 1000), 0);
  EXPECT_EQ(SecondLayer(screen_),
            (std::vector<std::string>{"202 1 100 50 255 128 c30 1004 1005", "203 0 100 50 255 127 c31 0 0",
                                      "204 1 244 50 255 128 c10 1008 1009", "205 0 244 50 255 127 c11 0 0",
                                      "206 1 388 50 255 128 c10 1012 1013", "207 0 388 50 255 127 c11 0 0",
                                      "300 1 148 50 255 130 c44 0 0", "301 1 196 50 255 130 c46 0 0",
                                      "302 1 244 98 255 130 c45 0 0"}));

  EXPECT_EQ(run(4410), 0);
  EXPECT_TRUE(flow().routeMap.empty() && flow().routePerSPMap.empty());
  EXPECT_EQ(run(4411), -1);
  EXPECT_EQ(run(4412), -1);
  EXPECT_EQ(run(2120), 0);
  EXPECT_EQ(run(4430, 0, 100, 50, 5, 2, 200, 300, 1000), 0);
  EXPECT_TRUE(SecondLayer(screen_).empty());
}

TEST_F(SaveFlowBuiltinTest, PassesTheChartOrTheRouteRefuseLogAndChangeNothing) {
  game_.setSysflagInt(4, 1);
  EXPECT_EQ(run(4400, 1), 0);  // appreciation mode: ignored
  EXPECT_TRUE(flow().routeMap.empty());
  game_.setSysflagInt(4, 0);

  LogCapture log;
  EXPECT_EQ(run(4400, -1), -1);
  EXPECT_EQ(run(4400, 2), -1);  // not a start
  EXPECT_EQ(run(4400, 9), -1);  // not in the chart
  EXPECT_TRUE(flow().routeMap.empty());
  EXPECT_TRUE(log.contains("flowmode_pass: セーブポイント番号が不正です(-1)"));
  EXPECT_TRUE(log.contains("flowmode_pass:開始ポイントなのに接続元がある(spid=2)"));
  EXPECT_TRUE(log.contains("flowmode_pass:定義されていないセーブポイント番号です(spid=9)"));

  for (int32_t spid : {1, 2, 3}) ASSERT_EQ(run(4400, spid), 0);
  const FlowModeState before = flow();
  EXPECT_EQ(run(4400, 4), -1);  // 3 does not lead to 4
  EXPECT_EQ(run(4400, 2), -1);  // 3 -> 2 closes a cycle
  game_.setLastSPID(77);        // a point this chart lacks
  EXPECT_EQ(run(4400, 2), -1);
  EXPECT_TRUE(log.contains("flowmode_pass:そのような接続はない(lastSPID=3, currSPID=4)"));
  EXPECT_TRUE(log.contains("内部エラー：SPIDは既に経路上にあります(spid=2)"));
  EXPECT_TRUE(log.contains("内部エラー:flowmode_pass:lastSPIDの値が不正です(lastSPID=77)"));
  EXPECT_EQ(flow().routeMap, before.routeMap);
  EXPECT_EQ(flow().stateMap.size(), before.stateMap.size());
  EXPECT_EQ(game_.getRouteID(), 0);
  EXPECT_TRUE(game_.userStack().frames.empty());
}

TEST_F(SaveFlowBuiltinTest, ChartFieldsAndStorageFilesByRange) {
  // (spid, what) -> answer; the texts also go into string variable 3.
  for (const auto& [spid, what, answer] : {std::tuple{1, 0, 3}, {1, 5, 7}, {1, 1, 0}, {1, 9, -1}, {1, -1, -1},
                                           {8, 0, -1}, {1, 6, 8}}) {
    EXPECT_EQ(run(4421, spid, what, 3), answer) << spid << " " << what;
  }
  EXPECT_EQ(game_.getPlayString(3, u""), u"Prologue");
  EXPECT_EQ(run(4421, 1, 8, 3), 0);
  EXPECT_EQ(game_.getPlayString(3, u"x"), u"");

  for (int i = 1; i <= 5; ++i) dir_.write("storage/st00" + std::to_string(i) + ".bin", "x");
  const auto exists = [&](int i) { return std::filesystem::exists(dir_.path() / ("storage/st00" + std::to_string(i) + ".bin")); };
  EXPECT_EQ(run(4500, 3, -1), 0);
  EXPECT_EQ(run(4500, 5, 2), 0);
  EXPECT_TRUE(exists(1) && exists(2) && !exists(3) && exists(4) && exists(5));
  EXPECT_EQ(run(4500, 4, 5), 0);
  EXPECT_TRUE(!exists(4) && !exists(5));
  EXPECT_EQ(run(4501), 0);

  // A range too wide to try number by number: the folder's files that the
  // rule names (in any case) with a number in it go, nothing else.
  const std::vector<std::string> kept = {"st-01.bin", "st0007.bin", "st001.bin", "st008.png", "st12.bin", "x008.bin"};
  for (const std::string& name : kept) dir_.write("storage/" + name, "x");
  for (const char* name : {"ST006.BIN", "st1000.bin"}) dir_.write(std::string("storage/") + name, "x");
  EXPECT_EQ(run(4500, 2, 2147483647), 0);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / "storage")) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, kept);
}

}  // namespace
