// A graphics device for the scene tests: it draws nothing and writes the
// calls painting makes (matrix pushes and pops, translations, fills,
// textured quads) into a log of short lines. A test may set a screen clip,
// which it compares rectangles with as moved by the translations.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/gdev/null_device.h"

class RecordingDevice : public NullDevice {
 public:
  std::vector<std::string> calls;
  bool clipped = false;
  GDevRectF clip{0, 0, 0, 0};

  void pushMatrix() override {
    calls.push_back("push");
    offsets_.push_back(offsets_.back());
  }
  void popMatrix() override {
    calls.push_back("pop");
    if (offsets_.size() > 1) offsets_.pop_back();
  }
  void translate(float x, float y, float z) override {
    calls.push_back("translate " + Num(x) + "," + Num(y) + "," + Num(z));
    offsets_.back()[0] += x;
    offsets_.back()[1] += y;
  }
  bool outsideScreenClip(const GDevRectF& r) const override {
    const float x = offsets_.back()[0], y = offsets_.back()[1];
    return clipped && (r.x1 + x <= clip.x0 || r.x0 + x >= clip.x1 || r.y1 + y <= clip.y0 || r.y0 + y >= clip.y1);
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
  std::vector<std::array<float, 2>> offsets_{{0, 0}};

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
