// The presentation restore against a scene and a sound glue that write every
// call into one list: a reset record's command sequence with all four music
// channels stopped, a filled record shown at once with an unconfigured part
// skipped and pictures by name or number, the keep / restart rule of a music
// channel with its volume set again, and music that cannot play stopping.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/chip_config.h"
#include "app/game_environment.h"
#include "gamestate/state_mgr.h"
#include "platform/utf8.h"
#include "scene/scene_facade.h"
#include "sound/sound_glue.h"
#include "userfunc/presentation_restore.h"

namespace {

std::string U8(std::u16string_view text) { return platform::ToUtf8(std::u16string(text)); }

class RecordingScene : public SceneFacade {
 public:
  explicit RecordingScene(std::vector<std::string>* log) : log_(*log) {}

  void menuSetConfig(const Config::MenuConfigEntry* entry) override {
    add("menuConfig " + name(entry, GetGameEnvironment()->menuTable()));
  }
  void menuSetAutoHide(bool on) override { add("menuAutoHide", on); }
  void menuShow(bool visible, bool animated, bool byAutoHide) override {
    add("menuShow", visible, animated, byAutoHide);
  }
  void msgSetVisible(bool on) override { add("msgVisible", on); }
  void msgSetConfig(const Config::MessageWindowConfig* config) override {
    add("msgConfig " + name(config, GetGameEnvironment()->messageWindowTable()));
  }
  void msgSetPosition(int32_t preset, int32_t x, int32_t y) override { add("msgPosition", preset, x, y); }
  void msgClearText() override { add("msgClear"); }
  void msgShowText(std::u16string_view text, int32_t mode) override { add("msgText " + U8(text), mode); }
  void msgSetKeyWaitIcon(int32_t kind) override { add("keyWaitIcon", kind); }
  void bgChangePicture(int32_t kind, std::u16string_view picture, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                       int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t extra) override {
    add("bg [" + U8(picture) + "]", kind, sx, sy, sw, sh, duration, direction, easing, fade, extra);
  }
  void fgRemoveAllCells() override { add("cellsRemoveAll"); }
  void fgChangeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& f, int32_t duration,
                    int32_t direction, int32_t easing, int32_t fade, int32_t distance) override {
    add("cell " + std::to_string(cell) + " [" + U8(picture) + "]", kind, f[0], f[1], f[2], f[3], f[4], f[5], f[6],
        f[7], f[8], f[9], f[10], duration, direction, easing, fade, distance);
  }
  void partsRemoveAll(PartsLayer layer) override { add("partsRemoveAll", static_cast<int32_t>(layer)); }
  void partsAdd(PartsLayer layer, int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                const XGChipConfig::ConfigBase* config) override {
    add("partsAdd", static_cast<int32_t>(layer), part, visible, x, y, alpha, zOrder, config != nullptr);
  }
  void partsSetEnabled(PartsLayer, int32_t part, bool on) override { add("partsEnabled", part, on); }
  void partsSetSize(PartsLayer, int32_t part, int32_t w, int32_t h) override { add("partsSize", part, w, h); }
  void partsSetAnimationCode(PartsLayer, int32_t part, int32_t code) override { add("partsAnimation", part, code); }
  void partsSetString(PartsLayer, int32_t part, std::u16string_view text) override {
    add("partsString " + U8(text), part);
  }
  void partsSetEventNumber(PartsLayer, int32_t part, int32_t type, int32_t number) override {
    add("partsEvent", part, type, number);
  }
  void partsSetTextColor(PartsLayer, int32_t part, int32_t which, uint32_t color) override {
    add("partsColor", part, which, static_cast<int32_t>(color));
  }
  void faderClear(int32_t fader) override { add("faderClear", fader); }
  void faderStart(int32_t fader, int32_t r, int32_t g, int32_t b, int32_t a, int32_t time,
                  int32_t parameter) override {
    add("faderStart", fader, r, g, b, a, time, parameter);
  }

