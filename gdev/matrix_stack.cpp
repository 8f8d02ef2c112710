// Matrix arithmetic of the device: products, rotations and the 2D projection.
#include "gdev/matrix_stack.h"

#include <cmath>

Matrix4 MatrixIdentity() {
  Matrix4 m{};
  m[0] = m[5] = m[10] = m[15] = 1.0f;
  return m;
}

Matrix4 MatrixMultiply(const Matrix4& a, const Matrix4& b) {
  Matrix4 r{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[i * 4 + k] * b[k * 4 + j];
      r[i * 4 + j] = sum;
    }
  }
  return r;
}

Matrix4 MatrixRotation(float degrees, float x, float y, float z) {
  const float angle = degrees * static_cast<float>(3.14159265358979323846 / 180.0);
  const float len2 = x * x + y * y + z * z;
  if (len2 == 0.0f) return MatrixIdentity();
  if (std::fabs(len2 - 1.0f) > 5e-5f) {
    const float len = std::sqrt(len2);
    x /= len;
    y /= len;
    z /= len;
  }
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  const float t = 1.0f - c;
  Matrix4 r = MatrixIdentity();
  r[0] = t * x * x + c;
  r[1] = t * x * y - s * z;
  r[2] = t * x * z + s * y;
  r[4] = t * x * y + s * z;
  r[5] = t * y * y + c;
  r[6] = t * y * z - s * x;
  r[8] = t * x * z - s * y;
  r[9] = t * y * z + s * x;
  r[10] = t * z * z + c;
  return r;
}

Matrix4 MatrixOrtho2D(float left, float top, float right, float bottom) {
  const float nearZ = -1.0f;
  const float farZ = 1.0f;
  Matrix4 m = MatrixIdentity();
  m[0] = 2.0f / (right - left);
  m[5] = 2.0f / (top - bottom);
  m[10] = -1.0f / (farZ - nearZ);
  m[12] = -(right + left) / (right - left);
  m[13] = -(top + bottom) / (top - bottom);
  m[14] = 0.5f + ((nearZ + farZ) / 2.0f) / (farZ - nearZ);
  return m;
}

std::array<float, 4> MatrixTransformPoint(const Matrix4& m, float x, float y, float z) {
  std::array<float, 4> r{};
  for (int j = 0; j < 4; ++j) r[j] = x * m[j] + y * m[4 + j] + z * m[8 + j] + m[12 + j];
  return r;
}

bool MatrixStack::pop() {
  if (stack_.size() <= 1) return false;
  stack_.pop_back();
  return true;
}
