// The presentation restore against a scene and a sound glue that write every
// call into one list: a reset record, a filled one, the keep / restart rule
// of a music channel, and a stream that does not open.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/chip_config.h"
#include "app/game_environment.h"
#include "tests/userfunc/userfunc_fixture.h"
#include "userfunc/presentation_restore.h"

namespace {

using Calls = std::vector<std::string>;

std::string U8(std::u16string_view text) { return platform::ToUtf8(std::u16string(text)); }

class RecordingScene : public FakeScene {
 public:
  explicit RecordingScene(Calls* log) : log_(*log) {}

  void menuSetConfig(const Config::MenuConfigEntry* e) override { add("menuConfig " + name(e, env()->menuTable())); }
  void menuSetAutoHide(bool on) override { add("menuAutoHide", on); }
  void menuShow(bool on, bool animated, bool byAutoHide) override { add("menuShow", on, animated, byAutoHide); }
  void msgSetVisible(bool on) override { add("msgVisible", on); }
  void msgSetConfig(const Config::MessageWindowConfig* c) override {
    add("msgConfig " + name(c, env()->messageWindowTable()));
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
  void partsRemoveAll(PartsLayer layer) override { add("partsRemoveAll", layer); }
  void partsAdd(PartsLayer layer, int32_t n, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t z,
                const XGChipConfig::ConfigBase* config) override {
    add("partsAdd", layer, n, visible, x, y, alpha, z, config != nullptr);
  }
  void partsSetEnabled(PartsLayer, int32_t n, bool on) override { add("partsEnabled", n, on); }
  void partsSetSize(PartsLayer, int32_t n, int32_t w, int32_t h) override { add("partsSize", n, w, h); }
  void partsSetAnimationCode(PartsLayer, int32_t n, int32_t code) override { add("partsAnimation", n, code); }
  void partsSetString(PartsLayer, int32_t n, std::u16string_view text) override { add("partsString " + U8(text), n); }
  void partsSetEventNumber(PartsLayer, int32_t n, int32_t kind, int32_t e) override { add("partsEvent", n, kind, e); }
  void partsSetTextColor(PartsLayer, int32_t n, int32_t kind, uint32_t c) override { add("partsColor", n, kind, c); }
  void faderClear(int32_t fader) override { add("faderClear", fader); }

 private:
  static GameEnvironment* env() { return GetGameEnvironment(); }
  // A configuration entry by its number in the table.
  template <class Table>
  static std::string name(const void* entry, const Table& table) {
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

  Calls& log_;
};

// Media the glue knows, by path; the position a channel 0 reports.
class RecordingGlue : public FakeSound {
 public:
  bool getMediaInfo(std::u16string_view file, SoundMediaInfo* info, int32_t loopMode, int32_t loopStart,
                    int32_t loopEnd) override {
    if (!media.count(std::u16string(file)) || loopMode > 1) return false;
    *info = SoundMediaInfo{};
    if (loopMode == 1) info->loopA = loopEnd, info->loopB = loopStart;
    return true;
  }
  bool streamOpen(int32_t channel, std::u16string_view file, int32_t mode, int32_t start, int32_t end) override {
    FakeSound::streamOpen(channel, file, mode, start, end);
    return opens;
  }
  bool streamGetPositionMs(int32_t channel, int32_t& position) override {
    position = channel == 0 ? position0 : -1;
    return true;
  }

  const std::set<std::u16string> media = {u"music/bgm03.ogg", u"music/bgm04.ogg"};
  int32_t position0 = -1;
  bool opens = true;
};

MusicChannelRecord Music(APValue music, int32_t volume = 100, int32_t loopsetting = 0, int32_t loopnum = 0) {
  return {std::move(music), volume, 0, loopsetting, loopsetting ? 1000 : 0, loopsetting ? 5000 : 0, loopnum};
}

// UserfuncTest puts back the scene and glue of before at the end.
class PresentationRestoreTest : public UserfuncTest {
 protected:
  PresentationRestoreTest() {
    SetSceneFacade(&recorder);
    SetSoundGlue(&glue);
    env.resource().music = {u"music", u"bgm", 2, u"ogg"};
    env.partsTable()[7] = SharedRef<XGChipConfig::ConfigBase>(new XGChipConfig::ImageConfig);
    // Music at full level: level 9 (100 %) and factor 100.
    game.setSysflagInt(267, 9);
    game.setSysflagInt(306, 100);
  }

  Calls restore() {
    glue.calls.clear();
    PresentationRestoreImpl::instance()->apply(game);
    return std::move(glue.calls);
  }
  // The calls after the eleven of the screen, less channels 1 to 3.
  Calls channel0() {
    const Calls calls = restore();
    return calls.size() < 17 ? calls : Calls(calls.begin() + 11, calls.end() - 6);
  }

  RecordingGlue glue;
  RecordingScene recorder{&glue.calls};
  GameEnvironment env{u"", {}, {}};
  StateMgr game{nullptr, &env};
};

TEST_F(PresentationRestoreTest, AResetRecordClearsTheScreenShowsTheWindowAndStopsAllFourMusicChannels) {
  game.liveMusic()[0] = Music(3);
  glue.position0 = 500;  // playing
  game.current().reset();
  Calls want = {"menuConfig none", "menuAutoHide 0", "menuShow 0 0 0", "msgVisible 1", "msgConfig none",
                "msgPosition 0 0 0", "msgClear", "bg [] 0 -1 0 0 0 0 0 0 0 0", "cellsRemoveAll",
                "partsRemoveAll 0", "faderClear 1"};
  for (const char* c : {"0", "1", "2", "3"}) {
    want.insert(want.end(), {"streamStop " + std::string(c) + " 0", "streamSetVolume " + std::string(c) + " 100 0"});
  }
  EXPECT_EQ(restore(), want);
  for (const MusicChannelRecord& live : game.liveMusic()) EXPECT_TRUE(live.music.isBool());
}

TEST_F(PresentationRestoreTest, AFilledRecordIsShownAtOnceAndAPartWithoutConfigurationIsSkipped) {
  env.menuTable()[2];
  env.messageWindowTable()[0];
  env.messageWindowTable()[1];
  PresentationState& p = game.current();
  p.menu = {2, 1, 1, 1};
  p.msgwin.cfgno = 1, p.msgwin.visible = 0, p.msgwin.text = u"again", p.msgwin.keywait = 1;
  p.msgwin.posIndex = -1, p.msgwin.posX = 30, p.msgwin.posY = 40;
  p.msgwin.texts = {u"ag", u"ain!"};  // not the page's: the joined text stands
  p.picture.picno = APValue(u"bg/sky.png");
  p.picture.tx = 4, p.picture.ty = 5, p.picture.tw = 60, p.picture.th = 70;
  p.parts[5] = SavedParts{7, 1, 10, 20, 128, 2, 0, 0, APValue(40), APValue(false), APValue(3), APValue(u"label"),
                          {{2, 50}}, {{1, -16777216}}};
  p.parts[3].partsNo = 99;  // not configured
  p.parts[8].partsNo = 7;
  const Calls screen = {
      "menuConfig 2", "menuAutoHide 1", "menuShow 1 0 0", "msgVisible 0", "msgConfig 1", "msgPosition -1 30 40",
      "msgClear", "msgText again 0", "keyWaitIcon 1", "bg [bg/sky.png] 0 4 5 60 70 0 0 0 0 0", "cellsRemoveAll",
      "partsRemoveAll 0", "partsAdd 0 5 1 10 20 128 2 1", "partsEnabled 5 0", "partsSize 5 40 0",
      "partsAnimation 5 3", "partsString label 5", "partsEvent 5 2 50", "partsColor 5 1 -16777216",
      "partsAdd 0 8 0 0 0 255 0 1", "partsEnabled 8 1", "faderClear 1"};
  const Calls calls = restore();
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + std::min(calls.size(), screen.size())), screen);
}

TEST_F(PresentationRestoreTest, TheSameTrackKeepsPlayingWithItsVolumeSetAgainAndAnyDifferenceRestartsIt) {
  game.setSysflagInt(267, 5);  // 55 % of the recorded 80
  struct Case { const char* what; MusicChannelRecord live, saved; int32_t position; bool keeps; };
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
    game.liveMusic()[0] = c.live;
    game.current().music[0] = c.saved;
    game.current().music[0].startposition = 250;
    glue.position0 = c.position;
    const std::string loop = c.saved.loopsetting ? " 1 1000 5000" : " 0 0 0";
    const Calls restart = {"streamOpen 0 music/bgm03.ogg" + loop, "streamPlayFromMs 0 250",
                           "streamSetVolume 0 44 0"};
    EXPECT_EQ(channel0(), c.keeps ? Calls{"streamSetVolume 0 44 0"} : restart);
  }
}

TEST_F(PresentationRestoreTest, AStreamThatDoesNotOpenStopsItsChannelInsteadOfLeavingTheOldTrack) {
  game.liveMusic()[0] = Music(4);
  glue.position0 = 1;
  game.current().music[0] = Music(3);
  glue.opens = false;
  EXPECT_EQ(channel0(), (Calls{"streamOpen 0 music/bgm03.ogg 0 0 0", "streamStop 0 0", "streamSetVolume 0 100 0"}));
  EXPECT_EQ(game.liveMusic()[0].music, APValue(3));
}

}  // namespace
