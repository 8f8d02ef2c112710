// The OpenGL device's model-view stack, projection and texture transform:
// the top of the stack reaches the shaders only when a drawing operation
// needs it and it changed since it was last sent.
#include <algorithm>

#include "app/log.h"
#include "gdev/gdev_gl.h"

namespace {

Matrix4 toMatrix(const float m[16]) {
  Matrix4 r;
  std::copy(m, m + 16, r.begin());
  return r;
}

}  // namespace

void GDevGL::pushMatrix() { stack_.push(); }

void GDevGL::popMatrix() {
  matrixChanged();
  if (!stack_.pop()) errorOnce(kErrorPopMatrix, u"GDevGL::popMatrix() : pop without a push; the last matrix stays\n");
}

void GDevGL::rotate(float degrees, float x, float y, float z) {
  stack_.top() = MatrixMultiply(MatrixRotation(degrees, x, y, z), stack_.top());
  matrixChanged();
}

void GDevGL::translate(float x, float y, float z) {
  Matrix4& top = stack_.top();
  top[12] += x;
  top[13] += y;
  top[14] += z;
  matrixChanged();
}

void GDevGL::translateV(const float v[3]) { translate(v[0], v[1], v[2]); }

void GDevGL::multMatrix(const float m[16]) {
  stack_.top() = MatrixMultiply(toMatrix(m), stack_.top());
  matrixChanged();
}

void GDevGL::loadIdentity() {
  stack_.top() = MatrixIdentity();
  matrixChanged();
}

void GDevGL::setMatrix(const float m[16]) {
  stack_.top() = toMatrix(m);
  matrixChanged();
}

void GDevGL::setMatrix(int32_t kind, const float m[16]) {
  switch (kind) {
    case GDEV_MATRIX_MODELVIEW: setMatrix(m); break;
    case GDEV_MATRIX_PROJECTION:
      projection_ = toMatrix(m);
      sendProjection();
      break;
    case GDEV_MATRIX_TEXTURE: textureMatrix_ = toMatrix(m); break;
    default: break;
  }
}

void GDevGL::getMatrix(float m[16]) { std::copy(stack_.top().begin(), stack_.top().end(), m); }

void GDevGL::getMatrix(int32_t kind, float m[16]) {
  switch (kind) {
    case GDEV_MATRIX_MODELVIEW: getMatrix(m); break;
    case GDEV_MATRIX_PROJECTION: std::copy(projection_.begin(), projection_.end(), m); break;
    case GDEV_MATRIX_TEXTURE: std::copy(textureMatrix_.begin(), textureMatrix_.end(), m); break;
    default: break;
  }
}

void GDevGL::commitMatrix() {
  if (!committed_) {
    std::copy(stack_.top().begin(), stack_.top().end(), transforms_.world);
    transformsDirty_ = true;
    if (transformBuffer_) ++worldSends_;
    committed_ = true;
  }
  uploadTransforms();
}

void GDevGL::uploadTransforms() {
  if (!transformsDirty_ || !transformBuffer_) return;
  // New storage for each change (orphaning): a write into storage that
  // queued draws still read would wait for them to finish.
  glBufferData(GL_UNIFORM_BUFFER, sizeof transforms_, &transforms_, GL_STREAM_DRAW);
  transformsDirty_ = false;
}

void GDevGL::sendProjection() {
  std::copy(projection_.begin(), projection_.end(), transforms_.projection);
  transformsDirty_ = true;
}

void GDevGL::setMatrixProj_Ortho2D(float left, float top, float right, float bottom) {
  projection_ = MatrixOrtho2D(left, top, right, bottom);
  sendProjection();
}

// Nothing in the engine uses a perspective or look-at transform: both leave
// an identity where they write.
void GDevGL::setMatrixProj_PerspectiveFov(float, float, float, float, float) {
  projection_ = MatrixIdentity();
  sendProjection();
}

void GDevGL::setMatrixLookAt(const float*, const float*, const float*) {
  stack_.top() = MatrixIdentity();
  matrixChanged();
}

void GDevGL::setMatrixTexture_Ident() { textureMatrix_ = MatrixIdentity(); }
