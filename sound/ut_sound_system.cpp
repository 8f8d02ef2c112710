#include "sound/ut_sound_system.h"

UTSoundSystem& GetSoundSystem() {
  static UTSoundSystem system;
  return system;
}

UTSoundSystem::~UTSoundSystem() {
  if (device) device->stop(true);
}
