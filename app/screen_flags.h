// Two process-wide bytes the frame step reads: GUIChangedFlag (set by every
// change of what the scene shows; the frame step draws a new frame only while
// it is set and clears it after drawing) and MoviePlayingFlag (set by the
// movie player while a movie plays: the scene is not drawn, only the movie's
// pictures over the kept screen, and Alt+Enter raises no event). Main thread.
#pragma once

#include <cstdint>

extern uint8_t GUIChangedFlag;
extern uint8_t MoviePlayingFlag;