  bool msgIsTextDisplaying() override { return false; }
  void msgFinishText() override {}
  void fgFinishCellEffect(int32_t) override {}
  void setAppEventEnabled(int32_t, bool) override {}
  bool faderIsFading(int32_t, int32_t*) override { return false; }

 private:
  template <class Table, class Entry>
  static std::string name(const Entry* entry, const Table& table) {
    for (const auto& [number, value] : table) {
      if (&value == entry) return std::to_string(number);
    }
    return entry ? "?" : "none";
  }
  template <class... A>
  void add(std::string call, const A&... values) {
    ((call += " " + std::to_string(static_cast<int32_t>(values))), ...);
    log_.push_back(call);
  }

  std::vector<std::string>& log_;
};

// Media the glue knows, by path; the position a channel reports.
class RecordingGlue : public SoundGlue {
 public:
  explicit RecordingGlue(std::vector<std::string>* log) : log_(*log) {}

  bool getMediaInfo(std::u16string_view file, SoundMediaInfo* info, int32_t loopMode, int32_t loopStart,
                    int32_t loopEnd) override {
    const auto found = media.find(std::u16string(file));
    if (found == media.end() || loopMode > 1) return false;
    *info = found->second;
    // A loop region given by the record shows in the description.
    if (loopMode == 1) info->loopA = loopEnd, info->loopB = loopStart;
    return true;
  }
  bool streamOpen(int32_t channel, std::u16string_view file, int32_t loopMode, int32_t loopStart,
                  int32_t loopEnd) override {
    log_.push_back("open " + std::to_string(channel) + " " + U8(file) + " " + std::to_string(loopMode) + " " +
                   std::to_string(loopStart) + " " + std::to_string(loopEnd));
    return opens;
  }
  bool streamPlayFromMs(int32_t channel, int32_t ms) override {
    log_.push_back("play " + std::to_string(channel) + " " + std::to_string(ms));
    return true;
  }
  bool streamStop(int32_t channel, int32_t fadeMs) override {
    log_.push_back("stop " + std::to_string(channel) + " " + std::to_string(fadeMs));
    return true;
  }
  bool streamSetVolume(int32_t channel, int32_t volume, int32_t fadeMs) override {
    log_.push_back("volume " + std::to_string(channel) + " " + std::to_string(volume) + " " + std::to_string(fadeMs));
    return true;
  }
  bool streamGetPositionMs(int32_t channel, int32_t& position) override {
    position = channel == 0 ? position0 : -1;
    return true;
  }
  bool sfxStop(int32_t) override { return true; }
  int32_t sfxState(int32_t) override { return 0; }

  std::map<std::u16string, SoundMediaInfo> media;
  int32_t position0 = -1;
  bool opens = true;

 private:
  std::vector<std::string>& log_;
};

class PresentationRestoreTest : public testing::Test {
 protected:
  PresentationRestoreTest() {
    previousScene_ = SetSceneFacade(&scene);
    previousGlue_ = SetSoundGlue(&glue);
    env.resource().image = {u"image", u"bg", 3, u"png"};
    env.resource().cellImage = {u"cell", u"cell", 3, u"png"};
    env.resource().music = {u"music", u"bgm", 2, u"ogg"};
    env.partsTable()[7] = SharedRef<XGChipConfig::ConfigBase>(new XGChipConfig::ImageConfig);
    glue.media[u"music/bgm03.ogg"] = SoundMediaInfo{};
    glue.media[u"music/bgm04.ogg"] = SoundMediaInfo{};
    // Music at full level: level 9 (100 %) and factor 100.
    state.setSysflagInt(267, 9);
    state.setSysflagInt(306, 100);
  }
  ~PresentationRestoreTest() override {
    SetSceneFacade(previousScene_);
    SetSoundGlue(previousGlue_);
  }

