// Message boxes over SDL_ShowMessageBox; the headless answer when there is no
// display.
#include "platform/message_box.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/utf8.h"

namespace platform {

namespace {

std::atomic<SDL_Window*> g_owner{nullptr};

struct Button {
  int id;
  const char* label;
};

std::vector<Button> buttonsOf(unsigned type) {
  switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "キャンセル"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "中止"}, {IDRETRY, "再試行"}, {IDIGNORE, "無視"}};
    case MB_YESNOCANCEL: return {{IDYES, "はい"}, {IDNO, "いいえ"}, {IDCANCEL, "キャンセル"}};
    case MB_YESNO: return {{IDYES, "はい"}, {IDNO, "いいえ"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "再試行"}, {IDCANCEL, "キャンセル"}};
    default: return {{IDOK, "OK"}};
  }
}

size_t defaultIndex(unsigned type, size_t count) {
  size_t index = 0;
  if (type & MB_DEFBUTTON3) index = 2;
  else if (type & MB_DEFBUTTON2) index = 1;
  return index < count ? index : 0;
}

void printHeadless(std::u16string_view text, std::u16string_view caption) {
  std::string line = "[" + ToUtf8(caption) + "] " + ToUtf8(text);
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  fflush(stdout);
  fwrite(line.data(), 1, line.size(), stderr);
  fflush(stderr);
}

}  // namespace

int DefaultMessageBoxButton(unsigned type) {
  const std::vector<Button> buttons = buttonsOf(type);
  return buttons[defaultIndex(type, buttons.size())].id;
}

bool MessageBoxesAreHeadless() {
  const char* noDialogs = getenv("ZEP_NO_DIALOGS");
  if (noDialogs && strcmp(noDialogs, "1") == 0) return true;
  const char* driver = getenv("SDL_VIDEODRIVER");
  if (driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0)) return true;
  return !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY");
}

bool DialogsHaveDisplay() {
  const char* noDialogs = getenv("ZEP_NO_DIALOGS");
  if (noDialogs && strcmp(noDialogs, "1") == 0) return false;
  const char* x11 = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

void SetMessageBoxOwner(SDL_Window* window) { g_owner.store(window); }

int ShowMessageBox(std::u16string_view text, std::u16string_view caption, unsigned type) {
  const std::vector<Button> buttons = buttonsOf(type);
  const size_t def = defaultIndex(type, buttons.size());
  if (MessageBoxesAreHeadless()) {
    printHeadless(text, caption);
    return buttons[def].id;
  }

  const std::string utf8Text = ToUtf8(text);
  const std::string utf8Caption = ToUtf8(caption);
  std::vector<SDL_MessageBoxButtonData> data;
  int escapeId = -1;
  for (size_t i = 0; i < buttons.size(); ++i) {
    Uint32 flags = 0;
    if (i == def) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (buttons[i].id == IDCANCEL) {
      flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
      escapeId = IDCANCEL;
    }
    data.push_back({flags, buttons[i].id, buttons[i].label});
  }
  Uint32 boxFlags = SDL_MESSAGEBOX_INFORMATION;
  const unsigned icon = type & 0xF0;
  if (icon == MB_ICONHAND) boxFlags = SDL_MESSAGEBOX_ERROR;
  else if (icon == MB_ICONEXCLAMATION) boxFlags = SDL_MESSAGEBOX_WARNING;

  SDL_MessageBoxData box{};
  box.flags = boxFlags;
  box.window = g_owner.load();
  box.title = utf8Caption.c_str();
  box.message = utf8Text.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) {
    printHeadless(text, caption);
    return buttons[def].id;
  }
  if (pressed < 0) return escapeId > 0 ? escapeId : buttons[def].id;
  return pressed;
}

}  // namespace platform
