// The families that need nothing on screen: argument reading, the wait-mode
// rule under skipping, event waits, system variables, strings, numbers and
// the clock.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

using BuiltinTest = UserfuncTest;

struct Normalized {
  int32_t mode, a, b;
  bool yield, stopSkip;
  bool operator==(const Normalized&) const = default;
};

TEST_F(BuiltinTest, WaitModesFollowTheSkipState) {
  auto normalize = [this](int32_t mode, int32_t a, int32_t b) {
    bool yield = false;
    const bool stop = userfuncs.normalizeWaitMode(mode, a, b, yield);
    return Normalized{mode, a, b, yield, stop};
  };
  // No skip: mode 3 is a mode-1 wait; bad modes are no wait.
  EXPECT_EQ(normalize(3, 500, 10), (Normalized{1, 500, 10, false, false}));
  EXPECT_EQ(normalize(2, 500, 10), (Normalized{2, 500, 10, false, false}));
  EXPECT_EQ(normalize(-4, 500, 10), (Normalized{0, 500, 10, false, false}));
  // Skipping only counts in user mode.
  state.setSkipping(1);
  EXPECT_EQ(normalize(1, 500, 10), (Normalized{1, 500, 10, false, false}));
  userMode();
  // Message skip: waits that input cuts short happen at once ...
  EXPECT_EQ(normalize(1, 500, 10), (Normalized{0, 0, 0, false, false}));
  EXPECT_EQ(normalize(1, 500, 0), (Normalized{0, 0, 0, true, false}));
  // ... forced waits stay and stop the skip.
  EXPECT_EQ(normalize(2, 500, 10), (Normalized{2, 500, 10, false, true}));
  EXPECT_EQ(normalize(3, 500, 10), (Normalized{1, 500, 10, false, true}));
  // Force skip makes every wait immediate.
  state.setSkipping(0);
  state.setForceSkip(1);
  EXPECT_EQ(normalize(2, 500, 10), (Normalized{0, 0, 0, false, false}));

  state.setSkipping(1);
  state.setSysflagInt(261, 5);
  userfuncs.stopSkipForEffect();
  EXPECT_EQ(state.isSkipping(), 0);
  EXPECT_EQ(state.getResumeSkip(), 5u);
}

TEST_F(BuiltinTest, ArgumentsReadTheirDefaultsAndStringVariables) {
  state.setPlayString(3, u"three");
  const UserfuncImpl::Args args = {APValue(true), APValue(u"text"), APValue(3), APValue(false)};
  EXPECT_EQ(UserfuncImpl::intArg(args, 0), 0);
  EXPECT_EQ(UserfuncImpl::intArg(args, 1, -1), -1);
  EXPECT_EQ(UserfuncImpl::intArg(args, 9, -1), -1);
  EXPECT_EQ(userfuncs.getStringArg(args, 1), u"text");
  EXPECT_EQ(userfuncs.getStringArg(args, 2), u"three");
  state.setPlayString(0, u"zero");
  EXPECT_EQ(userfuncs.getStringArg(args, 3), u"zero");
  EXPECT_EQ(userfuncs.getStringArg(args, 9, u"none"), u"none");
}

TEST_F(BuiltinTest, EventWaitBuiltins) {
  userMode();
  state.setSkipping(1);
  EXPECT_EQ(call(4000, 1, -1, 1)->kind, UFResult::kValueThenYield);
  std::unique_ptr<UFResult> wait = call(4000, 1, -1, 0);
  ASSERT_EQ(wait->kind, UFResult::kWait);
  EXPECT_EQ(tick(*wait)->value, 16);
  state.setSysflagInt(261, 1);
  ASSERT_EQ(call(4000, 0x2000, -1, 3)->kind, UFResult::kWait);
  EXPECT_EQ(state.isSkipping(), 0);
  EXPECT_EQ(state.getResumeSkip(), 1u);

  std::unique_ptr<UFResult> timed = call(4000, 0x2000, 0, 0);
  EXPECT_EQ(tick(*timed), nullptr);
  clock.ms += 1;
  EXPECT_EQ(tick(*timed)->value, 0);

  EXPECT_EQ(call(4001)->kind, UFResult::kYield);
  EXPECT_EQ(call(4002, 16, 0)->value, 0);
  EXPECT_FALSE(scene.appEvents.at(16));
  call(4002, 16, 1);
  EXPECT_TRUE(scene.appEvents.at(16));
}

