// Stream animations: frame names, the shared registry with its counts, the
// load failures and their log lines, the sample game's animation, and the
// frame the player shows for a moment (loops, zero-length frames, speed).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "gdev/image_file.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/stream_anime.h"
#include "script/tokenizer.h"
#include "tests/support/test_support.h"

namespace {

class StreamAnimeTest : public ::testing::Test {
 protected:
  StreamAnimeTest() : cwd_(dir_.path()), env_(platform::FromUtf8(dir_.path().string()), {}, {}) {
    previousClock_ = SetTimerManager(&clock_);
  }
  ~StreamAnimeTest() override {
    GetTextureManager().finalize();
    SetTimerManager(previousClock_);
  }
  // Writes folder/index.txt and acquires the folder into *out.
  bool load(const std::string& folder, const std::string& index, StreamAnimeRef* out) {
    dir_.write(folder + "/index.txt", index);
    return StreamAnimeRegistry::acquire(&env_, platform::FromUtf8(folder), out);
  }
  void writeFrame(const std::string& name) {
    const RGBAImageRef image(RGBAImage(0, 1, 1, std::vector<uint8_t>{1, 2, 3, 255}));
    std::filesystem::create_directories((dir_.path() / name).parent_path());
    ASSERT_EQ(SaveImageFile(platform::FromUtf8((dir_.path() / name).string()), image, true, false), 0);
  }

