// StateMgr: run flags, frame stacks per mode, system variables with the
// volume rules and event masks, view flags and the recording setters.
#include "gamestate/state_mgr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "app/game_environment.h"
#include "gamestate/volume_rules.h"
#include "scene/scene_facade.h"
#include "script/script_vm.h"

namespace {

// Records the event-mask calls; everything else does nothing.
class FakeScene : public SceneFacade {
 public:
  FakeScene() : previous_(SetSceneFacade(this)) {}
  ~FakeScene() override { SetSceneFacade(previous_); }

  bool msgIsTextDisplaying() override { return false; }
  void msgFinishText() override {}
  void msgSetKeyWaitIcon(int32_t) override {}
  void msgSetPosition(int32_t, int32_t, int32_t) override {}
  void fgFinishCellEffect(int32_t) override {}
  void setAppEventEnabled(int32_t code, bool on) override {
    calls.emplace_back(code, on);
    enabled[code] = on;
  }
  bool faderIsFading(int32_t, int32_t*) override { return false; }

  std::vector<std::pair<int32_t, bool>> calls;
  std::map<int32_t, bool> enabled;  // last state per code

 private:
  SceneFacade* previous_;
};

void expectEmpty(const FrameStack& stack) {
  EXPECT_TRUE(stack.frames.empty());
  EXPECT_EQ(stack.acc, 0);
  EXPECT_EQ(stack.reflag, 0);
  EXPECT_EQ(stack.nextPrg, -1);
}

void setFlags(StateMgr& state, std::initializer_list<std::pair<int32_t, int32_t>> flags) {
  for (auto [key, value] : flags) state.setSysflagInt(key, value);
}

}  // namespace

TEST(StateMgr, StartsInSystemModeAndResetModesKeepsIdsUnlessFull) {
  ScriptVM vm(nullptr);
  StateMgr state(&vm, nullptr);
  EXPECT_EQ(state.mode(), StateMgr::kSystemMode);
  EXPECT_FALSE(state.isUserMode());
  expectEmpty(state.systemStack());
  expectEmpty(state.systemStackBackup());
  expectEmpty(state.userStack());
  EXPECT_EQ(state.getRouteID(), -1);
  EXPECT_EQ(state.getLastSPID(), -1);
  ASSERT_EQ(state.liveMusic().size(), 4u);

  EXPECT_EQ(state.setSkipping(1), 0);
  EXPECT_EQ(state.setAutoMode(1), 0);
  EXPECT_EQ(state.setAutoMode(1), 1);
  state.setForceSkip(1);
  state.setResumeSkip(7);
  state.setMoviePlaying(1);
  state.setRouteID(3);
  state.setLastSPID(9);
  state.setSavedMusic(1, APValue(u"bgm01"), 0, 0, 0, 0, 0);
  state.resetModes(false);
  EXPECT_EQ(state.isForceSkip() | state.isSkipping() | state.isAutoMode() | state.isMoviePlaying(), 0);
  EXPECT_EQ(state.getResumeSkip(), 0u);
  EXPECT_EQ(state.getRouteID(), 3);
  EXPECT_EQ(state.getLastSPID(), 9);
  EXPECT_EQ(state.liveMusic()[1].music, APValue(u"bgm01"));

  state.liveMusic().resize(6);
  state.resetModes(true);
  EXPECT_EQ(state.getRouteID(), -1);
  EXPECT_EQ(state.getLastSPID(), -1);
  ASSERT_EQ(state.liveMusic().size(), 4u);
  EXPECT_EQ(state.liveMusic()[1].music, APValue(false));

  // Word variables go through the machine; negative indexes and a missing
  // machine do nothing.
  state.setWordVar(-1, 5);
  EXPECT_TRUE(vm.words().empty());
  state.setWordVar(3, 42);
  ASSERT_EQ(vm.words().size(), 4u);
  EXPECT_EQ(vm.words()[3], 42);
  StateMgr(nullptr, nullptr).setWordVar(3, 1);
}

