// The OpenGL device's drawing operations and transitions: each sets its own
// blending and textures, sends the model-view top when it changed and draws
// a few vertices. Main thread, between impl_beginScene and impl_endScene.
#include <string>

#include "app/format.h"
#include "app/log.h"
#include "gdev/gdev_gl.h"
#include "platform/utf8.h"

namespace {

// Single-colour operations draw nothing below alpha 1/255.
bool invisible(const float color[4]) { return !(color[3] >= 0.003921569f); }

bool sameColor(const float a[4], const float b[4]) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

GLVertex vertex(float x, float y, const float* color) {
  GLVertex v{};
  v.x = x;
  v.y = y;
  if (color) {
    v.r = TruncToByte(color[0]);
    v.g = TruncToByte(color[1]);
    v.b = TruncToByte(color[2]);
    v.a = TruncToByte(color[3]);
  } else {
    v.r = v.g = v.b = v.a = 1.0f;
  }
  return v;
}

GDevRectF toFloat(const GDevRect& r) {
  return {static_cast<float>(r.x0), static_cast<float>(r.y0), static_cast<float>(r.x1), static_cast<float>(r.y1)};
}

struct Factors {
  GLenum source;
  GLenum dest;
};

Factors colorFactors(int32_t mode, int32_t premultiplied) {
  switch (mode) {
    case GDEV_BLEND_COPY: return {GL_ONE, GL_ZERO};
    case GDEV_BLEND_ADD: return {GL_SRC_ALPHA, GL_ONE};
    case GDEV_BLEND_MULTIPLY: return {GL_DST_COLOR, GL_ZERO};
    default: return premultiplied ? Factors{GL_ONE, GL_ONE_MINUS_SRC_ALPHA} : Factors{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
  }
}

Factors alphaFactors(int32_t mode) {
  switch (mode) {
    case GDEV_BLEND_COPY: return {GL_ONE, GL_ZERO};
    case GDEV_BLEND_ADD: return {GL_ONE, GL_ONE};
    case GDEV_BLEND_MULTIPLY: return {GL_DST_ALPHA, GL_ZERO};
    default: return {GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
  }
}

// Normal blending of an opaque source writes the source as it is: the same
// as a copy, without the blend stage.
bool NormalOverOpaque(int32_t blend, int32_t alphaBlend, bool opaqueSource) {
  return opaqueSource && blend == GDEV_BLEND_NORMAL && (alphaBlend == 0 || alphaBlend == GDEV_BLEND_NORMAL);
}

// A texture whose every sample has alpha 1, untinted or tinted opaquely.
bool OpaqueNormalDraw(GDevTexture* texture, int32_t blend, int32_t alphaBlend, const float* color) {
  const auto* t = static_cast<const GDevGLTexture*>(texture);
  return NormalOverOpaque(blend, alphaBlend, t && t->samplesOpaque() && (!color || color[3] >= 1.0f));
}

}  // namespace

void GDevGL::setupBlend(int32_t blend, int32_t alphaBlend, int32_t premultiplied) {
  const Factors color = colorFactors(blend, premultiplied);
  const Factors alpha = alphaFactors(alphaBlend != 0 ? alphaBlend : blend);
  // A copy writes the source as it is: the blend stage has nothing to do.
  const bool copy = color.source == GL_ONE && color.dest == GL_ZERO && alpha.source == GL_ONE && alpha.dest == GL_ZERO;
  if (blendEnabled_ && copy) {
    glDisable(GL_BLEND);
    return;
  }
  if (blendEnabled_) glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  switch (channelMode_) {
    case BLENDINGCONTEXT_BOTH: glBlendFuncSeparate(color.source, color.dest, alpha.source, alpha.dest); break;
    case BLENDINGCONTEXT_COLORONLY: glBlendFunc(color.source, color.dest); break;
    default: glBlendFunc(alpha.source, alpha.dest); break;  // only alpha is written
  }
}

void GDevGL::bindTexture(GDevTexture* texture, int unit, Address address) {
  glActiveTexture(GL_TEXTURE0 + unit);
  auto* t = static_cast<GDevGLTexture*>(texture);
  if (t && !t->texture_) {
    LogWrite(LOG_TRACE, u"GDevGL::bindTexture() : texture object is not created!\n");
    t = nullptr;
  }
  if (t) t->uploadIfChanged();
  glBindTexture(GL_TEXTURE_2D, t ? t->texture_ : 0);
  glBindSampler(unit, sampler(unit, address));
}

bool GDevGL::useProgram(GLProgram program) {
  std::string why;
  const GLuint id = programs_.get(program, &why);
  if (!id) {
    // Each program that cannot be built is reported once; its draws are skipped.
    errorOnce(kErrorProgram + static_cast<unsigned>(program),
              Format(u"GDevGL::useProgram() : シェーダ(GLSL 3.30)を作成できません(%d: %s)\n",
                     static_cast<int32_t>(program), platform::FromUtf8(why)));
    return false;
  }
  glUseProgram(id);
  return true;
}

bool GDevGL::outsideScreenClip(const GLVertex* vertices, int count) const {
  if (!screenClipped_ || !screenFramebuffer_ || target_.framebuffer != screenFramebuffer_ || count < 1) return false;
  // As the vertex shader does: v x world x projection, y by the target's
  // sign, then the viewport.
  const Matrix4& world = stack_.top();
  const GDevArea view = toGL(clipped_);
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (int i = 0; i < count; ++i) {
    const float v[4] = {vertices[i].x, vertices[i].y, vertices[i].z, 1.0f};
    float w[4], p[4];
    for (int j = 0; j < 4; ++j) w[j] = v[0] * world[j] + v[1] * world[4 + j] + v[2] * world[8 + j] + v[3] * world[12 + j];
    for (int j = 0; j < 4; ++j) {
      p[j] = w[0] * projection_[j] + w[1] * projection_[4 + j] + w[2] * projection_[8 + j] + w[3] * projection_[12 + j];
    }
    if (!(p[3] > 0.0f)) return false;  // behind the eye: not worth working out
    const float x = static_cast<float>(view.x) + (p[0] / p[3] + 1.0f) * 0.5f * static_cast<float>(view.width);
    const float y =
        static_cast<float>(view.y) + (p[1] / p[3] * transforms_.target[0] + 1.0f) * 0.5f * static_cast<float>(view.height);
    if (i == 0 || x < x0) x0 = x;
    if (i == 0 || x > x1) x1 = x;
    if (i == 0 || y < y0) y0 = y;
    if (i == 0 || y > y1) y1 = y;
  }
  // A pixel of slack for wide points and lines and for rounding.
  const GDevArea clip = toGL(screenClip_);
  return x1 < static_cast<float>(clip.x) - 1.0f || x0 > static_cast<float>(clip.x + clip.width) + 1.0f ||
         y1 < static_cast<float>(clip.y) - 1.0f || y0 > static_cast<float>(clip.y + clip.height) + 1.0f;
}

bool GDevGL::outsideScreenClip(const GDevRectF& rect) const {
  const GLVertex corners[4] = {vertex(rect.x0, rect.y0, nullptr), vertex(rect.x1, rect.y0, nullptr),
                               vertex(rect.x0, rect.y1, nullptr), vertex(rect.x1, rect.y1, nullptr)};
  return outsideScreenClip(corners, 4);
}

void GDevGL::draw(GLProgram program, GLenum mode, const GLVertex* vertices, int count) {
  if (!context_) return;
  // A draw the clip keeps nothing of costs the renderer all the same: left out.
  if (outsideScreenClip(vertices, count)) return;
  if (!useProgram(program)) return;
  commitMatrix();
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(GLVertex) * count), vertices, GL_STREAM_DRAW);
  glDrawArrays(mode, 0, count);
  ++drawCalls_;
}

