// A plain window that shows pixels the engine draws itself, without OpenGL:
// the engine's own message boxes where SDL cannot show one. SDL's video runs
// while one exists; its input comes through the window event wait
// (window.h), told apart by the window's id. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct SDL_Window;

namespace platform {

class PixelWindow {
 public:
  // A shown window of the client size w x h, centred on the display and
  // raised. Null on failure with SDL's reason in *error.
  static std::unique_ptr<PixelWindow> create(std::u16string_view title, int width, int height, std::string* error);
  ~PixelWindow();
  PixelWindow(const PixelWindow&) = delete;
  PixelWindow& operator=(const PixelWindow&) = delete;

  uint32_t id() const;
  // Shows w x h BGRA pixels (rows top first, no padding) at the top left.
  // False when SDL cannot show them.
  bool show(const uint8_t* bgra, int width, int height);

 private:
  explicit PixelWindow(SDL_Window* window) : window_(window) {}
  SDL_Window* window_;
};

}  // namespace platform
