// Modal message boxes with the Windows type bits and button results, over SDL.
// Without a display (ZEP_NO_DIALOGS=1, SDL's offscreen or dummy video driver)
// the box prints "[caption] text" to standard error and answers its default
// button at once, so nothing ever blocks a test. Where a display exists but
// SDL cannot show the box, the engine's own box (the fallback) shows it.
// Boxes are shown by the box thread (the main thread); a box another thread
// asks for waits until the box thread serves it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct SDL_Window;

namespace platform {

// Type bits (the low nibble picks the buttons, 0x0F0 the icon, 0xF00 the
// default button).
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_ICONHAND = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONASTERISK = 0x40,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
};

// Button results.
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// Shows the box owned by the window set with SetMessageBoxOwner (unowned
// while none is set) and returns the button pressed; closing the box answers
// IDCANCEL where there is a Cancel button, else the default button. Any
// thread: off the box thread it waits for the box thread to show it.
int ShowMessageBox(std::u16string_view text, std::u16string_view caption, unsigned type);

// The buttons of a box type, left to right: result and label (UTF-8).
struct MessageBoxButton {
  int id;
  const char* label;
};
std::vector<MessageBoxButton> MessageBoxButtons(unsigned type);
// Which of them Return takes.
size_t DefaultMessageBoxButtonIndex(unsigned type);
// The button a box of this type answers without a user.
int DefaultMessageBoxButton(unsigned type);
// What closing the box answers: IDCANCEL where there is a Cancel button,
// else the default button.
int CloseMessageBoxButton(unsigned type);

// Shows a box SDL could not show (reason: SDL's error text) and returns the
// button pressed. Called on the box thread.
using MessageBoxFallback = int (*)(std::u16string_view text, std::u16string_view caption, unsigned type,
                                   const std::string& reason);
// Without a fallback such a box prints as when there is no display.
void SetMessageBoxFallback(MessageBoxFallback fallback);

// The calling thread becomes the box thread (the main thread, at start-up).
void SetMessageBoxThread();
// On the box thread: shows the boxes other threads wait on. Every wait of
// the main thread calls it (the window event wait does).
void ServeMessageBoxRequests();
// On the box thread: waits until done() holds, showing the boxes other
// threads ask for meanwhile; done() is asked again after every
// NotifyMessageBoxThread. A thread the box thread waits for this way may ask
// for boxes without a deadlock.
void WaitServingMessageBoxes(const std::function<bool()>& done);
// Any thread: wakes WaitServingMessageBoxes to ask done() again.
void NotifyMessageBoxThread();

// True when boxes print instead of showing.
bool MessageBoxesAreHeadless();

// True when another program's dialog (zenity) and the engine's own dialogs
// may be shown: ZEP_NO_DIALOGS is not 1 and DISPLAY or WAYLAND_DISPLAY is
// set. SDL's video driver does not count: the engine's own window may be
// offscreen while a display is there.
bool DialogsHaveDisplay();

// The main window owns every box from now on (null: unowned).
void SetMessageBoxOwner(SDL_Window* window);

}  // namespace platform
