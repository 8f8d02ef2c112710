/* The floor for tools/measure-startup.sh: the least a program that shows a picture through SDL2 and
 * OpenGL 3.3 does before its first picture. It starts SDL's video, opens a shown window with an
 * OpenGL 3.3 core context (8-bit RGB, double-buffered, as app_w asks), makes one texture of the
 * window's size in memory (a colour ramp, so the picture has many colours), draws it over the window
 * once and presents it; then it waits for the end (SIGTERM, a close) and exits at once.
 *
 * usage: floor [WIDTH HEIGHT]   (default 800 600)
 * Build: cc -O2 -o floor floor.c $(pkg-config --cflags --libs sdl2)
 * Every OpenGL function comes through SDL_GL_GetProcAddress: nothing but SDL2 is linked.
 */
#include <SDL.h>
#include <SDL_opengl.h>
#include <stdio.h>
#include <stdlib.h>

typedef GLuint(APIENTRY* CreateShaderFn)(GLenum);
typedef void(APIENTRY* ShaderSourceFn)(GLuint, GLsizei, const GLchar* const*, const GLint*);
typedef void(APIENTRY* ShaderFn)(GLuint);
typedef GLuint(APIENTRY* CreateProgramFn)(void);
typedef void(APIENTRY* AttachShaderFn)(GLuint, GLuint);
typedef void(APIENTRY* GenFn)(GLsizei, GLuint*);
typedef void(APIENTRY* BindFn)(GLenum, GLuint);
typedef void(APIENTRY* BindVertexArrayFn)(GLuint);
typedef void(APIENTRY* TexImage2DFn)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
typedef void(APIENTRY* TexParameteriFn)(GLenum, GLenum, GLint);
typedef void(APIENTRY* ViewportFn)(GLint, GLint, GLsizei, GLsizei);
typedef void(APIENTRY* DrawArraysFn)(GLenum, GLint, GLsizei);

static void* need(const char* name) {
  void* f = SDL_GL_GetProcAddress(name);
  if (!f) {
    fprintf(stderr, "floor: no %s\n", name);
    exit(1);
  }
  return f;
}

/* A full-window triangle pair from the vertex number alone: no vertex buffer. */
static const char* kVertex =
    "#version 330 core\n"
    "out vec2 uv;\n"
    "void main() {\n"
    "  vec2 p = vec2(float((gl_VertexID & 1) * 2 - 1), float((gl_VertexID >> 1) * 2 - 1));\n"
    "  uv = p * 0.5 + 0.5;\n"
    "  gl_Position = vec4(p, 0.0, 1.0);\n"
    "}\n";
static const char* kFragment =
    "#version 330 core\n"
    "in vec2 uv;\n"
    "uniform sampler2D picture;\n"
    "out vec4 colour;\n"
    "void main() { colour = texture(picture, vec2(uv.x, 1.0 - uv.y)); }\n";

int main(int argc, char** argv) {
  int width = argc > 2 ? atoi(argv[1]) : 800, height = argc > 2 ? atoi(argv[2]) : 600;
  if (width < 1 || height < 1) return 2;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("floor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : NULL;
  if (!context) {
    fprintf(stderr, "floor: %s\n", SDL_GetError());
    return 1;
  }

  unsigned char* pixels = malloc((size_t)width * (size_t)height * 4);
  if (!pixels) return 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* p = pixels + ((size_t)y * (size_t)width + (size_t)x) * 4;
      p[0] = (unsigned char)(x * 255 / width);
      p[1] = (unsigned char)(y * 255 / height);
      p[2] = (unsigned char)((x + y) & 255);
      p[3] = 255;
    }
  }

  CreateShaderFn createShader = (CreateShaderFn)need("glCreateShader");
  ShaderSourceFn shaderSource = (ShaderSourceFn)need("glShaderSource");
  ShaderFn compileShader = (ShaderFn)need("glCompileShader");
  CreateProgramFn createProgram = (CreateProgramFn)need("glCreateProgram");
  AttachShaderFn attachShader = (AttachShaderFn)need("glAttachShader");
  ShaderFn linkProgram = (ShaderFn)need("glLinkProgram");
  ShaderFn useProgram = (ShaderFn)need("glUseProgram");
  GenFn genTextures = (GenFn)need("glGenTextures");
  BindFn bindTexture = (BindFn)need("glBindTexture");
  GenFn genVertexArrays = (GenFn)need("glGenVertexArrays");
  BindVertexArrayFn bindVertexArray = (BindVertexArrayFn)need("glBindVertexArray");
  TexImage2DFn texImage2D = (TexImage2DFn)need("glTexImage2D");
  TexParameteriFn texParameteri = (TexParameteriFn)need("glTexParameteri");
  ViewportFn viewport = (ViewportFn)need("glViewport");
  DrawArraysFn drawArrays = (DrawArraysFn)need("glDrawArrays");

  GLuint vs = createShader(GL_VERTEX_SHADER), fs = createShader(GL_FRAGMENT_SHADER), program = createProgram();
  shaderSource(vs, 1, &kVertex, NULL);
  shaderSource(fs, 1, &kFragment, NULL);
  compileShader(vs);
  compileShader(fs);
  attachShader(program, vs);
  attachShader(program, fs);
  linkProgram(program);
  useProgram(program);
  GLuint texture = 0, vao = 0;
  genTextures(1, &texture);
  bindTexture(GL_TEXTURE_2D, texture);
  texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  texImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  free(pixels);
  genVertexArrays(1, &vao);
  bindVertexArray(vao);
  viewport(0, 0, width, height);
  drawArrays(GL_TRIANGLE_STRIP, 0, 4);
  SDL_GL_SwapWindow(window);

  /* SDL turns SIGTERM and SIGINT into a quit event. */
  SDL_Event event;
  while (SDL_WaitEvent(&event)) {
    if (event.type == SDL_QUIT) break;
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
