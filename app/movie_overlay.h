// The movie's picture over the kept screen: while a movie plays the scene is
// not drawn, and each new picture of the movie goes over what the screen
// buffer last held, at the movie's rectangle. main_window's files only.
// Main thread.
#pragma once

#include <cstdint>

class GDev;

namespace main_window_local {

// Draws the newest due picture of the installed movie player into the
// screen buffer; true when one was drawn (the screen changed).
bool DrawMovieOverlay(GDev* device, int32_t logicalW, int32_t logicalH);
// Gives back the picture's texture (no movie plays any more).
void ReleaseMovieOverlay(GDev* device);

}  // namespace main_window_local
