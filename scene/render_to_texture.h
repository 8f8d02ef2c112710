// Drawing a component into a texture instead of the screen: what the
// flattening and the offscreen groups of the script layers, and tests, use.
// Main thread, outside the frame's own device scene.
#pragma once

#include <cstdint>

class GUIComponent;
class RGBAImageRef;
class ZEPTextureRef;

// Paints the component into the texture (cleared to transparent black, 2-D
// projection of the texture's size) and ends the device scene with
// (capture, captured). False without a texture or a device, or when the
// texture cannot get its device texture.
bool RenderToTexture(GUIComponent* component, ZEPTextureRef* texture, bool capture, RGBAImageRef* captured,
                     int32_t paintArgument);

