// The scheduler driven by a scripted pump: scenario files in a temporary
// game folder, events posted frame by frame, and the machine's word
// variables as the record of what ran.
#include "script/app_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/event_queue.h"
#include "app/game_environment.h"
#include "gamestate/state_mgr.h"
#include "platform/utf8.h"
#include "script/script_vm.h"
#include "tests/support/test_support.h"

namespace {

// Posts the events of frame n (counting from 1) when it runs.
class ScriptedPump : public FramePump {
 public:
  int32_t pumpFrame(int32_t mode, bool) override {
    modes.push_back(mode);
    ++frames;
    if (onFrame) onFrame(frames);
    return 0;
  }
  bool quitRequested() const override { return quit; }

  std::function<void(int)> onFrame;
  std::vector<int32_t> modes;
  int frames = 0;
  bool quit = false;
};

void postApp(int32_t code) { PostEvent(std::make_unique<AppEvent>(code, 0)); }

void postKey(int32_t action) {
  auto key = std::make_unique<KeyEvent>();
  key->virtualKey = 65;
  key->action = action;
  PostEvent(std::move(key));
}

// Statement shorthands.
std::string setWord(int index, const std::string& value) {
  return "(a3:eval-noeffect (a3:assign-word " + std::to_string(index) + " " + value + "))";
}
std::string addWord(int index) {
  const std::string i = std::to_string(index);
  return setWord(index, "(a3:bop-add (a3:idref-word " + i + ") 1)");
}
std::string call(const std::string& args) { return "(a3:call-user-func " + args + ")"; }
const std::string kQuitRun = call("6000");
const std::string kWaitForever = call("4000 0 -1 0");

class AppControllerTest : public testing::Test {
 protected:
  AppControllerTest() : cwd_(dir_.path()) {
    env_.resource().script = {u"scene", u"scene", 4, u"scm"};
    GetEventQueue().takeAll();
  }
  ~AppControllerTest() override { GetEventQueue().takeAll(); }

  // Scenario n made of (define-set / define-sub) forms.
  void scenario(int n, const std::string& forms) {
    char name[32];
    snprintf(name, sizeof name, "scene/scene%04d.scm", n);
    dir_.write(name, forms);
  }
  static std::string set(int n, const std::string& body) {
    return "(a3:define-set (" + std::to_string(n) + " 0) " + body + ")\n";
  }
  static std::string sub(int n, const std::string& body) {
    return "(a3:define-sub (" + std::to_string(n) + " 0) " + body + ")\n";
  }
  int32_t word(int i) { return static_cast<size_t>(i) < ctl_.machine().words().size() ? ctl_.machine().words()[i] : 0; }

