// Test devices: a texture that only knows its size, and a device whose
// every operation does nothing, for fakes to override the few calls a test
// records. No OpenGL context is needed.
#pragma once

#include <string>
#include <vector>

#include "gdev/gdev.h"

class SizedTexture : public GDevTexture {
 public:
  SizedTexture(int32_t w, int32_t h) : width(w), height(h) {}
  void upload(const RGBAImageRef&) override {}
  void getSize(int32_t* w, int32_t* h) const override { *w = width, *h = height; }
  void setKeepMode(int32_t) override {}
  void detach() override {}
  int32_t width;
  int32_t height;
};

// Makes sized textures; draws nothing.
class NullDevice : public GDev {
 public:
  bool createTextureObject(const GDevTextureCreateParams& p, GDevTexture** out) override {
    *out = new SizedTexture(p.width, p.height);
    return true;
  }
  bool releaseTextureObject(GDevTexture* t) override {
    delete t;
    return true;
  }
  void pushMatrix() override {}
  void popMatrix() override {}
  void translate(float, float, float) override {}
  void fillRect(const GDevRect&, const float*, int32_t, int32_t) override {}
  void drawTextureQuad(const GDevRectF&, const GDevUV&, GDevTexture*, int32_t, int32_t, int32_t) override {}
  int init(const GDevInitParams&) override { return 0; }
  bool validateScreen() override { return true; }
  void term() override {}
  void impl_swapBuffers(const GDevArea&, const GDevArea&) override {}
  std::u16string formatStatus(std::u16string_view) override { return {}; }
  bool setWindowSize(int32_t, int32_t, int32_t, int32_t) override { return true; }
  bool setViewport(int32_t, int32_t, int32_t, int32_t) override { return true; }
  bool impl_beginScene(GDevTexture*) override { return true; }
  bool impl_endScene(bool, RGBAImageRef*) override { return true; }
  void setDialogBoxMode(bool) override {}
  void refreshWindow() override {}
  int clearRegion(uint32_t, int32_t, int32_t, int32_t, int32_t, const float*) override { return 0; }
  int setBlendingContext(int32_t, int32_t) override { return 0; }
  void setCulling(bool) override {}
  void rotate(float, float, float, float) override {}
  void translateV(const float*) override {}
  void multMatrix(const float*) override {}
  void loadIdentity() override {}
  void setMatrix(int32_t, const float*) override {}
  void setMatrix(const float*) override {}
  void getMatrix(int32_t, float*) override {}
  void getMatrix(float*) override {}
  void commitMatrix() override {}
  void setMatrixProj_Ortho2D(float, float, float, float) override {}
  void setMatrixProj_PerspectiveFov(float, float, float, float, float) override {}
  void setMatrixLookAt(const float*, const float*, const float*) override {}
  void setMatrixTexture_Ident() override {}
  void setFilter2D(int32_t, bool) override {}
  void setFilter3D(int32_t, bool) override {}
  void setFilterLevel(int32_t, bool) override {}
  void drawPoint(int32_t, int32_t, const float*, int32_t, int32_t) override {}
  void drawLine(const GDevRect&, const float*, int32_t, int32_t) override {}
  void drawRect(const GDevRect&, const float*, int32_t, int32_t) override {}
  void drawRectGradient(const GDevRect&, const float*, const float*, const float*, const float*, int32_t,
                        int32_t) override {}
  void fillRectGradient(const GDevRect&, const float*, const float*, const float*, const float*, int32_t,
                        int32_t) override {}
  void drawTextureColored(const GDevRect&, const GDevUV&, const float*, GDevTexture*, int32_t, int32_t,
                          int32_t) override {}
  void drawTexture2(const GDevRect&, const GDevUV&, const GDevUV&, GDevTexture*, GDevTexture*, int32_t,
                    int32_t) override {}
  void drawTexture2Colored(const GDevRect&, const GDevUV&, const GDevUV&, GDevTexture*, GDevTexture*,
                           const float*, int32_t, int32_t) override {}
  void crossFade(const GDevRect&, const GDevUV&, const GDevRect&, const GDevUV&, GDevTexture*, GDevTexture*, float,
                 int32_t, int32_t) override {}
  void ruleFade(const GDevRect&, const GDevUV&, const GDevRect&, const GDevUV&, const GDevRect&, const GDevUV&,
                GDevTexture*, GDevTexture*, GDevTexture*, int32_t, int32_t) override {}
  void drawTextureWithAlpha(const GDevRect&, const GDevUV&, GDevTexture*, GDevTexture*) override {}
  void releaseCachedResources() override {}
};