  // Runs the restore; the calls it made, the log emptied.
  std::vector<std::string> restore() {
    log.clear();
    PresentationRestoreImpl::instance()->apply(state);
    return std::move(log);
  }
  static MusicChannelRecord Music(APValue music, int32_t volume = 100, int32_t loopsetting = 0, int32_t loopnum = 0) {
    MusicChannelRecord r;
    r.music = std::move(music);
    r.volume = volume;
    r.loopsetting = loopsetting;
    r.loopstart = loopsetting ? 1000 : 0;
    r.loopend = loopsetting ? 5000 : 0;
    r.loopnum = loopnum;
    return r;
  }

  std::vector<std::string> log;
  RecordingScene scene{&log};
  RecordingGlue glue{&log};
  GameEnvironment env{u"", {}, {}};
  StateMgr state{nullptr, &env};

 private:
  SceneFacade* previousScene_;
  SoundGlue* previousGlue_;
};

TEST_F(PresentationRestoreTest, AResetRecordClearsTheScreenShowsTheWindowAndStopsAllFourMusicChannels) {
  state.liveMusic()[1] = Music(3);
  glue.position0 = 500;
  state.current().reset();
  const std::vector<std::string> want = {
      "menuConfig none", "menuAutoHide 0", "menuShow 0 0 0",
      "msgVisible 1", "msgConfig none", "msgPosition 0 0 0", "msgClear",
      "bg [] 0 -1 0 0 0 0 0 0 0 0",
      "cellsRemoveAll", "partsRemoveAll 0", "faderClear 1",
      "stop 0 0", "volume 0 100 0", "stop 1 0", "volume 1 100 0",
      "stop 2 0", "volume 2 100 0", "stop 3 0", "volume 3 100 0"};
  EXPECT_EQ(restore(), want);
  for (const MusicChannelRecord& live : state.liveMusic()) EXPECT_TRUE(live.music.isBool());
}

TEST_F(PresentationRestoreTest, AFilledRecordIsShownAtOnceAndAPartWithoutConfigurationIsSkipped) {
  env.menuTable()[2];
  env.messageWindowTable()[0];
  env.messageWindowTable()[1];
  PresentationState& p = state.current();
  p.menu = {2, 1, 1, 1};
  p.msgwin.cfgno = 1;
  p.msgwin.visible = 0;
  p.msgwin.text = u"again";
  p.msgwin.keywait = 1;
  p.msgwin.posIndex = -1, p.msgwin.posX = 30, p.msgwin.posY = 40;
  p.picture.picno = APValue(u"bg/sky.png");  // a name is shown as it stands
  p.picture.tx = 4, p.picture.ty = 5, p.picture.tw = 60, p.picture.th = 70;
  p.cell[9] = SavedCell{APValue(12), 1, 2, 3, 4, 5, 6, 7, 8, 9, 200, 3};
  p.cell[2] = SavedCell{APValue(u"x.png"), 0, 0, 0, 0, 0, -1, 0, 0, 0, 255, 0};
  SavedParts shown;
  shown.partsNo = 7, shown.visible = 1, shown.x = 10, shown.y = 20, shown.opacity = 128, shown.zorder = 2;
  shown.enable = 0;
  shown.w = APValue(40), shown.h = APValue(false);
  shown.animationCode = APValue(3);
  shown.text = APValue(u"label");
  shown.eventno = {{2, 50}, {1, 40}};
  shown.color = {{1, -16777216}, {0, 255}};
  p.parts[5] = shown;
  p.parts[3].partsNo = 99;  // not configured
  p.parts[8].partsNo = 7;
  p.fader = {0, 10, 20, 200};
  const std::vector<std::string> screen = {
      "menuConfig 2", "menuAutoHide 1", "menuShow 1 0 0",
      "msgVisible 0", "msgConfig 1", "msgPosition -1 30 40", "msgClear", "msgText again 0", "keyWaitIcon 1",
      "bg [bg/sky.png] 0 4 5 60 70 0 0 0 0 0",
      "cellsRemoveAll",
      "cell 2 [x.png] 0 0 0 0 0 0 -1 0 0 0 255 0 0 0 0 0 0",
      "cell 9 [cell/cell012.png] 0 1 2 3 4 5 6 7 8 9 200 3 0 0 0 0 0",
      "partsRemoveAll 0",
      "partsAdd 0 5 1 10 20 128 2 1", "partsEnabled 5 0", "partsSize 5 40 0", "partsAnimation 5 3",
      "partsString label 5", "partsEvent 5 1 40", "partsEvent 5 2 50", "partsColor 5 0 255",
      "partsColor 5 1 -16777216",
      "partsAdd 0 8 0 0 0 255 0 1", "partsEnabled 8 1",
      "faderClear 1", "faderStart 1 0 10 20 200 0 0"};
  std::vector<std::string> calls = restore();
  ASSERT_GE(calls.size(), screen.size());
  calls.resize(screen.size());
  EXPECT_EQ(calls, screen);

  // A number goes through the picture naming rule.
  p.picture.picno = APValue(5);
  EXPECT_EQ(restore()[9], "bg [image/bg005.png] 0 4 5 60 70 0 0 0 0 0");
}

