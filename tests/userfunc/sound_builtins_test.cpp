// The sound built-ins over a recording glue: music recorded for saves, range
// refusals, the music-stop wait that the confirm input cuts short, voices by
// play counter and voices under skip that only go to the message log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/game_environment.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

using Calls = std::vector<std::string>;

class SoundBuiltinTest : public UserfuncTest {
 protected:
  SoundBuiltinTest() {
    environment.resource().music = {u"music", u"bgm", 2, u"ogg"};
    environment.resource().sound = {u"sound", u"se", 3, u"wav"};
    environment.resource().voice = {u"voice", 3, 4, u"v", u"ogg"};
    // Full levels and factors: recorded volumes play as they are.
    for (int32_t key : {267, 269, 271, 276 + 3, 276 + 5}) state.setSysflagInt(key, 9);
    for (int32_t key : {306, 307, 308, 316 + 3, 316 + 5}) state.setSysflagInt(key, 100);
    userMode();
  }

  template <class... A>
  std::unique_ptr<UFResult> play(int32_t number, const A&... args) {
    const UserfuncImpl::Args list = {APValue(args)...};
    return sounds.call(number, list);
  }

  GameEnvironment environment{u"", {}, {}};
  UserfuncImpl sounds{&environment, &state};
};

TEST_F(SoundBuiltinTest, MusicStartsRecordedAndOutOfRangeCallsAreRefusedWithTheirMessage) {
  EXPECT_EQ(play(3003, 1, 3, 1500, 0, 1, 100, 200, 2)->value, 0);
  EXPECT_EQ(play(3000, 2, u"theme.ogg", 0)->value, 0);
  EXPECT_EQ(sound.calls, (Calls{"streamOpen 1 music/bgm03.ogg 1 100 200", "streamSetVolume 1 100 0",
                                "streamPlayFromMs 1 1500", "streamOpen 2 theme.ogg 0 0 0", "streamSetVolume 2 100 0",
                                "streamPlayFromMs 2 0"}));
  EXPECT_EQ(state.current().music[1].music, APValue(3));
  EXPECT_EQ(state.current().music[1].loopnum, 2);
  EXPECT_EQ(state.liveMusic()[1].loopend, 200);

  sound.calls.clear();
  LogCapture log;
  EXPECT_EQ(play(3003, -1, 3, 0, 0, 0, 0, 0, 0)->value, -1);
  EXPECT_EQ(play(3003, 0, 3, 0, 0, 2, 0, 0, 0)->value, -1);
  EXPECT_EQ(play(3001, 4, 0, 0)->value, -1);
  EXPECT_EQ(play(3002, 9, 50, 0)->value, -1);
  EXPECT_TRUE(sound.calls.empty());
  for (const char* message : {"music_start: chnoが範囲外(-1)", "music_start: loopsettingが範囲外(2)",
                              "music_stop: chnoが範囲外(4)", "music_volume: chnoが範囲外(9)"}) {
    EXPECT_TRUE(log.contains(message)) << message << "\n" << log.all();
  }

  // The saved volume answers the effective one; skipping drops the fade.
  EXPECT_EQ(play(3002, 1, 50, 300)->value, 0);
  state.setSkipping(1);
  EXPECT_EQ(play(3002, 1, 60, 300)->value, 0);
  EXPECT_EQ(sound.calls, (Calls{"streamSetVolume 1 50 300", "streamSetVolume 1 60 0"}));
}

TEST_F(SoundBuiltinTest, AFadedStopWaitsUntilTheConfirmInputThenStopsAtOnce) {
  std::unique_ptr<UFResult> wait = play(3001, 0, 500, 2);
  ASSERT_EQ(wait->kind, UFResult::kWait);
  EXPECT_EQ(state.current().music[0].music, APValue(0));
  EXPECT_EQ(sound.calls, (Calls{"streamStop 0 500"}));
  EXPECT_EQ(tick(*wait), nullptr);  // still fading
  EXPECT_NE(feed(*wait, AppEvent(16, 0)), nullptr);
  EXPECT_EQ(sound.calls, (Calls{"streamStop 0 500", "streamStop 0 0"}));

  // A wait mode outside 0..3 is no wait.
  sound.calls.clear();
  EXPECT_EQ(play(3001, 1, 500, 7)->kind, UFResult::kValue);
  // Under message skip the stop is at once and the frame passes.
  state.setSkipping(1);
  EXPECT_EQ(play(3001, 2, 500, 1)->kind, UFResult::kValueThenYield);
  EXPECT_EQ(sound.calls, (Calls{"streamStop 1 500", "streamStop 2 0"}));
}

TEST_F(SoundBuiltinTest, VoicesFollowTheirPlayCounterAndAreLoggedButNotHeardUnderSkip) {
  EXPECT_EQ(play(3023, 3, 7)->value, 0);
  EXPECT_EQ(play(3022, 3, 80)->value, 0);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(play(3024, 3)->value, 0);
  EXPECT_EQ(sound.calls, (Calls{"sfxLoad 1 voice/003/v0030007.ogg", "sfxPlay 1 1 80",
                                "sfxLoad 1 voice/003/v0030008.ogg", "sfxPlay 1 1 80"}));
  EXPECT_EQ(sounds.pendingVoice().number, 8);

  sound.calls.clear();
  state.setSkipping(1);
  EXPECT_EQ(play(3020, 5, 12)->value, 0);
  EXPECT_EQ(play(3010, 0, 4)->value, 0);
  EXPECT_TRUE(sound.calls.empty());
  const auto& pending = sounds.pendingVoice();
  EXPECT_EQ(std::vector<int32_t>({pending.group, pending.number, pending.volume}), std::vector<int32_t>({5, 12, 100}));

  state.setSkipping(0);
  EXPECT_EQ(play(3010, 0, 4)->value, 0);
  EXPECT_EQ(play(3012, 0, 40)->value, 0);
  EXPECT_EQ(play(3011)->value, 0);
  EXPECT_EQ(play(3021)->value, 0);
  EXPECT_EQ(sound.calls,
            (Calls{"sfxLoad 0 sound/se004.wav", "sfxPlay 0 0 100", "sfxSetVolume 0 40", "sfxStop 0", "sfxStop 1"}));
}

}  // namespace
