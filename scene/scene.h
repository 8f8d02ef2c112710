// Scene: what the rest of the engine asks of the one scene, the owner of
// everything drawn in the game window. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>

class Event;
class MyGUIRoot;

class Scene {
 public:
  virtual ~Scene() = default;
  // Installs the key map (virtual-key number to application event code)
  // and the scene's name, and closes the extra child. True.
  virtual bool setup(const std::map<int32_t, int32_t>& keyMap, std::u16string_view name) = 0;
  virtual MyGUIRoot* getRoot() = 0;
  // The scene's own look at a window input event before the tree routes it;
  // true when the event was consumed (only mouse events can be).
  virtual bool handleEvent(const Event& event) = 0;
  // The pointer is at (x, y) on the screen.
  virtual void movePointer(int32_t x, int32_t y) = 0;
  // Closes the extra child; an empty name stands for the scene's own.
  virtual void closeExtra(std::u16string_view name) = 0;
};