TEST(StateMgr, FramesGoToTheStackOfTheirModeAndRegistersStay) {
  ScriptVM vm(nullptr);
  StateMgr state(&vm, nullptr);
  state.pushFrame(vm, true);
  ASSERT_EQ(state.systemStack().frames.size(), 1u);
  EXPECT_EQ(state.systemStack().frames[0].pc, vm.pc() - 1);

  state.setMode(StateMgr::kUserMode);
  SavedFrame out;
  EXPECT_FALSE(state.popFrame(out));  // the user stack is empty
  EXPECT_EQ(state.systemStack().frames.size(), 1u);
  state.pushFrame(vm, false);
  state.pushFrameOn(vm, false, StateMgr::kSystemMode);
  EXPECT_EQ(state.systemStack().frames.size(), 2u);
  state.userStack().acc = 5;
  EXPECT_TRUE(state.popFrame(out));
  EXPECT_EQ(out.pc, vm.pc());
  EXPECT_TRUE(state.userStack().frames.empty());
  EXPECT_EQ(state.userStack().acc, 5);
  EXPECT_EQ(state.systemStack().frames.size(), 2u);

  state.setMode(StateMgr::kSystemMode);
  state.pushFrameOn(vm, false, StateMgr::kUserMode);
  state.setPlayCounter(0, 4);
  state.resetUserState();
  expectEmpty(state.userStack());
  EXPECT_TRUE(state.current().plf.empty());
  EXPECT_EQ(state.systemStack().frames.size(), 2u);
  EXPECT_TRUE(state.popFrame(out));
  EXPECT_TRUE(state.popFrame(out));
  EXPECT_FALSE(state.popFrame(out));
}

TEST(VolumeRules, LevelsFactorsMutesAndSaturation) {
  std::map<int32_t, int32_t> flags;
  auto lookup = [&flags](int32_t key) { return flags.count(key) ? flags[key] : 0; };
  for (auto [level, percent] : {std::pair{0, 0}, {4, 44}, {9, 100}, {10, 100}, {-1, 100}}) {
    EXPECT_EQ(volume::levelPercent(level), percent) << level;
  }

  EXPECT_EQ(volume::music(lookup, 100), 0);  // absent factors read 0
  EXPECT_EQ(volume::voice(lookup, 2, 100), 0);
  flags = {{267, 9}, {306, 100}};
  EXPECT_EQ(volume::music(lookup, 100), 100);
  EXPECT_EQ(volume::movie(lookup, 50), 0);  // the movie has its own factor
  flags[266] = 1;
  EXPECT_EQ(volume::music(lookup, 100), 0);
  flags = {{269, 4}, {307, 80}};
  EXPECT_EQ(volume::sound(lookup, 70), 24);
  flags[307] = -80;
  EXPECT_EQ(volume::sound(lookup, 70), -24);  // truncated toward zero

  flags = {{271, 9}, {278, 5}, {318, 90}, {308, 100}};
  EXPECT_EQ(volume::voice(lookup, 2, 100), 49);
  flags[270] = 1;
  EXPECT_EQ(volume::voice(lookup, 2, 100), 0);
  // b = 100000 x 100000 / 100 does not fit 32 bits but stays exact.
  flags = {{271, 9}, {278, 9}, {318, 100000}, {308, 100000}};
  EXPECT_EQ(volume::voice(lookup, 2, 1), 1000000);
  EXPECT_EQ(volume::voice(lookup, INT32_MAX, 100), 0);  // keys 276 + c and 316 + c wrap

  // Products past 32 bits: a fitting result is exact, others saturate.
  flags = {{267, 9}, {306, 100000}};
  EXPECT_EQ(volume::music(lookup, 1000000), 1000000000);
  flags[306] = INT32_MAX;
  EXPECT_EQ(volume::music(lookup, INT32_MAX), INT32_MAX);
  EXPECT_EQ(volume::music(lookup, INT32_MIN), INT32_MIN);
  flags[306] = INT32_MIN;
  EXPECT_EQ(volume::music(lookup, INT32_MIN), INT32_MAX);
  flags = {{271, 9}, {281, 9}, {321, INT32_MIN}, {308, INT32_MIN}};
  EXPECT_EQ(volume::voice(lookup, 5, INT32_MIN), INT32_MIN);
}

TEST(StateMgr, VolumeAccessorsRecordInBothModesAndRejectBadChannels) {
  StateMgr state(nullptr, nullptr);
  setFlags(state, {{267, 9}, {306, 50}, {309, 10}});
  EXPECT_EQ(state.setMusicVolume(2, 80), 40);  // system mode records too
  EXPECT_EQ(state.getMusicVolume(2), 40);
  EXPECT_EQ(state.movieVolume(80), 8);
  for (int32_t channel : {4, -1}) {
    EXPECT_EQ(state.setMusicVolume(channel, 80), 0);
    EXPECT_EQ(state.getMusicVolume(channel), 0);
  }
  for (int32_t c : {0, 1, 3}) EXPECT_EQ(state.current().music[c].volume, 100) << c;

  setFlags(state, {{271, 9}, {277, 9}, {317, 100}, {308, 50}});
  EXPECT_EQ(state.getVoiceVolume(1), 50);  // an absent setting reads 100
  EXPECT_EQ(state.setVoiceVolumeSetting(1, 60), 30);
  EXPECT_EQ(state.getVoiceVolumeSetting(1), 60);
}

