// 4 x 4 matrices as the engine computes them (16 floats, row-major, a point
// is a row vector multiplied on the left: v' = v x M, translation in elements
// 12 to 14) and the model-view stack the device keeps. Pure computation; the
// device owns the stack and uses it on the main thread.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

using Matrix4 = std::array<float, 16>;

Matrix4 MatrixIdentity();
// a x b.
Matrix4 MatrixMultiply(const Matrix4& a, const Matrix4& b);
// Rotation by degrees about the axis (normalised unless its squared length is
// within 5e-5 of 1); a zero axis gives the identity.
Matrix4 MatrixRotation(float degrees, float x, float y, float z);
// Orthographic projection of the rectangle left..right, top..bottom onto
// -1..1 (top maps to +1), depth -1..1 onto 0..1.
Matrix4 MatrixOrtho2D(float left, float top, float right, float bottom);
// (x, y, z, 1) x m.
std::array<float, 4> MatrixTransformPoint(const Matrix4& m, float x, float y, float z);

class MatrixStack {
 public:
  // One identity matrix.
  MatrixStack() : stack_(1, MatrixIdentity()) {}

  // Pushes a copy of the top.
  void push() { stack_.push_back(stack_.back()); }
  // Removes the top; the last matrix is never removed (false then).
  bool pop();
  Matrix4& top() { return stack_.back(); }
  const Matrix4& top() const { return stack_.back(); }
  size_t depth() const { return stack_.size(); }
  // Back to one identity matrix.
  void reset() { stack_.assign(1, MatrixIdentity()); }

 private:
  std::vector<Matrix4> stack_;
};