void GDevGL::drawQuad(GLProgram program, const GDevRectF& rect, const float color[4], const GDevUV* uvs,
                      int uvCount) {
  GLVertex v[4] = {vertex(rect.x0, rect.y0, color), vertex(rect.x1, rect.y0, color), vertex(rect.x0, rect.y1, color),
                   vertex(rect.x1, rect.y1, color)};
  for (int set = 0; set < uvCount && set < 3; ++set) {
    const GDevUV& uv = uvs[set];
    const float us[4] = {uv.u0, uv.u1, uv.u0, uv.u1};
    const float vs[4] = {uv.v0, uv.v0, uv.v1, uv.v1};
    for (int i = 0; i < 4; ++i) {
      float* pair = set == 0 ? &v[i].u0 : set == 1 ? &v[i].u1 : &v[i].u2;
      pair[0] = us[i];
      pair[1] = vs[i];
    }
  }
  draw(program, GL_TRIANGLE_STRIP, v, 4);
}

// Points and lines go through pixel centres, so they light the pixels their
// integer coordinates name; triangles cover [x0, x1) x [y0, y1).

void GDevGL::drawPoint(int32_t x, int32_t y, const float color[4], int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (invisible(color)) return;
  setupBlend(blend, alphaBlend, 0);
  const GLVertex v = vertex(x + 0.5f, y + 0.5f, color);
  draw(GLProgram::Color, GL_POINTS, &v, 1);
}

