// Pixel windows over SDL's window surface, kept in software (no renderer, no
// OpenGL context of its own).
#include "platform/pixel_window.h"

#include <SDL2/SDL.h>

#include "platform/video_window.h"
#include "platform/x11_display.h"

namespace platform {

std::unique_ptr<PixelWindow> PixelWindow::create(std::u16string_view title, int width, int height,
                                                 std::string* error) {
  if (width < 1 || height < 1) {
    if (error) *error = "empty window";
    return nullptr;
  }
  // The window's surface stays a plain buffer SDL copies to the display.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_Window* window = CreateVideoWindow(title, width, height, SDL_WINDOW_SHOWN, nullptr, error);
  if (!window) return nullptr;
  SDL_RaiseWindow(window);
  FocusXWindow(window);
  return std::unique_ptr<PixelWindow>(new PixelWindow(window));
}

PixelWindow::~PixelWindow() { DestroyVideoWindow(window_); }

uint32_t PixelWindow::id() const { return SDL_GetWindowID(window_); }

bool PixelWindow::show(const uint8_t* bgra, int width, int height) {
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  if (!target || !bgra || width < 1 || height < 1) return false;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(bgra), width, height, 32, width * 4,
                                                           SDL_PIXELFORMAT_BGRA32);
  if (!source) return false;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  const bool copied = SDL_BlitSurface(source, nullptr, target, nullptr) == 0;
  SDL_FreeSurface(source);
  return copied && SDL_UpdateWindowSurface(window_) == 0;
}

}  // namespace platform
