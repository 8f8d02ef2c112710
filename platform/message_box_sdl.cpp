// Message boxes over SDL_ShowMessageBox; the headless answer when there is no
// display, the engine's fallback where SDL cannot show one, and the queue
// through which other threads ask the box thread for theirs.
#include "platform/message_box.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/utf8.h"

namespace platform {

namespace {

std::atomic<SDL_Window*> g_owner{nullptr};
std::atomic<MessageBoxFallback> g_fallback{nullptr};

// A box another thread waits on.
struct BoxRequest {
  std::u16string text;
  std::u16string caption;
  unsigned type = 0;
  int answer = 0;
  bool answered = false;
};

struct BoxQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<BoxRequest*> waiting;
  std::atomic<size_t> count{0};
  std::atomic<bool> threadSet{false};
  std::thread::id thread;
};

BoxQueue& queue() {
  static BoxQueue q;
  return q;
}

// The event that wakes the box thread's window wait; registered once.
uint32_t wakeEventType() {
  static const uint32_t type = SDL_RegisterEvents(1);
  return type;
}

void printHeadless(std::u16string_view text, std::u16string_view caption) {
  std::string line = "[" + ToUtf8(caption) + "] " + ToUtf8(text);
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  fflush(stdout);
  fwrite(line.data(), 1, line.size(), stderr);
  fflush(stderr);
}

bool flagSet(const char* name) {
  const char* value = getenv(name);
  return value && strcmp(value, "1") == 0;
}

// On the box thread.
int showHere(std::u16string_view text, std::u16string_view caption, unsigned type) {
  const std::vector<MessageBoxButton> buttons = MessageBoxButtons(type);
  const size_t def = DefaultMessageBoxButtonIndex(type);
  const std::string utf8Text = ToUtf8(text);
  const std::string utf8Caption = ToUtf8(caption);
  std::vector<SDL_MessageBoxButtonData> data;
  for (size_t i = 0; i < buttons.size(); ++i) {
    Uint32 flags = 0;
    if (i == def) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (buttons[i].id == IDCANCEL) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
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
  // The tests' way to meet a display where SDL's box fails (Xvfb has the
  // fonts SDL's own drawing needs, and zenity may be installed).
  const bool refused = flagSet("ZEP_TEST_NO_SDL_BOX");
  if (refused || SDL_ShowMessageBox(&box, &pressed) != 0) {
    const std::string reason = refused ? "SDL's box is turned off (ZEP_TEST_NO_SDL_BOX=1)" : SDL_GetError();
    if (MessageBoxFallback fallback = g_fallback.load()) return fallback(text, caption, type, reason);
    printHeadless(text, caption);
    return buttons[def].id;
  }
  if (pressed < 0) return CloseMessageBoxButton(type);
  return pressed;
}

bool onBoxThread() {
  BoxQueue& q = queue();
  return !q.threadSet.load() || q.thread == std::this_thread::get_id();
}

int askBoxThread(std::u16string_view text, std::u16string_view caption, unsigned type) {
  BoxQueue& q = queue();
  BoxRequest request;
  request.text = std::u16string(text);
  request.caption = std::u16string(caption);
  request.type = type;
  std::unique_lock<std::mutex> lock(q.mutex);
  q.waiting.push_back(&request);
  q.count.store(q.waiting.size());
  q.changed.notify_all();
  // A box thread inside its window wait wakes for the event; one that has
  // not started SDL's events yet serves the box at its next wait.
  SDL_Event wake{};
  wake.type = wakeEventType();
  if (wake.type != static_cast<uint32_t>(-1)) SDL_PushEvent(&wake);
  q.changed.wait(lock, [&] { return request.answered; });
  return request.answer;
}

// Under the queue's lock: shows the first waiting box with the lock let go.
void serveOne(std::unique_lock<std::mutex>& lock) {
  BoxQueue& q = queue();
  BoxRequest* request = q.waiting.front();
  q.waiting.pop_front();
  q.count.store(q.waiting.size());
  lock.unlock();
  const int answer = showHere(request->text, request->caption, request->type);
  lock.lock();
  request->answer = answer;
  request->answered = true;
  q.changed.notify_all();
}

}  // namespace

std::vector<MessageBoxButton> MessageBoxButtons(unsigned type) {
  switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "キャンセル"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "中止"}, {IDRETRY, "再試行"}, {IDIGNORE, "無視"}};
    case MB_YESNOCANCEL: return {{IDYES, "はい"}, {IDNO, "いいえ"}, {IDCANCEL, "キャンセル"}};
    case MB_YESNO: return {{IDYES, "はい"}, {IDNO, "いいえ"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "再試行"}, {IDCANCEL, "キャンセル"}};
    default: return {{IDOK, "OK"}};
  }
}

size_t DefaultMessageBoxButtonIndex(unsigned type) {
  size_t index = 0;
  if (type & MB_DEFBUTTON3) index = 2;
  else if (type & MB_DEFBUTTON2) index = 1;
  return index < MessageBoxButtons(type).size() ? index : 0;
}

int DefaultMessageBoxButton(unsigned type) { return MessageBoxButtons(type)[DefaultMessageBoxButtonIndex(type)].id; }

int CloseMessageBoxButton(unsigned type) {
  for (const MessageBoxButton& button : MessageBoxButtons(type)) {
    if (button.id == IDCANCEL) return IDCANCEL;
  }
  return DefaultMessageBoxButton(type);
}

bool MessageBoxesAreHeadless() {
  if (flagSet("ZEP_NO_DIALOGS")) return true;
  const char* driver = getenv("SDL_VIDEODRIVER");
  if (driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0)) return true;
  return !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY");
}

bool DialogsHaveDisplay() {
  if (flagSet("ZEP_NO_DIALOGS")) return false;
  const char* x11 = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

void SetMessageBoxOwner(SDL_Window* window) { g_owner.store(window); }

void SetMessageBoxFallback(MessageBoxFallback fallback) { g_fallback.store(fallback); }

void SetMessageBoxThread() {
  BoxQueue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  q.thread = std::this_thread::get_id();
  q.threadSet.store(true);
}

void ServeMessageBoxRequests() {
  BoxQueue& q = queue();
  if (q.count.load() == 0 || !onBoxThread()) return;
  std::unique_lock<std::mutex> lock(q.mutex);
  while (!q.waiting.empty()) serveOne(lock);
}

void WaitServingMessageBoxes(const std::function<bool()>& done) {
  BoxQueue& q = queue();
  std::unique_lock<std::mutex> lock(q.mutex);
  for (;;) {
    if (!q.waiting.empty() && onBoxThread()) {
      serveOne(lock);
      continue;
    }
    if (done()) return;
    q.changed.wait(lock);
  }
}

void NotifyMessageBoxThread() {
  BoxQueue& q = queue();
  { std::lock_guard<std::mutex> lock(q.mutex); }
  q.changed.notify_all();
}

int ShowMessageBox(std::u16string_view text, std::u16string_view caption, unsigned type) {
  if (MessageBoxesAreHeadless()) {
    printHeadless(text, caption);
    return DefaultMessageBoxButton(type);
  }
  return onBoxThread() ? showHere(text, caption, type) : askBoxThread(text, caption, type);
}

}  // namespace platform
