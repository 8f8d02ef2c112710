// A built-in table over a fresh game state, with a hand-driven clock and
// fakes of the scene and the sound glue that record what the built-ins did.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/config_windows.h"
#include "app/timer.h"
#include "gamestate/state_mgr.h"
#include "platform/utf8.h"
#include "scene/line_layout.h"
#include "scene/scene_facade.h"
#include "sound/sound_glue.h"
#include "tests/support/test_support.h"
#include "userfunc/userfunc_impl.h"


class FakeScene : public SceneFacade {
 public:
  bool msgIsTextDisplaying() override { return textDisplaying; }
  void msgFinishText() override { calls.push_back("finishText"); }
  void msgSetKeyWaitIcon(int32_t kind) override { keyWaitIcon = kind; }
  void msgSetPosition(int32_t preset, int32_t x, int32_t y) override {
    calls.push_back("setPosition " + std::to_string(preset) + " " + std::to_string(x) + " " + std::to_string(y));
  }
  void msgShowText(std::u16string_view text, int32_t mode) override {
    calls.push_back("showText " + std::to_string(mode));
    shownTexts.emplace_back(text);
  }
  void msgClearText() override {
    calls.push_back("clearText");
    shownTexts.clear();
  }
  // Each text since the last clear as one line of one segment (none for an
  // empty text), 24 pixels high at the top.
  void msgGetTextLines(std::vector<LaidOutText>* out) override {
    out->clear();
    for (const std::u16string& text : shownTexts) {
      LaidOutText laid{24, 10, {}};
      if (!text.empty()) {
        TextSegment segment{24, {}, 10, {}};
        for (char16_t c : text) segment.base.push_back(GlyphItem{c, 0, 1, 0xFFFFFFFFu, 0xFF000000u});
        laid.lines.push_back(LaidOutLine{0, 24, LineLayout{24, 10, {segment}}});
      }
      out->push_back(laid);
    }
  }
  void msgSetVisible(bool on) override { calls.push_back(std::string("setVisible ") + (on ? "1" : "0")); }
  void msgMoveTo(int32_t preset, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing) override {
    calls.push_back("moveTo " + std::to_string(preset) + " " + std::to_string(x) + " " + std::to_string(y) + " " +
                    std::to_string(kind) + " " + std::to_string(duration) + " " + std::to_string(easing));
  }
  void msgSetConfig(const Config::MessageWindowConfig* config) override { configs.push_back(config); }
  void fgFinishCellEffect(int32_t cell) override { calls.push_back("finishCell " + std::to_string(cell)); }
  void setAppEventEnabled(int32_t code, bool on) override { appEvents[code] = on; }
  void selectShow(const Config::SelectWindow& config, int32_t flag,
                  const std::vector<std::pair<std::u16string, std::u16string>>& choices, bool cancelAllowed) override {
    selectShown.push_back(SelectShown{config, flag, choices, cancelAllowed});
  }
  bool faderIsFading(int32_t fader, int32_t* parameter) override {
    *parameter = 0;
    return fader == 1 ? fader1Fading : fader2Fading;
  }

  bool textDisplaying = false;
  bool fader1Fading = false;
  bool fader2Fading = false;
  int32_t keyWaitIcon = -100;
  std::map<int32_t, bool> appEvents;
  std::vector<std::string> calls;
  std::vector<std::u16string> shownTexts;
  std::vector<const Config::MessageWindowConfig*> configs;  // each msgSetConfig
  struct SelectShown {
    Config::SelectWindow config;
    int32_t flag;
    std::vector<std::pair<std::u16string, std::u16string>> choices;
    bool cancelAllowed;
  };
  std::vector<SelectShown> selectShown;  // each selectShow
};

