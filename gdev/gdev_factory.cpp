// The device-kind table and the process-wide device pointer.
#include "gdev/gdev_factory.h"

#include "app/log.h"
#include "gdev/gdev_gl.h"

GDev* GDevFactory::device = nullptr;

namespace {

struct DeviceKind {
  int kind;
  int (*create)(GDev** out);
};

const DeviceKind kDeviceKinds[] = {
    {1, &GDevGL::create},
    {-1, nullptr},
};

}  // namespace

int GDevFactory::initialize(int kind) {
  if (device) {
    LogWrite(LOG_TRACE, u"GDevFactory::initialize : already initialized!\n");
    return -1;
  }
  for (const DeviceKind* entry = kDeviceKinds; entry->kind != -1; ++entry) {
    if (entry->kind == kind) return entry->create(&device);
  }
  LogWrite(LOG_ERROR, u"GDevFactory::initialize : no device found(%d)\n", kind);
  return -1;
}

void GDevFactory::destroy() {
  if (!device) return;
  device->term();
  delete device;
  device = nullptr;
}

bool GDevFactory::createTexture(const GDevTextureCreateParams& params, GDevTexture** out) {
  *out = nullptr;
  if (!device) return false;
  return device->createTextureObject(params, out);
}

bool GDevFactory::releaseTexture(GDevTexture* texture) {
  if (!device) return false;
  return device->releaseTextureObject(texture);
}

int getDeviceKind() { return dynamic_cast<GDevGL*>(GDevFactory::device) ? 100 : 0; }
