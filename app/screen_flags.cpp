// The process-wide bytes of screen_flags.h. Main thread.
#include "app/screen_flags.h"

uint8_t GUIChangedFlag = 1;
uint8_t MoviePlayingFlag = 0;
