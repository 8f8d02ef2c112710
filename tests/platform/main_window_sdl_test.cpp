// The main window under the offscreen driver, fed SDL events as a display
// would send them: keys, buttons and the wheel reach the scene as the
// engine's input events, close and focus changes become application events,
// frames draw and screen modes switch. Skips only where no OpenGL context
// can be made at all.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/main_window.h"
#include "app/os_util.h"
#include "app/screen_flags.h"
#include "app/timer.h"
#include "platform/gl_window.h"
#include "platform/window.h"

namespace {

class RecordingScene : public MainWindowScene {
 public:
  void dispatchInput(const Event& event) override { events.push_back(event.clone()); }
  void updateRoot() override { ++updates; }
  bool isRootVisible() const override { return true; }
  void paintRoot(GDev*) override { ++paints; }
  uint32_t clearColor() const override { return 0x102030; }
  void cursorFileChanged(std::u16string_view file) override { cursorFiles.emplace_back(file); }

  std::vector<const MouseEvent*> mouse() const {
    std::vector<const MouseEvent*> out;
    for (const auto& e : events) {
      if (const MouseEvent* m = EventAs<MouseEvent>(e.get())) out.push_back(m);
    }
    return out;
  }
  std::vector<const KeyEvent*> keys() const {
    std::vector<const KeyEvent*> out;
    for (const auto& e : events) {
      if (const KeyEvent* k = EventAs<KeyEvent>(e.get())) out.push_back(k);
    }
    return out;
  }

  std::vector<std::unique_ptr<Event>> events;
  std::vector<std::u16string> cursorFiles;
  int updates = 0;
  int paints = 0;
};

// The application event codes waiting in the global queue (taken out).
std::vector<int32_t> takeAppEventCodes() {
  std::vector<int32_t> codes;
  for (const auto& e : GetEventQueue().takeAll()) {
    if (const AppEvent* a = EventAs<AppEvent>(e.get())) codes.push_back(a->code);
  }
  return codes;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    SDL_Window* probe = platform::CreateGLWindow(u"probe", 64, 64, true, &why);
    if (!probe) GTEST_SKIP() << "no window to hold an OpenGL context: " << why;
    const bool context = platform::GLContext::create(probe, &why) != nullptr;
    platform::DestroyGLWindow(probe);
    if (!context) GTEST_SKIP() << "no OpenGL 3.3 context on this machine: " << why;

    std::array<Config::Rect, 10> sizes{};
    sizes[1] = {0, 0, 640, 480};
    ASSERT_TRUE(CreateMainWindow(800, 600, FRAME_MODE_VBLANK, 60, false, u"main window test", u"", sizes));
    ShowMainWindow(true);
    id_ = SDL_GetWindowID(GetMainWindowHandle());
    GetEventQueue().takeAll();
  }

  void TearDown() override {
    DetachScene();
    DestroyMainWindow();
    GetEventQueue().takeAll();
    MoviePlayingFlag = 0;
  }

  void pushKey(bool down, SDL_Keycode sym, uint16_t mod = KMOD_NONE, uint32_t windowId = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = windowId ? windowId : id_;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }
  void pushButton(bool down, uint8_t button, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = id_;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
  void pushMotion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = id_;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
  }
  void pushWindowEvent(uint8_t what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id_;
    e.window.event = what;
    SDL_PushEvent(&e);
  }

  uint32_t id_ = 0;
};

}  // namespace

