// What the engine asks of the X server itself, beside SDL: the handlers of
// protocol errors and of a lost connection, a window's real size, and input
// focus. Xlib's own error handlers end the process with exit(), which runs
// the process's destructors while the engine's threads still use what they
// destroy; the handlers here report through the engine's sinks instead.
// Every call does nothing (or answers false) for a window on another
// display server.
#pragma once

#include <string>

struct SDL_Window;

namespace platform {

// A sink gets one line of UTF-8 text without a line end. Protocol errors are
// reported from the thread whose request failed; the run goes on. A lost
// connection is reported once, then the process ends at once with exit
// code 1 (no destructors run).
using XReportSink = void (*)(const std::string& text);
void SetXReportSinks(XReportSink protocolError, XReportSink connectionLost);

// Puts the engine's handlers in place when the window is on an X display
// (else does nothing); again after SDL's own have been set. With
// ZEP_TEST_X_ERROR=1 in the environment it then makes one request the server
// refuses, for the tests.
void InstallXErrorHandlers(SDL_Window* window);

// The window's size as the X server has it (SDL reports the size it asked
// for, granted or not). False when the window is not on an X display.
bool GetXWindowSize(SDL_Window* window, int* width, int* height);

// Gives the window the keyboard focus; when it goes away the focus goes
// back to the window under the pointer (as on an X display without a window
// manager). For the engine's own boxes, which SDL cannot make active there.
void FocusXWindow(SDL_Window* window);

}  // namespace platform