  TempDir dir_;
  ScopedCurrentDir cwd_;
  GameEnvironment env_{platform::FromUtf8(dir_.path().string()), {u"."}, {}};
  ScriptedPump pump_;
  AppController ctl_{&env_, &pump_};
};

TEST_F(AppControllerTest, QuitBuiltinEndsTheRunAtOnce) {
  scenario(9010, set(0, setWord(1, "1") + kQuitRun + setWord(2, "1")));
  EXPECT_TRUE(ctl_.run());
  EXPECT_EQ(word(1), 1);
  EXPECT_EQ(word(2), 0);
  EXPECT_EQ(pump_.frames, 0);
}

TEST_F(AppControllerTest, FarAndSubCallsReturnToTheNextStatement) {
  scenario(9010, set(0, setWord(1, "1") + "(a3:call-sub 3)" + setWord(3, "(a3:idref-word 2)") +
                            "(a3:call-far 20 4)" + setWord(5, "(a3:idref-word 4)") + kQuitRun) +
                     sub(3, setWord(2, "(a3:bop-add (a3:idref-word 1) 10)")));
  scenario(20, sub(4, setWord(4, "(a3:bop-add (a3:idref-word 3) 100)")));
  EXPECT_TRUE(ctl_.run());
  EXPECT_EQ(word(3), 11);
  EXPECT_EQ(word(5), 111);
}

TEST_F(AppControllerTest, SaveEventDuringAWaitRunsTheSaveScriptAndResumesTheStory) {
  // Start script -> story 100; the save key during the story's wait opens
  // system script 9006, which returns to the story.
  scenario(9010, set(0, call("6002 100 0")));
  scenario(100, set(0, addWord(1) + call("4000 0 0 0") + setWord(3, "(a3:idref-word 1)") + kQuitRun));
  scenario(9006, set(0, addWord(2) + call("6002 -1 0")));
  pump_.onFrame = [](int frame) {
    if (frame == 1) postApp(2);
  };
  EXPECT_TRUE(ctl_.run());
  EXPECT_EQ(word(2), 1);  // the save script ran once
  EXPECT_EQ(word(3), 1);  // the story resumed at its wait, not from its start
  EXPECT_TRUE(ctl_.state().isUserMode());
  EXPECT_TRUE(ctl_.state().systemStack().frames.empty());
}

TEST_F(AppControllerTest, CloseInSystemModeRunsTheQuitScriptThenTheWaitAgain) {
  scenario(9010, set(0, addWord(1) + call("4000 0 0 0") + setWord(3, "(a3:idref-word 1)") + kQuitRun));
  scenario(9001, sub(0, addWord(2)));
  pump_.onFrame = [](int frame) {
    if (frame == 1) postApp(AppEvent::kClose);
  };
  EXPECT_TRUE(ctl_.run());
  EXPECT_EQ(word(2), 1);
  EXPECT_EQ(word(3), 1);
  EXPECT_GE(pump_.frames, 2);  // the wait ran again after the quit script
}

TEST_F(AppControllerTest, StoryEndGoesToTheAfterStoryScriptWithTheUserStateReset) {
  scenario(9010, set(0, call("6002 100 0")));
  scenario(100, set(0, addWord(1)));
  scenario(9000, set(0, setWord(2, "(a3:idref-word 1)") + kQuitRun));
  EXPECT_TRUE(ctl_.run());
  EXPECT_EQ(word(2), 1);
  EXPECT_FALSE(ctl_.state().isUserMode());
  EXPECT_TRUE(ctl_.state().userStack().frames.empty());
}

TEST_F(AppControllerTest, LeavingSystemModeFromTheStoryEndsTheRun) {
  scenario(9010, set(0, call("6002 100 0")));
  scenario(100, set(0, call("6002 -1 0") + setWord(1, "1")));
  EXPECT_TRUE(ctl_.run());
  EXPECT_EQ(word(1), 0);
}

TEST_F(AppControllerTest, ScriptsThatCannotBeEnteredEndTheRunWithoutSpinning) {
  LogCapture log;
  EXPECT_FALSE(ctl_.run());  // no start script at all
  EXPECT_TRUE(log.contains("9010")) << log.all();

  scenario(9010, set(0, call("6002 100 0")));
  scenario(100, set(0, addWord(1)));  // ends; after-story script 9000 is missing
  AppController again(&env_, &pump_);
  EXPECT_FALSE(again.run());
  EXPECT_EQ(again.machine().words().at(1), 1);

  scenario(9000, set(0, ""));  // exists but does nothing: would restart for ever
  AppController empty(&env_, &pump_);
  EXPECT_FALSE(empty.run());
}

TEST_F(AppControllerTest, UnknownBuiltinAndQuitSignalEndTheRun) {
  scenario(9010, set(0, call("4999") + setWord(1, "1")));
  EXPECT_FALSE(ctl_.run());
  EXPECT_EQ(word(1), 0);

  scenario(9010, set(0, kWaitForever + setWord(1, "1")));
  pump_.onFrame = [this](int frame) { pump_.quit = frame == 3; };
  AppController waiting(&env_, &pump_);
  EXPECT_TRUE(waiting.run());
  EXPECT_EQ(pump_.frames, 3);
}

TEST_F(AppControllerTest, DebugLogShowsEachCallWithItsArguments) {
  scenario(9010, set(0, call("5000 \"ab\" 7 #t") + kQuitRun));
  ScopedLogMask mask(LOG_DEBUG | LOG_TRACE);
  LogCapture log;
  ctl_.run();
  EXPECT_TRUE(log.contains("CallUserFunc(5000, \"ab\", 7, #t)")) << log.all();
  EXPECT_TRUE(log.contains("CallUserfunc(6000)")) << log.all();
}

// Skipping drops what it passes over after a yield, up to the first event
// that ends it. Closing the window and the screen-mode switch end skipping
// too, and are handled at once (the close enters the quit script, which
// empties the queue; the switch leaves it).
struct SkipCase {
  bool force;
  std::function<void()> post;
  std::vector<int32_t> kept;  // codes left in the queue
};

TEST_F(AppControllerTest, SkipFilterKeepsTheFirstEventThatEndsSkipping) {
  const std::vector<SkipCase> cases = {
      {false, [] { postKey(KeyEvent::kDown); postApp(16); postKey(KeyEvent::kUp); postApp(5); }, {40, 5}},
      {false, [] { postKey(KeyEvent::kDown); postApp(43); postApp(16); }, {43, 16}},
      {false, [] { postApp(16); postApp(AppEvent::kClose); postKey(KeyEvent::kUp); }, {}},
      {true, [] { postKey(KeyEvent::kUp); postApp(16); postApp(12); postApp(5); }, {12, 5}},
      {true, [] { postApp(43); postApp(19); postApp(5); }, {5}},
  };
  for (const SkipCase& c : cases) {
    AppController ctl(&env_, &pump_);
    ctl.state().setMode(StateMgr::kUserMode);
    ctl.state().setSkipping(1);
    ctl.state().setForceSkip(c.force ? 1 : 0);
    pump_.onFrame = [&c](int) { c.post(); };
    ASSERT_TRUE(ctl.CallUserfunc(4000, {APValue(0), APValue(-1), APValue(1)}));  // yields under skip
    std::vector<int32_t> kept;
    for (const VMEvent& ev : ctl.events()) kept.push_back(ev.code);
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(c.force ? ctl.state().isForceSkip() : ctl.state().isSkipping(), 0);
  }
  EXPECT_EQ(pump_.modes, std::vector<int32_t>(cases.size(), 1));  // a yield frame runs at once
}

// The sample game: a key passes the title, clicks go through the story's
// waits (the fades, texts, the cross-fade, the flash, the slide, the
// lantern chapter's layer changes), each text's marking its line read, and
// the choice takes its second answer, whose page follows; the lantern
// chapter's stall takes the number its middle area posts; at the note of
// part two the window is closed, which ends the game through its quit
// script.
TEST(SampleGameTest, ClicksGoThroughTheStoryAndCloseEndsIt) {
  const std::filesystem::path folder = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
  ScopedCurrentDir cwd(folder);
  GameEnvironment env(platform::FromUtf8(folder.string()), {u"."}, {});
  ASSERT_TRUE(env.init(u"game.scm"));
  ScriptedPump pump;
  AppController ctl(&env, &pump);
  bool closed = false, lastRead = true, branchRead = false, otherBranchRead = false;
  pump.onFrame = [&](int frame) {
    if (closed || frame > 400) return;
    // Read marks are the current scenario's: the branches' are part one's.
    branchRead = branchRead || ctl.state().isTextRead(8);
    otherBranchRead = otherBranchRead || ctl.state().isTextRead(7);
    if (ctl.state().isTextRead(4)) {  // the note of part two is read, the last line not yet
      lastRead = ctl.state().isTextRead(5);
      postApp(AppEvent::kClose);
      closed = true;
      return;
    }
    // One answer at a time, and only once the last one was taken: a wait
    // ended by one of several answers would leave the others to the waits
    // after it, which could pass the note before the test sees it. Part two
    // (word 90 is 2) gets none: its note is left to the close.
    const bool pending = !GetEventQueue().empty() || std::any_of(ctl.events().begin(), ctl.events().end(),
                                                                 [](const VMEvent& ev) { return ev.code != 0; });
    const std::vector<int32_t>& words = ctl.machine().words();
    if (pending || (words.size() > 90 && words[90] == 2)) return;
    switch (frame % 3) {
      case 0:  // a key on the title, a click in the story
        if (!ctl.state().isUserMode()) {
          postKey(KeyEvent::kDown);
        } else {
          postApp(16);
        }
        break;
      case 1:  // the choice list's answer
        PostEvent(std::make_unique<SelectedEvent>(u"257"));
        break;
      default:  // the stall's middle area
        PostEvent(std::make_unique<AppEvent>(44, u"112", 0));
        break;
    }
  };
  LogCapture log;
  EXPECT_TRUE(ctl.run()) << log.all();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(lastRead);
  EXPECT_TRUE(branchRead);
  EXPECT_FALSE(otherBranchRead);
  EXPECT_FALSE(log.contains("ERROR")) << log.all();
}

TEST_F(AppControllerTest, AWaitWithoutCheckerEndsWithZero) {
  LogCapture log;
  auto wait = std::make_unique<UFResult>();
  wait->kind = UFResult::kWait;
  AppController::EventAnswer answer = ctl_.processEvent(std::move(wait), VMEvent{0, {}, 0, 0});
  EXPECT_EQ(answer.status, 0);
  ASSERT_NE(answer.result, nullptr);
  EXPECT_EQ(answer.result->kind, UFResult::kValue);
  EXPECT_EQ(answer.result->value, 0);
  EXPECT_TRUE(log.contains("checker==0")) << log.all();
}

// A script that never waits still gives the window its turn: the close
// button runs the quit script, in a system script (the frame is kept: the
// quit sub) and in the story (the quit set), whether the loop jumps within
// a set or from a scenario into itself.
TEST_F(AppControllerTest, ALoopWithoutWaitsStillSeesTheCloseButton) {
  const std::string loop = "(a3:label 0)" + addWord(1) + "(a3:goto 0)";
  const std::string quit = set(0, setWord(2, "1") + kQuitRun) + sub(0, setWord(2, "2") + kQuitRun);
  struct Case {
    std::string start, story;
    int32_t quitWord;
  };
  for (const Case& c : {Case{set(0, loop), "", 2}, Case{set(0, call("6002 100 0")), set(0, addWord(1) + "(a3:jump 100)"), 1}}) {
    scenario(9010, c.start);
    if (!c.story.empty()) scenario(100, c.story);
    scenario(9001, quit);
    AppController ctl(&env_, &pump_);
    pump_.frames = 0;
    pump_.onFrame = [](int frame) {
      if (frame == 2) postApp(AppEvent::kClose);
    };
    EXPECT_TRUE(ctl.run());
    EXPECT_EQ(ctl.machine().words().at(2), c.quitWord);
    EXPECT_GT(ctl.machine().words().at(1), 0);
    EXPECT_EQ(pump_.frames, 2);
    EXPECT_EQ(pump_.modes.back(), 1);  // the loop's turn runs its frame at once
  }
}

// Outside waits the queue keeps input for the next wait but no more than
// its bound (one WARN); the close button still gets through.
TEST_F(AppControllerTest, EventsBetweenWaitsStayBounded) {
  scenario(9010, set(0, "(a3:label 0)" + call("4001") + "(a3:goto 0)"));
  scenario(9001, sub(0, kQuitRun));
  size_t most = 0;
  pump_.onFrame = [this, &most](int frame) {
    most = std::max(most, ctl_.events().size());
    for (int i = 0; i < 10; ++i) postKey(KeyEvent::kDown);
    if (frame == 60) postApp(AppEvent::kClose);
  };
  LogCapture log;
  EXPECT_TRUE(ctl_.run());
  EXPECT_EQ(pump_.frames, 60);
  EXPECT_EQ(most, AppController::kMaxQueuedEvents);
  size_t warnings = 0;
  for (const std::string& line : log.lines()) warnings += line.find("[WARN ]") != std::string::npos;
  EXPECT_EQ(warnings, 1u) << log.all();
}

// Endless recursion through sub or far calls ends the run with an ERROR
// naming the frame, long before memory runs out.
TEST_F(AppControllerTest, EndlessRecursionEndsTheRun) {
  for (const char* recurse : {"(a3:call-sub 0)", "(a3:call-far 9010 0)"}) {
    scenario(9010, set(0, "(a3:call-sub 0)") + sub(0, recurse));
    AppController ctl(&env_, &pump_);
    LogCapture log;
    EXPECT_FALSE(ctl.run());
    EXPECT_TRUE(log.contains("[ERROR]") && log.contains("(scenario=9010, set=-1, sub=0)")) << log.all();
    EXPECT_EQ(ctl.state().systemStack().frames.size(), StateMgr::kMaxSavedFrames);
  }
}

}  // namespace