TEST_F(MainWindowTest, InputReachesTheSceneAsKeyAndMouseEvents) {
  RecordingScene scene;
  SetMainWindowScene(&scene);
  pushKey(true, SDLK_F5, KMOD_LSHIFT);
  pushKey(false, SDLK_F5);
  pushKey(true, SDLK_a, KMOD_LALT);      // a menu key: not the engine's
  pushKey(true, SDLK_F10, KMOD_LALT);    // F10 is an ordinary key
  pushKey(true, SDLK_RETURN, KMOD_LALT);  // Alt+Enter is not seen as Enter...
  pushKey(false, SDLK_RETURN, KMOD_LALT);  // ...its release switches the screen mode
  pushKey(true, SDLK_F5, KMOD_NONE, id_ + 1000);  // another window's key
  pushMotion(400, 300);
  pushButton(true, SDL_BUTTON_LEFT, 401, 301);
  pushButton(false, SDL_BUTTON_LEFT, 402, 302);
  pushButton(true, SDL_BUTTON_MIDDLE, 403, 303);  // activity only
  pushButton(true, SDL_BUTTON_RIGHT, 404, 304);
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = id_;
  wheel.wheel.y = 1;
  wheel.wheel.preciseY = 1.0f;
  wheel.wheel.mouseX = 10;
  wheel.wheel.mouseY = 20;
  SDL_PushEvent(&wheel);
  EXPECT_EQ(PumpMessages(1, false), 0);

  const std::vector<const KeyEvent*> keys = scene.keys();
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0]->virtualKey, 116u);
  EXPECT_EQ(keys[0]->action, KeyEvent::kDown);
  EXPECT_EQ(keys[0]->modifiers, static_cast<uint32_t>(KeyEvent::kShift));
  EXPECT_EQ(keys[1]->virtualKey, 116u);
  EXPECT_EQ(keys[1]->action, KeyEvent::kUp);
  EXPECT_EQ(keys[2]->virtualKey, 121u);
  EXPECT_EQ(takeAppEventCodes(), (std::vector<int32_t>{AppEvent::kToggleScreenMode}));

  const std::vector<const MouseEvent*> mouse = scene.mouse();
  ASSERT_EQ(mouse.size(), 5u);
  EXPECT_EQ(mouse[0]->action, MouseEvent::kMove);
  EXPECT_EQ(mouse[0]->x, 400);
  EXPECT_EQ(mouse[0]->y, 300);
  EXPECT_EQ(mouse[1]->action, MouseEvent::kPress);
  EXPECT_EQ(mouse[1]->button, MouseEvent::kLeft);
  EXPECT_EQ(mouse[2]->action, MouseEvent::kRelease);
  EXPECT_EQ(mouse[2]->x, 402);
  EXPECT_EQ(mouse[3]->action, MouseEvent::kPress);
  EXPECT_EQ(mouse[3]->button, MouseEvent::kRight);
  EXPECT_EQ(mouse[4]->action, MouseEvent::kWheel);
  EXPECT_EQ(mouse[4]->wheel, 120);
  EXPECT_EQ(mouse[4]->x, 10);
  EXPECT_EQ(mouse[4]->y, 20);
  EXPECT_FALSE(IsLeftButtonDown());
  EXPECT_TRUE(IsRightButtonDown());

  // While a movie plays Alt+Enter raises nothing.
  MoviePlayingFlag = 1;
  pushKey(false, SDLK_RETURN, KMOD_RALT);
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_TRUE(takeAppEventCodes().empty());
}

TEST_F(MainWindowTest, CloseRequestsAndFocusLoss) {
  RecordingScene scene;
  SetMainWindowScene(&scene);
  pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_EQ(takeAppEventCodes(), (std::vector<int32_t>{AppEvent::kClose}));
  EXPECT_FALSE(IsQuitFlagSet());

  // Closing is not allowed: the close button still asks the game.
  EnableCloseMenu(false);
  pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_EQ(takeAppEventCodes(), (std::vector<int32_t>{AppEvent::kClose}));

  pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_EQ(takeAppEventCodes(), (std::vector<int32_t>{AppEvent::kDeactivated}));

  // With no game running the close button ends the engine.
  DetachScene();
  pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(PumpMessages(0, false), -1);
  EXPECT_TRUE(IsQuitFlagSet());
  EXPECT_TRUE(takeAppEventCodes().empty());
  EXPECT_EQ(PumpMessagesGuarded(0, false), -1);
  EXPECT_TRUE(MainWindowExists());
}

TEST_F(MainWindowTest, PointerLeavingGivesOneMoveAtTheEdge) {
  RecordingScene scene;
  SetMainWindowScene(&scene);
  pushMotion(400, 300);
  pushWindowEvent(SDL_WINDOWEVENT_LEAVE);
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_EQ(PumpMessages(1, false), 0);
  const std::vector<const MouseEvent*> mouse = scene.mouse();
  ASSERT_EQ(mouse.size(), 2u);
  EXPECT_EQ(mouse[1]->action, MouseEvent::kMove);
  EXPECT_GE(mouse[1]->x, 0);
  EXPECT_LE(mouse[1]->x, 799);
  EXPECT_GE(mouse[1]->y, 0);
  EXPECT_LE(mouse[1]->y, 599);
}

TEST_F(MainWindowTest, FramesDrawOnlyWhenTheSceneChanged) {
  RecordingScene scene;
  SetMainWindowScene(&scene);
  GUIChangedFlag = 1;
  const int64_t rendered = GetRenderedFrameCount();
  const int64_t steps = GetFrameStepCount();
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_EQ(GetRenderedFrameCount(), rendered + 1);
  EXPECT_EQ(GUIChangedFlag, 0);
  EXPECT_EQ(scene.paints, 1);
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_EQ(GetRenderedFrameCount(), rendered + 1);
  EXPECT_EQ(GetFrameStepCount(), steps + 2);
  // Mode 2 waits but runs no frame; a movie stops drawing.
  EXPECT_EQ(PumpMessages(2, false), 0);
  EXPECT_EQ(GetFrameStepCount(), steps + 2);
  MoviePlayingFlag = 1;
  GUIChangedFlag = 1;
  EXPECT_EQ(PumpMessages(1, false), 0);
  EXPECT_EQ(scene.paints, 1);
  EXPECT_EQ(GUIChangedFlag, 0);
  // Without a headless display's vertical blank, the configured rate paces.
  EXPECT_EQ(GetFramePacer().interval(), 16667);
  EXPECT_FALSE(GetFramePacer().swapPaces());
}

