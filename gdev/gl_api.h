// The OpenGL 3.3 core entry points, declared by the system headers and
// linked directly (no loader). Only the OpenGL device includes this.
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
