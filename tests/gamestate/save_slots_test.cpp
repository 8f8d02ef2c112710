// Save slots and memory saves on the StateMgr: what a load brings back, the
// slot information, comments and erasing, and what an empty slot leaves.
#include <gtest/gtest.h>

#include <vector>

#include "gamestate/state_mgr.h"
#include "script/script_vm.h"

namespace {

TEST(SaveSlots, ALoadBringsBackTheStoryAsSavedOnACopyOfItsRoute) {
  ScriptVM vm(nullptr);
  StateMgr state(&vm, nullptr);
  vm.bits() = {1, 0, 1};
  vm.words() = {7, 8};
  state.userStack().frames.resize(2);
  state.userStack().acc = 5;
  state.current().msgwin.text = u"saved";
  state.current().plf[3] = 9;
  state.setRouteID(-1);
  state.setLastSPID(4);
  ASSERT_TRUE(state.saveToSlot(3, StateMgr::SaveInfo{12, 345, u"before the river"}));

  vm.bits().clear();
  vm.words() = {1};
  state.userStack().frames.clear();
  state.current().msgwin.text = u"later";
  state.setLastSPID(-1);
  state.setSkipping(1);
  StateMgr::SaveInfo info;
  ASSERT_TRUE(state.getSaveInfo(3, &info));
  EXPECT_EQ(info.sceneno, 12);
  EXPECT_EQ(info.savetime, 345);
  EXPECT_EQ(info.comment, u"before the river");

  ASSERT_TRUE(state.loadSave(3));
  EXPECT_EQ(vm.bits(), (std::vector<int32_t>{1, 0, 1}));
  EXPECT_EQ(vm.words(), (std::vector<int32_t>{7, 8}));
  EXPECT_EQ(state.userStack().frames.size(), 2u);
  EXPECT_EQ(state.userStack().acc, 5);
  EXPECT_EQ(state.current().msgwin.text, u"saved");
  EXPECT_EQ(state.backup().plf[3], 9);
  EXPECT_EQ(state.getLastSPID(), 4);
  EXPECT_EQ(state.isSkipping(), 0);

  // Comments, empty slots and erasing.
  EXPECT_TRUE(state.setSaveComment(3, u"renamed"));
  EXPECT_FALSE(state.setSaveComment(4, u"nothing"));
  StateMgr::SaveInfo untouched{1, 2, u"x"};
  EXPECT_FALSE(state.getSaveInfo(4, &untouched));
  EXPECT_EQ(untouched.comment, u"x");
  state.setSkipping(1);
  EXPECT_FALSE(state.loadSave(4));
  EXPECT_EQ(state.isSkipping(), 1);

  // Memory saves stay out of the ordinary slots and go with the run.
  ASSERT_TRUE(state.memorySave(3));
  EXPECT_TRUE(state.eraseSave(-1));
  EXPECT_FALSE(state.getSaveInfo(3, &info));
  EXPECT_TRUE(state.memoryLoad(3));
  StateMgr fresh(&vm, nullptr);
  EXPECT_FALSE(fresh.memoryLoad(3));
}

}  // namespace
