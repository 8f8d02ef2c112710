// The one graphics device of the process: made from a table of device kinds
// (kind 1, the hardware device, is the OpenGL device), reached through
// GDevFactory::device, and the texture calls that need no device checks of
// their own. Main thread.
#pragma once

#include "gdev/gdev.h"

class GDevFactory {
 public:
  // Null until initialize succeeds.
  static GDev* device;

  // Makes the device of this kind (not yet initialised: init comes next).
  // -1 when a device exists ("already initialized!") or the kind is unknown
  // ("no device found(kind)"); else the creator's result, 0.
  static int initialize(int kind);
  // Terminates and deletes the device; the pointer becomes null.
  static void destroy();

  // *out := null, then the device's createTextureObject; false without a device.
  static bool createTexture(const GDevTextureCreateParams& params, GDevTexture** out);
  // The device's releaseTextureObject; false without a device.
  static bool releaseTexture(GDevTexture* texture);
};

// 100 when the device is the OpenGL device, else 0 (also without a device).
int getDeviceKind();