void GDevGL::drawLine(const GDevRect& line, const float color[4], int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (invisible(color)) return;
  setupBlend(blend, alphaBlend, 0);
  const GLVertex v[2] = {vertex(line.x0 + 0.5f, line.y0 + 0.5f, color), vertex(line.x1 + 0.5f, line.y1 + 0.5f, color)};
  draw(GLProgram::Color, GL_LINES, v, 2);
}

namespace {

// The outline sits one pixel to the right of the rectangle's corners.
void outline(GLVertex v[5], const GDevRect& r, const float* c0, const float* c1, const float* c2, const float* c3) {
  const float x0 = r.x0 + 1.5f, x1 = r.x1 + 1.5f, y0 = r.y0 + 0.5f, y1 = r.y1 + 0.5f;
  v[0] = vertex(x0, y0, c0);
  v[1] = vertex(x1, y0, c1);
  v[2] = vertex(x1, y1, c2);
  v[3] = vertex(x0, y1, c3);
  v[4] = vertex(x0, y0, c0);
}

}  // namespace

void GDevGL::drawRect(const GDevRect& rect, const float color[4], int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (invisible(color)) return;
  setupBlend(blend, alphaBlend, 0);
  GLVertex v[5];
  outline(v, rect, color, color, color, color);
  draw(GLProgram::Color, GL_LINE_STRIP, v, 5);
}

void GDevGL::fillRect(const GDevRect& rect, const float color[4], int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (invisible(color)) return;
  if (NormalOverOpaque(blend, alphaBlend, color[3] >= 1.0f)) {
    setupBlend(GDEV_BLEND_COPY, 0, 0);
  } else {
    setupBlend(blend, alphaBlend, 0);
  }
  drawQuad(GLProgram::Color, toFloat(rect), color, nullptr, 0);
}

void GDevGL::drawRectGradient(const GDevRect& rect, const float c0[4], const float c1[4], const float c2[4],
                              const float c3[4], int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (sameColor(c0, c1) && sameColor(c0, c2) && sameColor(c0, c3)) {
    drawRect(rect, c0, blend, alphaBlend);
    return;
  }
  setupBlend(blend, alphaBlend, 0);
  // Corners top left, top right, bottom right, bottom left.
  GLVertex v[5];
  outline(v, rect, c0, c1, c2, c3);
  draw(GLProgram::Color, GL_LINE_STRIP, v, 5);
}

void GDevGL::fillRectGradient(const GDevRect& rect, const float c0[4], const float c1[4], const float c2[4],
                              const float c3[4], int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (sameColor(c0, c1) && sameColor(c0, c2) && sameColor(c0, c3)) {
    fillRect(rect, c0, blend, alphaBlend);
    return;
  }
  setupBlend(blend, alphaBlend, 0);
  const GDevRectF r = toFloat(rect);
  const GLVertex v[4] = {vertex(r.x0, r.y0, c0), vertex(r.x1, r.y0, c1), vertex(r.x0, r.y1, c2),
                         vertex(r.x1, r.y1, c3)};
  draw(GLProgram::Color, GL_TRIANGLE_STRIP, v, 4);
}

void GDevGL::drawTextureQuad(const GDevRectF& rect, const GDevUV& uv, GDevTexture* texture, int32_t blend,
                             int32_t alphaBlend, int32_t premultiplied) {
  if (!context_) return;
  if (OpaqueNormalDraw(texture, blend, alphaBlend, nullptr)) {
    setupBlend(GDEV_BLEND_COPY, 0, 0);
  } else {
    setupBlend(blend, alphaBlend, premultiplied);
  }
  bindTexture(texture, 0, kClampEdge);
  drawQuad(GLProgram::Texture, rect, nullptr, &uv, 1);
}