// Records every glue call as a line ("streamOpen 0 music/bgm03.ogg 1 10 20").
class FakeSound : public SoundGlue {
 public:
  bool streamOpen(int32_t channel, std::u16string_view file, int32_t loopMode, int32_t loopStart,
                  int32_t loopEnd) override {
    calls.push_back("streamOpen " + std::to_string(channel) + " " + platform::ToUtf8(std::u16string(file)) + " " +
                    std::to_string(loopMode) + " " + std::to_string(loopStart) + " " + std::to_string(loopEnd));
    return true;
  }
  bool streamPlayFromMs(int32_t channel, int32_t ms) override {
    calls.push_back("streamPlayFromMs " + std::to_string(channel) + " " + std::to_string(ms));
    return true;
  }
  bool streamSetVolume(int32_t channel, int32_t volume, int32_t fadeMs) override {
    calls.push_back("streamSetVolume " + std::to_string(channel) + " " + std::to_string(volume) + " " +
                    std::to_string(fadeMs));
    return true;
  }
  bool sfxLoad(int32_t slot, std::u16string_view file) override {
    calls.push_back("sfxLoad " + std::to_string(slot) + " " + platform::ToUtf8(std::u16string(file)));
    return true;
  }
  bool sfxPlay(int32_t channel, int32_t slot, int32_t volume) override {
    calls.push_back("sfxPlay " + std::to_string(channel) + " " + std::to_string(slot) + " " + std::to_string(volume));
    return true;
  }
  bool sfxSetVolume(int32_t channel, int32_t volume) override {
    calls.push_back("sfxSetVolume " + std::to_string(channel) + " " + std::to_string(volume));
    return true;
  }
  bool sfxStop(int32_t channel) override {
    calls.push_back("sfxStop " + std::to_string(channel));
    return true;
  }
  int32_t sfxState(int32_t channel) override { return channel == 1 ? voiceState : sfxState0; }
  bool streamStop(int32_t channel, int32_t fadeMs) override {
    calls.push_back("streamStop " + std::to_string(channel) + " " + std::to_string(fadeMs));
    return true;
  }

  int32_t voiceState = 0;
  int32_t sfxState0 = 0;
  std::vector<std::string> calls;
};

// Counts how often it ran.
class CountingFinalizer : public WaitFinalizer {
 public:
  explicit CountingFinalizer(int* runs) : runs_(runs) {}
  bool finish() override {
    ++*runs_;
    return true;
  }

 private:
  int* runs_;
};

class UserfuncTest : public testing::Test {
 protected:
  UserfuncTest() {
    oldClock_ = SetTimerManager(&clock);
    oldScene_ = SetSceneFacade(&scene);
    oldSound_ = SetSoundGlue(&sound);
  }
  ~UserfuncTest() override {
    SetTimerManager(oldClock_);
    SetSceneFacade(oldScene_);
    SetSoundGlue(oldSound_);
  }

  std::unique_ptr<WaitFinalizer> counting() { return std::make_unique<CountingFinalizer>(&finalizerRuns); }

  // Hands one event to a wait; null while it keeps waiting.
  static std::unique_ptr<UFResult> feed(const UFResult& wait, const Event& event) {
    VMEvent e;
    e.code = eventKindOf(event);
    e.event = SharedRef<Event>(event.clone().release());
    return feedCode(wait, e);
  }
  static std::unique_ptr<UFResult> feedCode(const UFResult& wait, VMEvent event) {
    VMEvent followUp;
    return wait.checker->check(wait, event, followUp);
  }
  static std::unique_ptr<UFResult> tick(const UFResult& wait) {
    VMEvent e;
    e.code = 0;
    return feedCode(wait, e);
  }

  void userMode() { state.setMode(StateMgr::kUserMode); }

  template <class... A>
  std::unique_ptr<UFResult> call(int32_t number, const A&... args) {
    const UserfuncImpl::Args list = {APValue(args)...};
    return userfuncs.call(number, list);
  }

  ManualClock clock;
  FakeScene scene;
  FakeSound sound;
  StateMgr state{nullptr, nullptr};
  UserfuncImpl userfuncs{nullptr, &state};
  int finalizerRuns = 0;

 private:
  TimerManager* oldClock_;
  SceneFacade* oldScene_;
  SoundGlue* oldSound_;
};

inline KeyEvent keyEvent(uint32_t key, int32_t action) {
  KeyEvent e;
  e.virtualKey = key;
  e.action = action;
  return e;
}
