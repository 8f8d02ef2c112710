#include "scene/render_to_texture.h"

#include "gdev/gdev.h"
#include "gdev/gdev_factory.h"
#include "gdev/zep_texture.h"
#include "scene/gui_component.h"

bool RenderToTexture(GUIComponent* component, ZEPTextureRef* texture, bool capture, RGBAImageRef* captured,
                     int32_t paintArgument) {
  GDev* device = GDevFactory::device;
  if (!texture || !*texture || !device) return false;
  ZEPTexture* target = texture->get();
  target->ensureDeviceTexture();
  if (!target->deviceTexture()) return false;
  if (!device->impl_beginScene(target->deviceTexture())) return false;
  const int32_t width = target->width();
  const int32_t height = target->height();
  device->setViewport(0, 0, width, height);
  const float clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  device->clearRegion(GDEV_CLEAR_TARGET | GDEV_CLEAR_WHOLE, 0, 0, width, height, clear);
  device->setMatrixTexture_Ident();
  device->setBlendingContext(0, BLENDINGCONTEXT_BOTH);
  device->setMatrixProj_Ortho2D(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height));
  device->pushMatrix();
  if (component) component->paint(paintArgument);
  device->popMatrix();
  return device->impl_endScene(capture, captured);
}