TEST_F(PresentationRestoreTest, TheSameTrackKeepsPlayingWithItsVolumeSetAgainAndAnyDifferenceRestartsIt) {
  // Level 5: 55 % of the recorded 80.
  state.setSysflagInt(267, 5);
  struct Case {
    const char* what;
    MusicChannelRecord live, saved;
    int32_t position;
    bool keeps;
  };
  const Case cases[] = {
      {"same file, playing", Music(3), Music(3, 80), 1, true},
      {"same file by name", Music(u"music/bgm03.ogg"), Music(3, 80), 1500, true},
      {"not playing", Music(3), Music(3, 80), -1, false},
      {"another file", Music(4), Music(3, 80), 1, false},
      {"another loop region", Music(3), Music(3, 80, 1), 1, false},
      {"both loop, live counted", Music(3, 100, 1, 1), Music(3, 80, 1, 0), 1, false},
      {"both loop, both counted", Music(3, 100, 1, 1), Music(3, 80, 1, 2), 1, true},
      {"both loop, none counted", Music(3, 100, 1, 0), Music(3, 80, 1, 0), 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state.liveMusic()[0] = c.live;
    state.current().music[0] = c.saved;
    state.current().music[0].startposition = 250;
    glue.position0 = c.position;
    std::vector<std::string> calls = restore();
    ASSERT_GE(calls.size(), 11u);
    calls.assign(calls.begin() + 11, calls.end() - 6);  // channel 0 only
    const std::string loop = c.saved.loopsetting ? " 1 1000 5000" : " 0 0 0";
    const std::vector<std::string> restart = {"open 0 music/bgm03.ogg" + loop, "play 0 250", "volume 0 44 0"};
    EXPECT_EQ(calls, c.keeps ? std::vector<std::string>{"volume 0 44 0"} : restart);
    EXPECT_EQ(state.liveMusic()[0].startposition, 250);
    EXPECT_EQ(state.liveMusic()[0].loopnum, c.saved.loopnum);
  }
}

TEST_F(PresentationRestoreTest, MusicThatCannotPlayStopsItsChannelInsteadOfLeavingTheOldTrack) {
  state.liveMusic()[0] = Music(4);
  glue.position0 = 1;
  // No file behind the record: its media cannot be described.
  state.current().music[0] = Music(u"music/missing.ogg");
  std::vector<std::string> calls = restore();
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 11, calls.begin() + 13),
            (std::vector<std::string>{"stop 0 0", "volume 0 100 0"}));
  // Described, but the stream does not open.
  state.current().music[0] = Music(3);
  glue.opens = false;
  calls = restore();
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 11, calls.begin() + 14),
            (std::vector<std::string>{"open 0 music/bgm03.ogg 0 0 0", "stop 0 0", "volume 0 100 0"}));
  EXPECT_EQ(state.liveMusic()[0].music, APValue(3));
}

}  // namespace
