// The installed movie player of movie_screen.h. Main thread.
#include "app/movie_screen.h"

namespace {
MovieScreen* installed = nullptr;
}  // namespace

void SetMovieScreen(MovieScreen* screen) { installed = screen; }
MovieScreen* GetMovieScreen() { return installed; }
