// The GLSL 330 programs of the OpenGL device: one shared vertex stage and one
// fragment stage per way of combining textures and vertex colours, each
// program linked on its first use, and the vertex and uniform-block layouts
// they read. Main thread, context current.
#pragma once

#include <cstddef>
#include <string>

#include "gdev/gl_api.h"

enum class GLProgram : int {
  Color,          // vertex colour
  Texture,        // texture 0
  TextureColor,   // texture 0 x vertex colour
  Texture2,       // texture 0 x texture 1
  Texture2Color,  // texture 0 x vertex colour x texture 1
  CrossFade,      // mix(texture 0, texture 1, uFactor)
  RuleFade,       // mix(texture 0, texture 2, alpha of texture 1)
  WithAlpha,      // colour of texture 0, alpha of texture 1
  Count,
};

// One vertex of every drawing operation (attribute locations 0 to 4).
struct GLVertex {
  float x, y, z;
  float r, g, b, a;
  float u0, v0, u1, v1, u2, v2;
};

// The uniform block "Transforms" (std140, binding point 0): the arrays go in
// untransposed, so the shaders' P * (W * v) is the engine's v x W x P; the
// target's y sign flips offscreen targets so they are stored top row first.
struct GLTransformBlock {
  float world[16];
  float projection[16];
  float target[4];  // x: y sign (-1 offscreen, +1 window)
};
constexpr GLuint kTransformBinding = 0;

// The sources of the shared vertex stage and of one program's fragment
// stage, as they are compiled (for a driver warm-up without the device).
const char* GLVertexStageSource();
std::string GLFragmentStageSource(GLProgram which);

class GLPrograms {
 public:
  GLPrograms() = default;
  GLPrograms(const GLPrograms&) = delete;
  GLPrograms& operator=(const GLPrograms&) = delete;

  // Compiles the shared vertex stage and links `first`, proving that this
  // context builds programs; false with the compiler's log in *error. The
  // other programs are linked on their first use.
  bool init(GLProgram first, std::string* error);
  void release();

  // The program, linked now when this is its first use; 0 when it cannot be
  // built (the first failure fills *error, later calls answer 0 at once).
  GLuint get(GLProgram which, std::string* error);
  // The cross fade's factor uniform (-1 until that program is built).
  GLint factorLocation() const { return factorLocation_; }
  // Programs linked so far.
  int builtCount() const;

 private:
  bool link(GLProgram which, std::string* error);

  GLuint vertex_ = 0;  // the shared vertex stage, kept for later links
  GLuint programs_[static_cast<int>(GLProgram::Count)] = {};
  bool failed_[static_cast<int>(GLProgram::Count)] = {};
  GLint factorLocation_ = -1;
};
