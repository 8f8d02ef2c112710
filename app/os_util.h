// Operating-system utilities that need no window: the system class, the
// administrator test, message boxes, opening a file or address with the
// desktop's default program, the folder dialog, the rich-text viewer and the
// text-input entry point. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The operating-system class the scripts see: 6 (the newest) on Linux. The
// service-pack text, when asked for, is empty.
int32_t GetOsVersionClass(std::u16string* servicePackText);

// True when the process runs as the administrator (effective user id 0).
bool IsUserAdmin();
// result := IsUserAdmin(); always true.
bool IsAdministratorUF(int32_t* result);

// A modal box with the Windows type bits; button := the button pressed.
// The pointer is let out of the main window while the box is open (see
// SetMessageBoxPointerHook). Always true.
bool ShowMessageBox(std::u16string_view text, std::u16string_view caption, uint32_t flags, int32_t* button);

// Set by the main window: ShowMessageBox calls hook(true) before the box
// opens (the window releases its pointer clip and marks itself for redraw)
// and hook(false) after it closed (the clip flag comes back). Null: none.
void SetMessageBoxPointerHook(void (*hook)(bool boxOpening));

// Opens the path or address with xdg-open, which receives it as its one
// argument (never through a shell). False (logged at TRACE) when it cannot
// be started.
bool ShellOpen(std::u16string_view path);

// The folder dialog: zenity when it is installed and there is a display
// (started with a UTF-8 locale when the environment has none, and put away
// when the engine is asked to quit), else the engine's input box asking for
// the folder's path, after a WARN that names zenity. A chosen folder comes
// back with "/" separators; a cancelled dialog, or one that cannot be shown
// (no display, ZEP_NO_DIALOGS=1: at once, after a WARN), gives an empty
// folder. Mode 1 offers no way to make a new folder. False, after a WARN
// with its exit code, when zenity failed (it exited with neither 0, chosen,
// nor 1, cancelled).
bool BrowseForFolder(std::u16string_view title, int32_t mode, std::u16string_view initialFolder,
                     std::u16string* folder);

// Shows a rich-text document as plain text (zenity when it is installed and
// there is a display, as the folder dialog runs it). 2 when closed with OK,
// 1 when cancelled or when it cannot be shown.
int32_t ShowRichTextDialog(std::u16string_view title, const std::vector<uint8_t>& rtfBytes);

// The text of a rich-text document: control words and groups dropped, "\par"
// and "\line" as line ends, "\'hh" bytes decoded from the game code page,
// "\uN" characters kept.
std::u16string RtfToPlainText(const std::vector<uint8_t>& rtfBytes);

// The text-input entry point: ShowInputBox (app/input_box.h), drawn by the
// engine in its window; without a window the box answers as cancelled:
// false and the initial text unchanged.
bool ShowInputDialog(std::u16string* text, std::u16string_view initial, int32_t maxLength,
                     std::u16string_view prompt, std::u16string_view caption);