TEST(StateMgr, AutoWaitAndEventMasksFollowTheSettings) {
  FakeScene scene;
  GameEnvironment environment(u"/nonexistent", {}, {});
  StateMgr state(nullptr, &environment);
  setFlags(state, {{260, 2}, {257, 1}});
  EXPECT_EQ(state.getAutoWaitMs(), -1);  // system mode
  EXPECT_EQ(state.getSkipSetting(), 0);
  state.applySkipAutoEventMask();
  EXPECT_EQ(scene.calls, (std::vector<std::pair<int32_t, bool>>{{1, false}, {29, false}}));

  state.setMode(StateMgr::kUserMode);
  EXPECT_EQ(state.getAutoWaitMs(), 3000);
  environment.constants()[10] = 1234;
  state.setSysflagInt(260, 1);
  EXPECT_EQ(state.getAutoWaitMs(), 1234);
  state.applySkipAutoEventMask();
  EXPECT_TRUE(scene.enabled[1] && scene.enabled[29]);
  setFlags(state, {{260, 0}, {257, 0}});
  EXPECT_EQ(state.getAutoWaitMs(), -1);
  state.applySkipAutoEventMask();
  EXPECT_FALSE(scene.enabled[1] || scene.enabled[29]);

  const std::vector<int32_t> saveLoad = {14, 15, 2, 3, 4, 9};
  state.setSysflagInt(4, 2);  // only exactly 1 is appreciation mode
  state.applySystemEventMask();
  for (int32_t code : saveLoad) EXPECT_TRUE(scene.enabled[code]) << code;
  state.setSysflagInt(4, 1);
  state.applySystemEventMask();
  for (int32_t code : saveLoad) EXPECT_FALSE(scene.enabled[code]) << code;
  for (int32_t code : {10, 7, 6, 5}) EXPECT_TRUE(scene.enabled[code]) << code;

  environment.stringConstants()[3] = u"title";
  EXPECT_EQ(state.getStringConstant(3, u"x"), u"title");
  EXPECT_EQ(StateMgr(nullptr, nullptr).getFlagConstant(10, 77), 77);
}

TEST(StateMgr, ViewFlagsPlayCountersAndStrings) {
  ScriptVM vm(nullptr);
  StateMgr state(&vm, nullptr);
  EXPECT_EQ(state.setViewFlag(7, 3, 0x1ff), 0);
  EXPECT_EQ(state.isViewFlagSet(7, 3), 0xff);
  EXPECT_EQ(state.setViewFlag(7, 3, 2), 0xff);
  EXPECT_EQ(state.markPictureViewed(12, 1), 0);

  EXPECT_EQ(state.isTextRead(40), 0);
  EXPECT_EQ(state.markTextRead(40), 0);
  EXPECT_EQ(state.markTextRead(40), 1);
  EXPECT_EQ(state.isViewFlagSet(10000 + vm.scenario(), 40), 1);
  EXPECT_EQ(StateMgr(nullptr, nullptr).markTextRead(40), 0);

  for (int32_t kind : {3, 4, 5, 6}) state.setViewFlag(kind, 0, 1);
  state.clearViewFlagKinds(5, 3);  // reads as 5..5
  EXPECT_EQ(state.settings().viewFlags.count(5), 0u);
  EXPECT_EQ(state.settings().viewFlags.size(), 6u);
  state.clearViewFlagKinds(2, 4);
  EXPECT_EQ(state.settings().viewFlags.size(), 4u);  // 1, 6, 7, 10000 stay
  EXPECT_EQ(state.isViewFlagSet(6, 0), 1);
  state.clearViewFlagKinds(INT32_MIN, INT32_MAX);
  EXPECT_TRUE(state.settings().viewFlags.empty());

  EXPECT_EQ(state.nextPlayCounter(3), 0);
  EXPECT_EQ(state.nextPlayCounter(3), 1);
  EXPECT_EQ(state.current().plf[259], 2);
  state.setPlayCounter(3, INT32_MAX);
  EXPECT_EQ(state.nextPlayCounter(3), INT32_MAX);
  EXPECT_EQ(state.nextPlayCounter(3), INT32_MIN);
}

