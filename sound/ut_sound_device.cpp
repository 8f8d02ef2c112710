// The volume conversion every channel applies, the DirectSound error names
// that failed buffer calls log, and the null device.
#include "sound/ut_sound_device.h"

#include <cmath>

#include "sound/sound_buffer.h"
#include "sound/sound_log.h"
#include "sound/ut_sound_device_null.h"

int32_t LinearToAttenuation(int32_t linear) {
  if (linear < 1) return -10000;
  if (linear >= 10000) return 0;
  const double v = static_cast<double>(linear);
  const auto db = static_cast<int32_t>(1250.0 * std::log10(v * v / 1e8));
  return db < -10000 ? -10000 : db > 0 ? 0 : db;
}

void LogBufferError(int32_t result) {
  const char16_t* name = u"DSERR_UNKNOWN";
  switch (result) {
    case kBufferInvalidParam: name = u"DSERR_INVALIDPARAM"; break;
    case kBufferInvalidCall: name = u"DSERR_INVALIDCALL "; break;
    case kBufferBadFormat: name = u"DSERR_BADFORMAT "; break;
    case kBufferOutOfMemory: name = u"DSERR_OUTOFMEMORY "; break;
    default: break;
  }
  UTLog(kUTProgress, u"%s\n", name);
}

int32_t UTSoundDeviceNull::stop(bool full) { return full ? 0 : -2; }