// Nothing changing: a frame waits for what needs it and for nothing else.
// A timer that only needs its end gets the one frame at that end; a key
// pushed from another thread ends the wait at once.
TEST_F(MainWindowTest, AnIdleFrameWaitsForATimersEndOrAPushedEvent) {
  RecordingScene scene;
  SetMainWindowScene(&scene);
  for (int i = 0; i < FramePacer::kStartFrames; ++i) PumpMessages(1, false);
  struct EndOnly : Timer {
    void onTimer(float progress) override { last = progress; }
    float last = -1.0f;
  } timer;
  timer.everyFrame = false;
  timer.duration = 120;
  // A timer's time runs from the last dispatch, so the clock is read before
  // the frame that makes it.
  const int64_t started = GetTimerManager()->now();
  PumpMessages(1, false);
  timer.start();
  const int64_t steps = GetFrameStepCount();
  EXPECT_EQ(PumpMessages(0, false), 0);
  EXPECT_GE(GetTimerManager()->now() - started, 120);
  EXPECT_EQ(GetFrameStepCount(), steps + 1);
  EXPECT_EQ(timer.last, 1.0f);
  timer.stop();

  std::thread pusher([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pushKey(true, SDLK_a);
  });
  EXPECT_EQ(PumpMessages(0, false), 0);
  pusher.join();
  EXPECT_EQ(GetFrameStepCount(), steps + 2);
  ASSERT_EQ(scene.keys().size(), 1u);
  DetachScene();
}

TEST_F(MainWindowTest, ScreenModesSwitchBetweenEntriesAndFullScreen) {
  int32_t mode = 0;
  EXPECT_TRUE(GetScreenMode(&mode));
  EXPECT_EQ(mode, 10);
  EXPECT_FALSE(ChangeScreenMode(25));
  EXPECT_FALSE(ChangeScreenMode(12));  // entry 2 is not configured
  EXPECT_TRUE(GetScreenMode(&mode));
  EXPECT_EQ(mode, 10);

  EXPECT_TRUE(ChangeScreenMode(11));
  EXPECT_TRUE(GetScreenMode(&mode));
  EXPECT_EQ(mode, 11);
  int32_t w = 0, h = 0;
  platform::GetClientSize(GetMainWindowHandle(), &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  // The pointer maps through the smaller window.
  int32_t x = 320, y = 240;
  EXPECT_TRUE(ClientToLogical(&x, &y));
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);

  EXPECT_TRUE(ChangeScreenMode(1));
  EXPECT_TRUE(GetScreenMode(&mode));
  EXPECT_EQ(mode, 1);
  EXPECT_TRUE(IsFullScreen());
  // The picture follows the size the window gets, which the driver reports
  // with the next events.
  EXPECT_EQ(PumpMessages(1, false), 0);
  int32_t displayW = 0, displayH = 0;
  ASSERT_TRUE(platform::GetDisplaySize(GetMainWindowHandle(), &displayW, &displayH));
  EXPECT_EQ(ScaleRectForFullscreen({0, 0, 800, 600}), FullscreenPictureRect(0, 800, 600, displayW, displayH));

  // Back to the last windowed entry.
  EXPECT_TRUE(ChangeScreenMode(0));
  EXPECT_TRUE(GetScreenMode(&mode));
  EXPECT_EQ(mode, 11);
  EXPECT_FALSE(IsFullScreen());
  EXPECT_TRUE(ChangeScreenMode(10));
  EXPECT_TRUE(GetScreenMode(&mode));
  EXPECT_EQ(mode, 10);
}

TEST_F(MainWindowTest, PointerFilesBySlotAndClipAroundBoxes) {
  RecordingScene scene;
  SetMainWindowScene(&scene);
  const int owner = 0, other = 0;
  SetCursorImage(u"a.cur", 0, nullptr);
  SetCursorImage(u"b.cur", 1, nullptr);
  SetCursorImage(u"c.cur", 2, &owner);  // the override still wins
  SetCursorImage(u"", 1, nullptr);
  SetCursorImage(u"", 2, &other);  // not its owner: kept
  SetCursorImage(u"", 2, &owner);
  SetCursorImage(u"d.cur", 2, &owner);
  SetCursorImage(u"", 2, nullptr);  // no owner given: cleared
  EXPECT_EQ(scene.cursorFiles, (std::vector<std::u16string>{u"", u"a.cur", u"b.cur", u"c.cur", u"a.cur", u"d.cur",
                                                            u"a.cur"}));

  SetClipCursor(true);
  int32_t button = 0;
  EXPECT_TRUE(ShowMessageBox(u"text", u"caption", 0, &button));
  EXPECT_EQ(button, 1);
  EXPECT_TRUE(GetClipCursor());
  SetClipCursor(false);
  EXPECT_TRUE(ShowMessageBox(u"text", u"caption", 0, &button));
  EXPECT_FALSE(GetClipCursor());
}
