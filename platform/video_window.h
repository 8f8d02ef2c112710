// Shared by this folder's window kinds (OpenGL windows, pixel windows): the
// start of SDL's video with the quit signals, the window, and the engine's X
// error handlers over it. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct SDL_Window;

namespace platform {

// Starts SDL's video (counted) and the quit signals, runs `prepare` (null:
// nothing; OpenGL attributes go there) and makes a window of the client size
// w x h with SDL's window flags, centred; on X11 the engine's X error
// handlers are put in place. Null on failure with SDL's reason in *error,
// what it started ended again.
SDL_Window* CreateVideoWindow(std::u16string_view title, int width, int height, uint32_t flags, void (*prepare)(),
                              std::string* error);
// Destroys the window and ends what CreateVideoWindow started for it.
void DestroyVideoWindow(SDL_Window* window);

}  // namespace platform
