// A graphics device for the scene tests: it draws nothing and writes the
// calls painting makes (matrix pushes and pops, translations, fills,
// textured quads) into a log of short lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tests/gdev/null_device.h"

class RecordingDevice : public NullDevice {
 public:
  std::vector<std::string> calls;

  void pushMatrix() override { calls.push_back("push"); }
  void popMatrix() override { calls.push_back("pop"); }
  void translate(float x, float y, float z) override {
    calls.push_back("translate " + Num(x) + "," + Num(y) + "," + Num(z));
  }
  void fillRect(const GDevRect& r, const float* c, int32_t blend, int32_t) override {
    calls.push_back("fill " + Rect(r.x0, r.y0, r.x1, r.y1) + " rgba " + Num(c[0]) + "," + Num(c[1]) + "," +
                    Num(c[2]) + "," + Num(c[3]) + " blend " + std::to_string(blend));
  }
  void drawTextureQuad(const GDevRectF& r, const GDevUV& uv, GDevTexture*, int32_t blend, int32_t,
                       int32_t) override {
    calls.push_back("quad " + Rect(r.x0, r.y0, r.x1, r.y1) + " uv " + Rect(uv.u0, uv.v0, uv.u1, uv.v1) + " blend " +
                    std::to_string(blend));
  }

 private:
  static std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }
  template <class T>
  static std::string Rect(T a, T b, T c, T d) {
    return Num(a) + "," + Num(b) + "," + Num(c) + "," + Num(d);
  }
};
