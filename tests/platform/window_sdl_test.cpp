// SDL input as the engine sees it: keys as Windows virtual-key numbers, the
// wheel at 120 per notch (touchpad fractions accumulated, flipped wheels
// turned back), window events. SDL events are built by hand: no display.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <limits>

#include "platform/window.h"

using platform::WindowEvent;

TEST(WindowSdl, KeysBecomeWindowsVirtualKeys) {
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_F5), 116u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_F1), 112u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_F12), 123u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_a), 65u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_z), 90u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_0), 48u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_9), 57u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_KP_0), 96u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_KP_5), 101u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_KP_9), 105u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_RETURN), 13u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_KP_ENTER), 13u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_BACKSPACE), 8u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_TAB), 9u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_RSHIFT), 16u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_LCTRL), 17u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_RALT), 18u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_ESCAPE), 27u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_SPACE), 32u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_PAGEUP), 33u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_PAGEDOWN), 34u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_END), 35u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_HOME), 36u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_LEFT), 37u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_UP), 38u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_RIGHT), 39u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_DOWN), 40u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_INSERT), 45u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_DELETE), 46u);
  // Keys without a number.
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_F13), 0u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_MENU), 0u);
  EXPECT_EQ(platform::VirtualKeyFromSdlKeycode(SDLK_UNKNOWN), 0u);
}

TEST(WindowSdl, WheelCountsWholeNotches) {
  platform::WheelAccumulator wheel;
  EXPECT_EQ(wheel.add(1.0f), 120);
  EXPECT_EQ(wheel.add(-2.0f), -240);
  // Touchpad fractions add up to a notch.
  EXPECT_EQ(wheel.add(0.4f), 0);
  EXPECT_EQ(wheel.add(0.4f), 0);
  EXPECT_EQ(wheel.add(0.4f), 120);
  // Turning back drops what was left over in the other direction.
  EXPECT_EQ(wheel.add(0.5f), 0);
  EXPECT_EQ(wheel.add(-0.5f), 0);
  EXPECT_EQ(wheel.add(-0.5f), -120);
  EXPECT_EQ(wheel.add(std::numeric_limits<float>::infinity()), 0);
}

TEST(WindowSdl, TranslatesKeyMouseAndWindowEvents) {
  platform::WheelAccumulator wheel;
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.windowID = 7;
  e.key.keysym.sym = SDLK_F5;
  e.key.keysym.mod = KMOD_LSHIFT | KMOD_RCTRL;
  e.key.repeat = 1;
  WindowEvent out = platform::TranslateSdlEvent(e, &wheel);
  EXPECT_EQ(out.kind, WindowEvent::kKeyDown);
  EXPECT_EQ(out.windowId, 7u);
  EXPECT_EQ(out.virtualKey, 116u);
  EXPECT_EQ(out.modifiers, WindowEvent::kShift | WindowEvent::kCtrl);
  EXPECT_TRUE(out.repeat);
  e.type = SDL_KEYUP;
  e.key.keysym.mod = KMOD_LALT;
  e.key.repeat = 0;
  out = platform::TranslateSdlEvent(e, &wheel);
  EXPECT_EQ(out.kind, WindowEvent::kKeyUp);
  EXPECT_EQ(out.modifiers, static_cast<uint32_t>(WindowEvent::kAlt));
  EXPECT_FALSE(out.repeat);

  e = SDL_Event{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.windowID = 7;
  e.wheel.y = 1;
  e.wheel.preciseY = 1.0f;
  e.wheel.mouseX = 10;
  e.wheel.mouseY = 20;
  out = platform::TranslateSdlEvent(e, &wheel);
  EXPECT_EQ(out.kind, WindowEvent::kMouseWheel);
  EXPECT_EQ(out.wheel, 120);
  EXPECT_EQ(out.x, 10);
  EXPECT_EQ(out.y, 20);
  // A flipped wheel reports the other sign; the engine's sign is the
  // physical direction.
  e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  EXPECT_EQ(platform::TranslateSdlEvent(e, &wheel).wheel, -120);
  // A fraction of a notch is no event yet.
  e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  e.wheel.y = 0;
  e.wheel.preciseY = 0.5f;
  EXPECT_EQ(platform::TranslateSdlEvent(e, &wheel).kind, WindowEvent::kNone);
  EXPECT_EQ(platform::TranslateSdlEvent(e, &wheel).wheel, 120);

  e = SDL_Event{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = 7;
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.x = 5;
  e.button.y = 6;
  out = platform::TranslateSdlEvent(e, &wheel);
  EXPECT_EQ(out.kind, WindowEvent::kMouseDown);
  EXPECT_EQ(out.button, WindowEvent::kRight);
  EXPECT_EQ(out.x, 5);
  // Touch screens send their own events; their mouse copies are dropped.
  e.button.which = SDL_TOUCH_MOUSEID;
  EXPECT_EQ(platform::TranslateSdlEvent(e, &wheel).kind, WindowEvent::kNone);

  e = SDL_Event{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = 7;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  EXPECT_EQ(platform::TranslateSdlEvent(e, &wheel).kind, WindowEvent::kCloseRequest);
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  EXPECT_EQ(platform::TranslateSdlEvent(e, &wheel).kind, WindowEvent::kFocusLost);
  e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  e.window.data1 = 1024;
  e.window.data2 = 768;
  out = platform::TranslateSdlEvent(e, &wheel);
  EXPECT_EQ(out.kind, WindowEvent::kResized);
  EXPECT_EQ(out.x, 1024);
  EXPECT_EQ(out.y, 768);
  e.window.event = SDL_WINDOWEVENT_HIT_TEST;
  EXPECT_EQ(platform::TranslateSdlEvent(e, &wheel).kind, WindowEvent::kNone);

  // A quit signal is about no window.
  e = SDL_Event{};
  e.type = SDL_QUIT;
  out = platform::TranslateSdlEvent(e, &wheel);
  EXPECT_EQ(out.kind, WindowEvent::kQuitRequest);
  EXPECT_EQ(out.windowId, 0u);
}