TEST_F(BuiltinTest, SystemVariableBuiltins) {
  call(4100, 3, 12);
  EXPECT_EQ(state.getPlayString(3, u"unset"), u"");
  call(4100, 4, u"four");
  call(4113, 3, 4);
  EXPECT_EQ(state.getSysflagString(3, u""), u"four");
  call(4112, 3, 9);
  EXPECT_EQ(state.getPlayString(9, u""), u"four");

  call(4111, 300, -5);
  EXPECT_EQ(call(4110, 300)->value, -5);
  EXPECT_EQ(call(4110, 301)->value, 0);
  EXPECT_EQ(call(4120, 7)->value, 0);
  EXPECT_EQ(call(4120, 7, 5)->value, 5);
  call(4121, 7, 9);
  EXPECT_EQ(state.getPlayString(9, u"unset"), u"");

  call(4131, 2, 10, 5);
  EXPECT_EQ(call(4130, 2, 10)->value, 1);
  call(4131, 3, 10, 1);
  call(4131, 4, 10, 1);
  call(4132, 2, 3);
  EXPECT_EQ(call(4130, 2, 10)->value, 0);
  EXPECT_EQ(call(4130, 3, 10)->value, 0);
  EXPECT_EQ(call(4130, 4, 10)->value, 1);
}

TEST_F(BuiltinTest, StringBuiltins) {
  state.setPlayString(2, u"ab");
  EXPECT_EQ(call(5000, 2)->value, 2);
  EXPECT_EQ(call(5001, u"ab", u"abc")->value, -1);
  EXPECT_EQ(call(5001, u"b", u"abc")->value, 1);
  EXPECT_EQ(call(5001, 2, u"ab")->value, 0);

  EXPECT_EQ(call(5003, 7, 2, -1)->value, 2);
  EXPECT_EQ(state.getPlayString(7, u""), u"ab");
  EXPECT_EQ(call(5003, 7, u"x", 2, u"y", u"z", u"!")->value, 6);
  EXPECT_EQ(state.getPlayString(7, u""), u"xabyz!");

  const char16_t* expected[] = {u"42", u"00042", u"   42", u"42   "};
  for (int32_t mode = 0; mode < 4; ++mode) {
    EXPECT_EQ(call(5004, 7, 42, 5, mode)->value, static_cast<int32_t>(std::u16string(expected[mode]).size()));
    EXPECT_EQ(state.getPlayString(7, u""), expected[mode]) << mode;
  }
  EXPECT_EQ(call(5004, 7, 42, 5, 9)->value, 1);
  EXPECT_EQ(state.getPlayString(7, u""), u"0");
  EXPECT_EQ(call(5004, 7, 42, 5, u"1")->value, 2);  // a mode that is not a number reads 0
  // A huge width is bounded and the text cut to the 64-character room.
  EXPECT_EQ(call(5004, 7, 1, 2000000000, 1)->value, 63);
  EXPECT_EQ(call(5004, 7, -1, -2000000000, 2)->value, 63);
}

TEST_F(BuiltinTest, DateClockAndRandomBuiltins) {
  ScopedEnv tz("TZ", "UTC");
  EXPECT_EQ(call(5005, 1, 0, 2)->value, 10);
  EXPECT_EQ(state.getPlayString(1, u""), u"1970/ 1/ 1");
  const int32_t t = 1700000000;  // 2023-11-14 22:13:20 UTC
  call(5005, 1, t, 0);
  EXPECT_EQ(state.getPlayString(1, u""), u"11/14");
  call(5005, 1, t, 1);
  EXPECT_EQ(state.getPlayString(1, u""), u"11/14/22:13");
  call(5005, 1, t + 3600 * 24 * 60, 5);
  EXPECT_EQ(state.getPlayString(1, u""), u"2024/ 1/13/22:13");
  EXPECT_GT(call(5100)->value, t);

  std::vector<int32_t> draws;
  for (int i = 0; i < 5; ++i) draws.push_back(call(5200, 100)->value);
  EXPECT_EQ(draws, (std::vector<int32_t>{17, 69, 41, 88, 25}));
  call(5201, 100);
  EXPECT_EQ(userfuncs.setting(), 13013);
  EXPECT_EQ(call(5200, 1)->value, 0);
  EXPECT_NE(userfuncs.setting(), 13013);
  call(5201, 8000);
  EXPECT_EQ(userfuncs.setting(), 8000);
  for (int i = 0; i < 1000; ++i) {
    const int32_t v = call(5200, -7)->value;
    ASSERT_TRUE(v > -7 && v < 7) << v;
    ASSERT_GT(userfuncs.setting(), 0);
  }
}

}  // namespace

TEST_F(BuiltinTest, RunControlBuiltinsHandTheSchedulerAnEvent) {
  struct Case {
    std::unique_ptr<UFResult> result;
    int32_t code;
    int32_t param;
  };
  Case cases[] = {
      {call(6000), 8, 0},
      {call(6001, 9100), 50, 9100},
      {call(6002, 5, true), 52, 5},  // a boolean flag reads as 0
      {call(6002, -1, 1), 53, -1},
      {call(6003, 2, 7), 2, 7},
      {call(6003), 0, 0},
      {call(6007, 4), 51, 0},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.result, nullptr);
    EXPECT_EQ(c.result->kind, UFResult::kValueAndEvent);
    EXPECT_EQ(c.result->value, 0);
    EXPECT_EQ(c.result->location.code, c.code);
    EXPECT_EQ(c.result->location.param, c.param);
  }
}
