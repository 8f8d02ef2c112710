// The input box drawn in the main window: its layout on the logical screen
// and the modal loop that runs a box model there. Installed as the input
// box's runner by the scene set-up. Main thread.
#pragma once

#include <cstdint>

#include "gdev/gdev.h"

class InputBoxModel;

// Where the box's parts lie on a logical screen of this size (the box is
// centred and never wider than the screen less a 10-pixel border).
struct InputBoxLayout {
  GDevRect frame;
  GDevRect titleBar;
  GDevRect prompt;   // top-left of the prompt text
  GDevRect field;    // the edit field
  GDevRect okButton;
  GDevRect cancelButton;
  int32_t textSize;  // pixel size of every text in the box
};
InputBoxLayout LayOutInputBox(int32_t screenWidth, int32_t screenHeight);

// Runs the box in the main window until it is confirmed (Return, the OK
// button) or cancelled (Escape, the cancel button, a close request). Without
// a window or a device it cancels at once. Window events that are not the
// box's (exposure, focus, size) go on to the window meanwhile; game frames
// wait until the box closes.
void RunInputBoxInMainWindow(InputBoxModel* box);