void GDevGL::drawTextureColored(const GDevRect& rect, const GDevUV& uv, const float color[4], GDevTexture* texture,
                                int32_t blend, int32_t alphaBlend, int32_t premultiplied) {
  if (!context_) return;
  if (invisible(color)) return;
  if (OpaqueNormalDraw(texture, blend, alphaBlend, color)) {
    setupBlend(GDEV_BLEND_COPY, 0, 0);
  } else {
    setupBlend(blend, alphaBlend, premultiplied);
  }
  bindTexture(texture, 0, kClampEdge);
  drawQuad(GLProgram::TextureColor, toFloat(rect), color, &uv, 1);
}

void GDevGL::drawTexture2(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, GDevTexture* first,
                          GDevTexture* second, int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  setupBlend(blend, alphaBlend, 0);
  bindTexture(first, 0, kClampEdge);
  bindTexture(second, 1, kClampEdge);
  const GDevUV uvs[2] = {uv1, uv2};
  drawQuad(GLProgram::Texture2, toFloat(rect), nullptr, uvs, 2);
}

void GDevGL::drawTexture2Colored(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, GDevTexture* first,
                                 GDevTexture* second, const float color[4], int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (invisible(color)) return;
  setupBlend(blend, alphaBlend, 0);
  // Outside its texture the first picture is transparent black.
  bindTexture(first, 0, kClampBorder);
  bindTexture(second, 1, kClampEdge);
  const GDevUV uvs[2] = {uv1, uv2};
  drawQuad(GLProgram::Texture2Color, toFloat(rect), color, uvs, 2);
}

void GDevGL::crossFade(const GDevRect& rect1, const GDevUV& uv1, const GDevRect& rect2, const GDevUV& uv2,
                       GDevTexture* first, GDevTexture* second, float progress, int32_t blend, int32_t alphaBlend) {
  if (!(rect1 == rect2)) {
    LogWrite(LOG_ERROR, u"クロスフェードは同じ矩形にしかまだかけられません\n");
    return;
  }
  if (!context_) return;
  // Progress outside 0..1 (a timer overshooting its end) holds at the ends.
  if (!(progress > 0.0f)) progress = 0.0f;
  if (progress > 1.0f) progress = 1.0f;
  setupBlend(blend, alphaBlend, 1);
  bindTexture(first, 0, kClampEdge);
  bindTexture(second, 1, kClampEdge);
  if (!useProgram(GLProgram::CrossFade)) return;
  glUniform1f(programs_.factorLocation(), TruncToByte(progress));
  const GDevUV uvs[2] = {uv1, uv2};
  drawQuad(GLProgram::CrossFade, toFloat(rect1), nullptr, uvs, 2);
}

void GDevGL::ruleFade(const GDevRect& fromRect, const GDevUV& fromUV, const GDevRect& toRect, const GDevUV& toUV,
                      const GDevRect& ruleRect, const GDevUV& ruleUV, GDevTexture* from, GDevTexture* to,
                      GDevTexture* rule, int32_t blend, int32_t alphaBlend) {
  if (!context_) return;
  if (!(fromRect == toRect) || !(fromRect == ruleRect)) {
    LogWrite(LOG_ERROR, u"ルールフェードは同じ矩形にしかまだかけられません\n");
    return;
  }
  setupBlend(blend, alphaBlend, 1);
  bindTexture(from, 0, kClampEdge);
  bindTexture(rule, 1, kClampEdge);
  bindTexture(to, 2, kClampEdge);
  const GDevUV uvs[3] = {fromUV, ruleUV, toUV};
  drawQuad(GLProgram::RuleFade, toFloat(fromRect), nullptr, uvs, 3);
}

void GDevGL::drawTextureWithAlpha(const GDevRect& rect, const GDevUV& uv, GDevTexture* color, GDevTexture* alpha) {
  if (!context_) return;
  setupBlend(GDEV_BLEND_COPY, 0, 0);
  bindTexture(color, 0, kClampEdge);
  bindTexture(alpha, 1, kClampEdge);
  drawQuad(GLProgram::WithAlpha, toFloat(rect), nullptr, &uv, 1);
}
