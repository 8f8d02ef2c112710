// Start-up of everything drawn: the font renderers of the configuration, the
// main window with its device, the scene (joined to the window) and the
// texture-cache limits; sceneInit and sceneDetach for the controller, and
// the pointer commands. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "scene/render_to_texture.h"

class GameEnvironment;
class GUIComponent;
class RGBAImageRef;
class SceneImpl;
class ZEPTextureRef;

// The global scene set-up on the environment's configuration. The calling
// thread becomes the main thread. False, without a message, for a font type
// other than -1..2 (before any window exists), and when the main window
// cannot be made; *scene then stays empty. A bitmap font that cannot be
// loaded is logged and shown in a box and start-up goes on.
bool InitFontRenderers(GameEnvironment* environment, std::unique_ptr<SceneImpl>* scene);

// Keeps the environment, runs InitFontRenderers and makes its scene the
// global scene, joined to the main window. False when the set-up failed.
bool sceneInit(GameEnvironment* environment);
// The main window lets go of the scene (shutdown).
void sceneDetach();
// After sceneDetach: deletes the global scene (before the window goes).
void sceneRelease();
// The environment given to sceneInit (null before).
GameEnvironment* SceneEnvironment();

// The pointer: 0 hidden, 1 shown, 2 hidden after a while without moving;
// the file that overrides the pointer picture (empty: none); where it is on
// the logical screen.
bool cmd_setCursorShowMode(int32_t mode);
bool cmd_setCursorFile(std::u16string_view file);
bool cmd_getMousePosition(int32_t* x, int32_t* y);
// Confines the pointer to the main window while it is in the foreground
// (on), or frees it.
bool cmd_setCursorClip(bool on);