TEST(StateMgr, SystemModeRecordsOnlyTheAlwaysSetters) {
  StateMgr state(nullptr, nullptr);
  state.setSavedFader(1, 2, 3, 4);
  state.setSavedMsgwinCfgno(5);
  state.appendSavedMsgwinText(u"abc");
  state.setSavedPartsPos(1, 10, 20);
  state.setSavedCell(0, APValue(3), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);
  EXPECT_EQ(state.current().fader.r, -1);
  EXPECT_EQ(state.current().msgwin.cfgno, 0);
  EXPECT_TRUE(state.current().parts.empty());
  EXPECT_TRUE(state.current().cell.empty());
  EXPECT_TRUE(state.current().msgwin.text.empty());

  state.setSavedMenuShow(1);
  state.setPlayString(2, u"name");
  EXPECT_EQ(state.current().menu.show, 1);
  EXPECT_EQ(state.getPlayString(2, u"?"), u"name");

  state.setMusicVolume(2, 30);
  state.setSavedMusic(2, APValue(7), 100, 1, 10, 20, 3);
  const MusicChannelRecord& live = state.liveMusic()[2];
  EXPECT_EQ(live.music, APValue(7));
  EXPECT_EQ(live.volume, 30);  // copied whole, volume included
  EXPECT_EQ(live.loopnum, 3);
  for (int32_t channel : {4, -1}) state.setSavedMusic(channel, APValue(9), 1, 1, 1, 1, 1);
  for (int32_t c = 0; c < 4; ++c) EXPECT_NE(state.liveMusic()[c].music, APValue(9));

  state.setMode(StateMgr::kUserMode);
  state.setSavedFader(1, 2, 3, 4);
  EXPECT_EQ(state.current().fader.a, 4);
  state.clearSavedFader();
  EXPECT_EQ(state.current().fader.a, -1);
}

TEST(StateMgr, CellAndPartsRecordsAreCreatedWithStartingValues) {
  StateMgr state(nullptr, nullptr);
  state.setMode(StateMgr::kUserMode);
  int32_t f[11] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  state.exchangeSavedCellFields(3, 0, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10]);
  EXPECT_EQ(std::vector<int32_t>(f, f + 11), (std::vector<int32_t>{0, 0, 0, 0, 0, -1, 0, 0, 0, 255, 0}));
  EXPECT_EQ(state.current().cell.count(3), 1u);

  state.setSavedCell(4, APValue(u"fg"), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);
  int32_t g[11] = {-1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11};
  // x/y and opacity go in (bits 2 and 32); bits above the low byte count for nothing.
  state.exchangeSavedCellFields(4, 0x122, g[0], g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10]);
  EXPECT_EQ(std::vector<int32_t>(g, g + 11), (std::vector<int32_t>{1, -2, -3, 4, 5, 6, 7, 8, 9, -10, 11}));
  const SavedCell& cell = state.current().cell[4];
  EXPECT_EQ(cell.x, -2);
  EXPECT_EQ(cell.y, -3);
  EXPECT_EQ(cell.opacity, -10);

  state.setSavedPartsPos(1, 10, 20);
  const SavedParts& part = state.current().parts[1];
  EXPECT_EQ(part.opacity, 255);
  EXPECT_EQ(part.enable, 1);
  state.setSavedPartsEventNo(1, 2, 7);
  EXPECT_EQ(part.eventno.at(2), 7);
  state.setSavedPartsEventNo(1, 2, 0);
  EXPECT_TRUE(part.eventno.empty());
  state.setSavedPartsColor(2, -1, 0x11223344);
  EXPECT_TRUE(state.current().parts.at(2).color.empty());
  state.removeSavedParts(1);
  EXPECT_EQ(state.current().parts.count(1), 0u);
  state.removeSavedParts(-1);
  EXPECT_TRUE(state.current().parts.empty());

  state.current().music.resize(2);
  state.current().soundVolume = 5;
  state.current().reset();
  ASSERT_EQ(state.current().music.size(), 4u);
  for (const MusicChannelRecord& record : state.current().music) EXPECT_EQ(record.volume, 100);
  EXPECT_EQ(state.current().soundVolume, 100);
}
