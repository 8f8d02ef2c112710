// The flow-mode state's routes, snapshots and slots, and the settings file's
// tree: its printed form, round trips, and what the readers refuse or drop.
#include "gamestate/flow_mode_state.h"

#include <gtest/gtest.h>

#include "gamestate/system_settings.h"
#include "script/cell_printer.h"
#include "tests/support/test_support.h"

using tokenizer::Tokenizer;
using Route = FlowModeState::Route;

namespace {

std::u16string written(const SystemSettings& settings, int32_t version = 7) {
  Tokenizer tk;
  return tokenizer::toText(settings.toTree(tk, version));
}

bool readText(SystemSettings& settings, std::u16string_view text, int32_t version = 7) {
  Tokenizer tk(Tokenizer::kNoStringLimit);
  EXPECT_TRUE(tk.parse(text) && !tk.unclosed());
  return settings.fromTree(tokenizer::carOf(tk.root()), version);
}

SharedRef<SavedGameState> snapshot(int32_t word = 0) {
  auto state = MakeSharedRef<SavedGameState>();
  state->word = {word};
  return state;
}

template <class M>
std::vector<int32_t> keys(const M& map) {
  std::vector<int32_t> out;
  for (const auto& entry : map) out.push_back(entry.first);
  return out;
}

// Passes the points in order on the route, beginning one when it is -1.
void pass(FlowModeState& flow, int32_t& route, std::initializer_list<int32_t> points) {
  for (int32_t spid : points) ASSERT_TRUE(flow.recordPass(route, spid, snapshot(spid)));
}

TEST(SystemSettingsTree, EmptySettingsPrintInFileOrder) {
  EXPECT_EQ(written(SystemSettings(), 3),
            u"((version . 3) (sysflag (sysflag-int) (sysflag-string)) (flowmodestate (routePerSPMap) (routeMap) "
            u"(stateMap) (saveData)) (resource-view-flag))");
}

TEST(SystemSettingsTree, EverythingSurvivesWritePrintParseRead) {
  SystemSettings settings;
  settings.sysflagInt = {{4, 1}, {262, -3}};
  settings.sysflagString = {{2, u"名前"}};
  settings.viewFlags[1] = {{5, 1}, {9, 1}, {11, 0}};
  settings.viewFlags[10003] = {{0, 0}};
  FlowModeState& flow = settings.flowMode;
  int32_t route = -1;
  pass(flow, route, {1, 2});
  ASSERT_TRUE(flow.storeSave(SaveKind::kOrdinary, 3, route, snapshot(9), 12, u"第一章", 1700000000));
  ASSERT_TRUE(flow.storeSave(SaveKind::kMemory, 0, route, snapshot(), 0, u"", 0));

  const std::u16string text = written(settings);
  EXPECT_NE(text.find(u"(sysflag (sysflag-int (4 . 1) (262 . -3)) (sysflag-string (2 . \"名前\"))) (flowmodestate "
                      u"(routePerSPMap (1 . 0) (2 . 0)) (routeMap (0 (stateIDPerSPList (1 . 0) (2 . 1))) "
                      u"(1 (stateIDPerSPList (1 . 0) (2 . 1))) (2 (stateIDPerSPList (1 . 0) (2 . 1)))) (stateMap (0 "),
            std::u16string::npos)
      << testing::PrintToString(text);
  EXPECT_NE(text.find(u"(saveData (3 (routeID . 1) (stateID . 2) (comment . \"第一章\") (savetime . 1700000000) "
                      u"(sceneno . 12)))) (resource-view-flag (1 5 9) (10003)))"),
            std::u16string::npos);

  SystemSettings back;
  back.flowMode.memorySaves[5] = SaveSlotInfo{};
  ASSERT_TRUE(readText(back, text));
  EXPECT_EQ(written(back), text);
  EXPECT_TRUE(back.flowMode.memorySaves.empty());
  EXPECT_EQ(back.flowMode.stateMap.at(2)->word, std::vector<int32_t>({9}));
}

TEST(SystemSettingsTree, AnotherVersionNoVersionAndMalformedRootsAreRefused) {
  SystemSettings settings;
  EXPECT_FALSE(readText(settings, written(SystemSettings(), 7), 8));
  EXPECT_FALSE(readText(settings, u"((sysflag (sysflag-int (1 . 2))))", 7));
  EXPECT_TRUE(readText(settings, u"((sysflag (sysflag-int (1 . 2))))", -1));
  for (const char16_t* text : {u"((version . 7) (sysflag (sysflag-int (1 . x))))",
                               u"((version . 7) (resource-view-flag (1 2 a)))", u"((version . 7) 5)",
                               u"((version . 7) ())", u"((version . 7) (flowmodestate (3 . 1)))"}) {
    EXPECT_FALSE(readText(settings, text)) << testing::PrintToString(std::u16string(text));
  }
  // Entries the root does not know are skipped, whatever their head.
  EXPECT_TRUE(readText(settings, u"((\"odd\" . 1) (odd 2) (version . 7) (sysflag (sysflag-int (1 . 2) (1 . 5))))"));
  EXPECT_EQ(settings.sysflagInt, (std::map<int32_t, int32_t>{{1, 5}}));
}

TEST(FlowModeState, ReturningToAPointBranchesANewRoute) {
  FlowModeState flow;
  int32_t route = -1;
  pass(flow, route, {1, 2, 3});
  EXPECT_EQ(route, 0);

  int32_t branched = -1;
  SharedRef<SavedGameState> state;
  ASSERT_TRUE(flow.findPassState(2, branched, state, false));
  EXPECT_EQ(branched, 1);
  EXPECT_TRUE(state == flow.stateMap.at(1) && state->lastSPID == 2);
  ASSERT_TRUE(flow.recordPass(branched, 4, snapshot()));

  EXPECT_EQ(flow.routeMap.at(0), (Route{{1, 0}, {2, 1}, {3, 2}}));
  EXPECT_EQ(flow.routeMap.at(1), (Route{{1, 0}, {2, 1}, {4, 3}}));
  EXPECT_EQ(flow.routePerSPMap, (std::map<int32_t, int32_t>{{1, 1}, {2, 1}, {3, 0}, {4, 1}}));
  EXPECT_TRUE(flow.routeHasStep(1, 2, 4) && !flow.routeHasStep(1, 4, 5));

  // With keep nothing is copied or re-pointed.
  ASSERT_TRUE(flow.findPassState(3, route, state, true));
  EXPECT_EQ(route, 0);
  EXPECT_EQ(flow.routeMap.size(), 2u);
}

TEST(FlowModeState, InconsistentDataWarnsAndChangesNothing) {
  FlowModeState flow;
  int32_t route = -1;
  pass(flow, route, {1, 2});
  LogCapture log;
  EXPECT_FALSE(flow.recordPass(route, 1, snapshot()));
  EXPECT_TRUE(log.contains("内部エラー：SPIDは既に経路上にあります(spid=1)")) << log.all();
  EXPECT_EQ(std::make_pair(flow.stateMap.size(), flow.routeMap.at(0).size()), std::make_pair(size_t{2}, size_t{2}));

  int32_t out = -5;
  SharedRef<SavedGameState> state;
  flow.routePerSPMap[7] = 5;
  EXPECT_FALSE(flow.findPassState(7, out, state, false));
  flow.routePerSPMap[7] = 0;
  EXPECT_FALSE(flow.findPassState(7, out, state, false));
  flow.stateMap.erase(1);
  EXPECT_FALSE(flow.findPassState(2, out, state, false));
  EXPECT_TRUE(log.contains("内部エラー：最終ポイントに記録された経路がない(spid=7)"));
  EXPECT_TRUE(log.contains("内部エラー：経路にセーブポイントがない(routeID=0, spid=7)"));
  EXPECT_TRUE(log.contains("内部エラー：状態マップにデータがない(routeID=0, stateID)=1"));
  EXPECT_TRUE(out == -5 && !state && flow.routeMap.size() == 1u);
}

TEST(FlowModeState, IdsOutOfRangeAndRepeatedPointsAreBadElements) {
  SystemSettings settings;
  LogCapture log;
  ASSERT_TRUE(readText(settings, u"((version . 7) (flowmodestate (routePerSPMap (1 . 0) (2 . 2147483647) (3 . 0)) "
                                  u"(routeMap (0 (stateIDPerSPList (1 . 0) (2 . -1) (3 . 1))) "
                                  u"(1 (stateIDPerSPList (4 . 2) (5 . 3) (4 . 4))) (2147483647) (3)) "
                                  u"(stateMap (0 (lastSPID . 1)) (-1) (1)) "
                                  u"(saveData (0 (stateID . 0)) (1 (routeID . 2147483647)) (2))))"));
  const FlowModeState& flow = settings.flowMode;
  EXPECT_EQ(flow.routePerSPMap, (std::map<int32_t, int32_t>{{1, 0}}));
  EXPECT_EQ(keys(flow.routeMap), std::vector<int32_t>({0, 1}));
  EXPECT_EQ(flow.routeMap.at(0), (Route{{1, 0}}));
  EXPECT_EQ(flow.routeMap.at(1), (Route{{4, 2}, {5, 3}}));
  EXPECT_TRUE(log.contains("内部エラー：SPIDは既に経路上にあります(spid=4)"));
  EXPECT_EQ(keys(flow.stateMap), std::vector<int32_t>({0}));
  EXPECT_EQ(keys(flow.saveData), std::vector<int32_t>({0}));

  FlowModeState full;
  full.routeMap = {{0, {}}, {1, {}}, {FlowModeState::kMaxID, {}}};
  EXPECT_EQ(full.newRouteID(), 2);
}

TEST(FlowModeState, SlotsOwnTheirRoutesAndPruneKeepsOnlyTheReachable) {
  FlowModeState flow;
  int32_t route = -1;
  pass(flow, route, {1, 2});
  ASSERT_TRUE(flow.storeSave(SaveKind::kOrdinary, 3, route, snapshot(30), 12, u"c", 99));  // route 1, state 2
  ASSERT_TRUE(flow.storeSave(SaveKind::kOrdinary, 4, route, snapshot(40), 0, u"", 0));     // route 2, state 3
  ASSERT_TRUE(flow.storeSave(SaveKind::kMemory, 0, route, snapshot(50), 0, u"", 0));       // route 3, state 4
  EXPECT_EQ(std::make_pair(flow.saveData.at(3).routeID, flow.saveData.at(4).routeID), std::make_pair(1, 2));
  LogCapture log;
  EXPECT_FALSE(flow.storeSave(SaveKind::kOrdinary, 5, 42, snapshot(), 0, u"", 0));
  EXPECT_TRUE(log.contains("copyRoute:存在しない経路IDです(42)"));
  EXPECT_EQ(keys(flow.saveData), std::vector<int32_t>({3, 4}));

  int32_t got = -1, sceneno = 0, savetime = 0;
  std::u16string comment;
  SharedRef<SavedGameState> state;
  ASSERT_TRUE(flow.fetchSave(SaveKind::kOrdinary, 3, got, state, sceneno, comment, savetime, true));  // route 4
  EXPECT_EQ(std::make_tuple(got, state->word[0], sceneno, comment, savetime),
            std::make_tuple(4, 30, 12, std::u16string(u"c"), 99));
  EXPECT_EQ(flow.routePerSPMap.at(2), 0);
  ASSERT_TRUE(flow.fetchSave(SaveKind::kOrdinary, 3, got, state, sceneno, comment, savetime, false));  // route 5
  EXPECT_EQ(flow.routePerSPMap, (std::map<int32_t, int32_t>{{1, 5}, {2, 5}}));
  EXPECT_FALSE(flow.fetchSave(SaveKind::kOrdinary, 8, got, state, sceneno, comment, savetime, false));
  flow.saveData[6].stateID = 77;
  EXPECT_FALSE(flow.fetchSave(SaveKind::kOrdinary, 6, got, state, sceneno, comment, savetime, false));
  EXPECT_EQ(got, 5);
  flow.eraseSave(6);

  EXPECT_TRUE(flow.setSaveComment(SaveKind::kOrdinary, 3, u"新"));
  EXPECT_FALSE(flow.setSaveComment(SaveKind::kMemory, 9, u"x"));

  // Route 2 only slot 4 reached, route 3 the memory save, route 4 nothing.
  flow.eraseSave(4);
  flow.prune(0, false);
  EXPECT_EQ(keys(flow.routeMap), std::vector<int32_t>({0, 1, 5}));
  EXPECT_EQ(keys(flow.stateMap), std::vector<int32_t>({0, 1, 2}));
  EXPECT_TRUE(flow.memorySaves.empty());
  EXPECT_EQ(flow.saveData.at(3).comment, u"新");
  flow.eraseSave(-1);
  EXPECT_TRUE(flow.saveData.empty());
}

}  // namespace