  TempDir dir_;
  ScopedCurrentDir cwd_;
  GameEnvironment env_;
  ManualClock clock_;
  TimerManager* previousClock_ = nullptr;
};

TEST_F(StreamAnimeTest, NumberedFramesUseFourDigitsUnlessTheDefinitionSaysOtherwise) {
  tokenizer::Tokenizer reader;
  ASSERT_TRUE(reader.parse(u"(image-basename . \"a\") (image-extension . \"png\") (piclist ((url . 7)))"));
  StreamAnimeConfig config;
  ASSERT_TRUE(ParseStreamAnimeConfig(&config, reader.root()));
  EXPECT_EQ(StreamAnimeFrameName(u"anim", config, config.frames[0].picture), u"anim/a0007.png");
  EXPECT_EQ(StreamAnimeFrameName(u"anim", config, APValue(u"other/x.png")), u"other/x.png");
  EXPECT_EQ(StreamAnimeFrameName(u"anim", config, APValue(-1)), u"");
  config.digits = 2;
  EXPECT_EQ(StreamAnimeFrameName(u"anim", config, APValue(7)), u"anim/a07.png");
}

TEST_F(StreamAnimeTest, OneRecordIsSharedWhileAnyReferenceHoldsIt) {
  writeFrame("shared/f000.png");
  writeFrame("shared/f001.png");
  ScopedLogMask all(0x1F);
  LogCapture log;
  const std::string index =
      "(image-basename . \"f\") (image-num-digits . 3) (image-extension . \"png\") (loop-index . 1)"
      " (piclist ((url . 0) (waittime . 50)) ((url . 1) (waittime . -20)))";
  StreamAnimeRef first, second;
  ASSERT_TRUE(load("shared", index, &first));
  ASSERT_TRUE(StreamAnimeRegistry::acquire(&env_, u"shared", &second));
  EXPECT_TRUE(log.contains("loadBody 0 / register 0\n")) << log.all();
  ASSERT_EQ(first.get(), second.get());
  EXPECT_EQ(first->refCount, 2);
  EXPECT_EQ(first->loopIndex, 1);
  ASSERT_EQ(first->frames.size(), 2u);
  EXPECT_EQ(first->frames[0].duration, 50);
  EXPECT_EQ(first->frames[1].duration, 0);  // a negative wait counts as none
  EXPECT_TRUE(first->frames[1].texture);
  first.reset();
  EXPECT_EQ(StreamAnimeRegistry::find(u"shared"), second.get());
  EXPECT_EQ(second->refCount, 1);
  second.reset();
  EXPECT_EQ(StreamAnimeRegistry::find(u"shared"), nullptr);
  EXPECT_EQ(StreamAnimeRegistry::size(), 0u);
}

TEST_F(StreamAnimeTest, FailedLoadsLogWhyAndRegisterNothing) {
  writeFrame("gap/f0000.png");
  const struct {
    const char* folder;
    const char* index;  // null: no index.txt
    const char* line;
  } cases[] = {
      {"gap", "(image-basename . \"f\") (image-extension . \"png\") (piclist ((url . 0)) ((url . 1)))",
       "ファイルロード失敗(gap/f0001.png)\n"},
      {"empty", "", "ストリームアニメ定義ファイルの読み込みに失敗：サイズがゼロ(empty/index.txt)\n"},
      {"none", nullptr, "ストリームアニメ定義ファイルが見つかりません(none/index.txt)\n"},
      {"broken", "(piclist", "ストリームアニメ定義ファイルの解析に失敗:unclosed parenthesis(broken/index.txt)\n"},
      {"noframes", "(image-basename . \"f\")", "ストリームアニメ定義ファイルの読み込みに失敗：フォーマット不正(noframes/index.txt)\n"},
      {"badwait", "(piclist ((url . 0) (waittime . \"5\")))",
       "ストリームアニメ定義ファイルの読み込みに失敗：フォーマット不正(badwait/index.txt)\n"},
  };
  for (const auto& c : cases) {
    LogCapture log;
    StreamAnimeRef out;
    const bool loaded = c.index ? load(c.folder, c.index, &out)
                                : StreamAnimeRegistry::acquire(&env_, platform::FromUtf8(c.folder), &out);
    EXPECT_FALSE(loaded) << c.folder;
    EXPECT_FALSE(out) << c.folder;
    EXPECT_TRUE(log.contains(c.line)) << log.all();
    EXPECT_EQ(StreamAnimeRegistry::size(), 0u) << c.folder;
  }
}

TEST(StreamAnimeSample, AnimationOneSitsWhereTheSampleGameLooksForIt) {
  const std::filesystem::path folder = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
  ScopedCurrentDir cwd(folder);
  GameEnvironment env(platform::FromUtf8(folder.string()), {u"."}, {});
  ASSERT_TRUE(env.init(u"game.scm"));
  const std::u16string path = env.getStreamAnimePath(APValue(1));
  EXPECT_EQ(path, u"anime/anim01");
  StreamAnimeRef anime;
  ASSERT_TRUE(StreamAnimeRegistry::acquire(&env, path, &anime));
  ASSERT_EQ(anime->frames.size(), 8u);
  EXPECT_EQ(anime->loopIndex, 2);
  EXPECT_EQ(anime->frames[0].texture->width(), 96);
  anime.reset();
  GetTextureManager().finalize();
}

TEST_F(StreamAnimeTest, PlayerPicksTheFrameForTheMomentAndLoopsOrStops) {
  const std::string three = "((url . \"#1,0,0\") (waittime . 100)) ((url . \"#2,0,0\") (waittime . 100))"
                            " ((url . \"#3,0,0\") (waittime . 100))";
  const std::string zero = "((url . \"#1,0,0\")) ((url . \"#2,0,0\")) ((url . \"#3,0,0\"))";
  const struct {
    const std::string& frames;
    int loopIndex;
    bool loop;
    int64_t playDuration;
    int64_t t;
    int32_t frame;
    bool playing;
  } cases[] = {
      {three, 0, true, 0, 350, 0, true},      // wraps to 50 ms
      {three, 0, false, 0, 350, 2, false},    // the loop flag is off
      {three, -1, true, 0, 350, 2, false},    // the definition has no loop
      {three, 1, true, 0, 350, 1, true},      // 50 ms into the loop from frame 1
      {three, 1, true, 0, 550, 1, true},      // the second pass of that loop
      {three, 3, true, 0, 350, 2, false},     // a loop from past the last frame
      {zero, 0, true, 0, 0, 2, false},        // a loop that takes no time
      {three, 0, true, 150, 75, 1, true},     // the whole animation in 150 ms
  };
  int n = 0;
  for (const auto& c : cases) {
    StreamAnimeRef anime;
    const std::string folder = "play" + std::to_string(n++);
    ASSERT_TRUE(load(folder, "(loop-index . " + std::to_string(c.loopIndex) + ") (piclist " + c.frames + ")", &anime));
    StreamAnimePlayer player;
    player.setAnime(anime);
    player.setLoop(c.loop);
    player.setPlayDuration(c.playDuration);
    player.start(1000);
    EXPECT_EQ(player.update(1000 + c.t), c.frame) << folder;
    EXPECT_EQ(player.isPlaying(), c.playing) << folder;
    EXPECT_EQ(player.currentTexture(), anime->frames[c.frame].texture.get()) << folder;
  }
  // Started part-way in, then stopped: the position stays where it stopped.
  StreamAnimeRef anime;
  ASSERT_TRUE(load("seek", "(piclist " + three + ")", &anime));
  StreamAnimePlayer player;
  player.setAnime(anime);
  player.start(5000, 120);
  EXPECT_EQ(player.currentFrame(), 1);
  EXPECT_EQ(player.position(5030), 150);
  player.update(5030);
  player.stop();
  EXPECT_EQ(player.position(9000), 150);
  player.start(9000, player.position(9000));
  EXPECT_EQ(player.update(9200), 2);
  EXPECT_FALSE(player.isPlaying());
  EXPECT_EQ(player.position(9999), 300);
}

}  // namespace
