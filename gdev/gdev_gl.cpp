// The OpenGL device's start-up and capability check, screen buffer, reset
// path, frames, present, viewport, clearing, blending contexts, filters and
// shutdown. Drawing, matrices and textures live in the gdev_gl_* files.
#include "gdev/gdev_gl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/log.h"
#include "platform/gl_window.h"
#include "platform/utf8.h"

namespace {

constexpr char16_t kCapabilityPrefix[] =
    u"グラフィックスデバイスの能力が不足しているため、初期化に失敗しました。\n\n";

bool hasExtension(const char* name) {
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const char* ext = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
    if (ext && std::strcmp(ext, name) == 0) return true;
  }
  return false;
}

bool IsEmpty(const GDevArea& a) { return a.width <= 0 || a.height <= 0; }

// The smallest area holding both.
GDevArea Join(const GDevArea& a, const GDevArea& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  const int64_t x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const int64_t x1 = std::max(int64_t{a.x} + a.width, int64_t{b.x} + b.width);
  const int64_t y1 = std::max(int64_t{a.y} + a.height, int64_t{b.y} + b.height);
  return {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
          static_cast<int32_t>(y1 - y0)};
}

// The part of a inside (0, 0, width, height); empty when none.
GDevArea ClipTo(const GDevArea& a, int32_t width, int32_t height) {
  const int64_t x0 = std::max<int64_t>(a.x, 0), y0 = std::max<int64_t>(a.y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{a.x} + a.width, width);
  const int64_t y1 = std::min<int64_t>(int64_t{a.y} + a.height, height);
  if (x1 <= x0 || y1 <= y0) return {0, 0, 0, 0};
  return {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
          static_cast<int32_t>(y1 - y0)};
}

std::u16string glString(GLenum name) {
  const char* s = reinterpret_cast<const char*>(glGetString(name));
  return platform::FromUtf8(s ? s : "");
}

}  // namespace

float TruncToByte(float c) {
  if (!(c > 0.0f)) return 0.0f;
  if (c >= 1.0f) return 1.0f;
  return std::trunc(c * 255.0f) / 255.0f;
}

int GDevGL::create(GDev** out) {
  *out = new GDevGL();
  return 0;
}

GDevGL::GDevGL() { filterLevel_ = 2; }

GDevGL::~GDevGL() { term(); }

// ---------------------------------------------------------------- start-up

int GDevGL::init(const GDevInitParams& params) {
  term();
  window_ = params.window;
  stack_.reset();
  committed_ = false;
  if (init_initGL() != 0) {
    LogWrite(LOG_TRACE, u"OpenGLの初期化に失敗(init_initGL)\n");
    return -1;
  }
  requestedBackWidth_ = requestedBackHeight_ = requestedScreenWidth_ = requestedScreenHeight_ = -1;
  backWidth_ = backHeight_ = screenWidth_ = screenHeight_ = -1;
  vblank_ = params.vblank;
  return 0;
}

int GDevGL::init_initGL() {
  std::u16string message = kCapabilityPrefix;
  std::string why;
  context_ = platform::GLContext::create(window_, &why);
  if (context_) {
    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 33) {
      why = "version " + std::to_string(major) + "." + std::to_string(minor);
      context_.reset();
    }
  }
  if (!context_) {
    LogWrite(LOG_ERROR, u"init_initGL() : OpenGL 3.3 コアプロファイルのコンテキストを作成できません(%s)\n",
             platform::FromUtf8(why));
    GDevStartupErrorText() = message + u"・OpenGL 3.3 コアプロファイルのコンテキストを作成できません\n";
    return -1;
  }
  accelerated_ = true;
  accelerationLevel_ = 0;
  LogWrite(LOG_TRACE, u"init_initGL() : GL_VERSION : %s\n", glString(GL_VERSION));
  LogWrite(LOG_TRACE, u"init_initGL() : GL_RENDERER : %s\n", glString(GL_RENDERER));
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
  LogWrite(LOG_TRACE, u"init_initGL() : GL_MAX_TEXTURE_SIZE : %d\n", maxTextureSize_);

  bool passed = true;
  std::string shaderLog;
  // One program proves the context can build them: the one every present
  // needs. The others are linked on their first use.
  const bool shaders = programs_.init(GLProgram::Texture, &shaderLog);
  LogWrite(LOG_TRACE, u"init_initGL() : GLSL 3.30 : %s\n", shaders ? u"○" : u"×");
  if (!shaders) {
    LogWrite(LOG_ERROR, u"init_initGL() : シェーダ(GLSL 3.30)を作成できません(%s)\n", platform::FromUtf8(shaderLog));
    message += u"・シェーダ(GLSL 3.30)を作成できません\n";
    passed = false;
  }

  // Textures that are drawn into are RGBA8 framebuffer attachments.
  GLuint probe = 0;
  GLuint probeTarget = 0;
  glGenTextures(1, &probe);
  glBindTexture(GL_TEXTURE_2D, probe);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &probeTarget);
  glBindFramebuffer(GL_FRAMEBUFFER, probeTarget);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, probe, 0);
  const bool renderTarget = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &probeTarget);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDeleteTextures(1, &probe);
  LogWrite(LOG_TRACE, u"init_initGL() : RT:RGBA8 : %s\n", renderTarget ? u"○" : u"×");
  if (!renderTarget) {
    LogWrite(LOG_ERROR, u"init_initGL() : α付きのレンダターゲットが使用できません\n");
    message += u"・α付きのレンダターゲットが使用できません\n";
    passed = false;
  }

  if (!passed) {
    programs_.release();
    context_.reset();
    GDevStartupErrorText() = message;
    return -1;
  }
  createGLObjects();
  swapIntervalAccepted_ = context_->setSwapInterval(1);
  const std::u16string renderer = glString(GL_RENDERER);
  const bool software = renderer.find(u"llvmpipe") != std::u16string::npos ||
                        renderer.find(u"softpipe") != std::u16string::npos ||
                        renderer.find(u"swrast") != std::u16string::npos;
  showsParts_ = software && context_->canShowPart();
  if (!swapIntervalAccepted_) LogWrite(LOG_TRACE, u"init_initGL() : no vertical-blank swap interval\n");
  accelerationLevel_ = 3;
  LogWrite(LOG_TRACE, u"init_initGL() : アクセラレーションレベル = %d\n", accelerationLevel_);
  return 0;
}

void GDevGL::createGLObjects() {
  glGenVertexArrays(1, &vertexArray_);
  glBindVertexArray(vertexArray_);
  glGenBuffers(1, &vertexBuffer_);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  const GLsizei stride = sizeof(GLVertex);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GLVertex, x)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GLVertex, r)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GLVertex, u0)));
  glEnableVertexAttribArray(3);
  glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GLVertex, u1)));
  glEnableVertexAttribArray(4);
  glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GLVertex, u2)));

  transforms_ = GLTransformBlock{};
  const Matrix4 identity = MatrixIdentity();
  std::copy(identity.begin(), identity.end(), transforms_.world);
  std::copy(projection_.begin(), projection_.end(), transforms_.projection);
  transforms_.target[0] = 1.0f;
  glGenBuffers(1, &transformBuffer_);
  glBindBuffer(GL_UNIFORM_BUFFER, transformBuffer_);
  glBufferData(GL_UNIFORM_BUFFER, sizeof transforms_, &transforms_, GL_STREAM_DRAW);
  glBindBufferBase(GL_UNIFORM_BUFFER, kTransformBinding, transformBuffer_);
  transformsDirty_ = false;
  committed_ = false;

  anisotropy_ = hasExtension("GL_EXT_texture_filter_anisotropic") || hasExtension("GL_ARB_texture_filter_anisotropic");
  const GLfloat transparent[4] = {0, 0, 0, 0};
  for (int f = 0; f < 3; ++f) {
    for (int a = 0; a < 3; ++a) {
      GLuint& s = samplers_[f][a];
      glGenSamplers(1, &s);
      const GLint filter = f == kNearest ? GL_NEAREST : GL_LINEAR;
      glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, filter);
      glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, filter);
      if (f == kAnisotropic && anisotropy_) glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT, 2.0f);
      const GLint wrap = a == kClampEdge ? GL_CLAMP_TO_EDGE : a == kClampBorder ? GL_CLAMP_TO_BORDER : GL_REPEAT;
      glSamplerParameteri(s, GL_TEXTURE_WRAP_S, wrap);
      glSamplerParameteri(s, GL_TEXTURE_WRAP_T, wrap);
      glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, transparent);
    }
  }

  glDisable(GL_DITHER);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  blendEnabled_ = true;
  culling_ = false;
}

void GDevGL::releaseGLObjects() {
  programs_.release();
  for (auto& row : samplers_) {
    for (GLuint& s : row) {
      if (s) glDeleteSamplers(1, &s);
      s = 0;
    }
  }
  if (transformBuffer_) glDeleteBuffers(1, &transformBuffer_);
  if (vertexBuffer_) glDeleteBuffers(1, &vertexBuffer_);
  if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
  transformBuffer_ = vertexBuffer_ = vertexArray_ = 0;
}

void GDevGL::term() {
  if (context_) {
    inScene_ = false;
    renderTarget_ = nullptr;
    // Owners hear of it, so that none keeps a pointer to a freed texture:
    // their next draw makes a new one (on this device after a new init, or
    // on the next device).
    while (!textures_.empty()) {
      GDevGLTexture* texture = textures_.begin()->second;
      if (texture->source_) texture->source_->deviceTextureDeleted(texture);
      delete texture;
    }
    releaseScreenBuffer();
    releaseGLObjects();
    context_.reset();
  }
  textures_.clear();
  backWidth_ = backHeight_ = screenWidth_ = screenHeight_ = -1;
  lost_ = true;
}

// ------------------------------------------------------- sizes and reset

bool GDevGL::setWindowSize(int32_t backWidth, int32_t backHeight, int32_t screenWidth, int32_t screenHeight) {
  if (backWidth < 1 || backHeight < 1) return false;
  LogWrite(LOG_TRACE, u"changing device window size to %d, %d\n", backWidth, backHeight);
  releaseCachedResources();
  requestedBackWidth_ = backWidth;
  requestedBackHeight_ = backHeight;
  if (screenWidth < 1 || screenHeight < 1) {
    screenWidth = backWidth;
    screenHeight = backHeight;
  }
  requestedScreenWidth_ = screenWidth;
  requestedScreenHeight_ = screenHeight;
  backWidth_ = backHeight_ = screenWidth_ = screenHeight_ = -1;
  lost_ = true;
  restoreDevice();
  return true;
}

bool GDevGL::validateScreen() {
  if (!lost_ && backWidth_ >= 1) return true;
  restoreDevice();
  return true;
}

bool GDevGL::restoreDevice() {
  LogWrite(LOG_TRACE, u"GDevGL::restoreDevice()\n");
  if (!context_ ||
      !resetScreen(requestedBackWidth_, requestedBackHeight_, requestedScreenWidth_, requestedScreenHeight_)) {
    LogWrite(LOG_TRACE, u"GDevGL::restoreDevice : failed to resetScreen\n");
    lost_ = true;
    return false;
  }
  lost_ = false;
  LogWrite(LOG_TRACE, u"GDevGL::restoreDevice() : ok.\n");
  return true;
}

bool GDevGL::resetScreen(int32_t backWidth, int32_t backHeight, int32_t screenWidth, int32_t screenHeight) {
  LogWrite(LOG_TRACE, u"GDevGL::resetScreen(%d,%d,%d,%d)\n", backWidth, backHeight, screenWidth, screenHeight);
  if (screenWidth >= 1 && screenHeight >= 1 && (screenWidth != backWidth || screenHeight != backHeight)) {
    LogWrite(LOG_TRACE, u"GDevGL::resetScreen : use alternate render buffer\n");
  }
  if (screenWidth < 1 || screenHeight < 1) {
    screenWidth = backWidth;
    screenHeight = backHeight;
  }
  backWidth_ = backHeight_ = screenWidth_ = screenHeight_ = -1;
  if (backWidth < 1 || backHeight < 1) return false;

  inScene_ = false;
  renderTarget_ = nullptr;
  for (int unit = 0; unit < 3; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  releaseScreenBuffer();
  releaseCachedResources();
  if (!initAppBuffer(screenWidth, screenHeight)) {
    errorOnce(kErrorScreenBuffer, u"GDevGL::initAppBuffer() : failed to create the screen buffer; drawing goes to the window\n");
  }
  backWidth_ = backWidth;
  backHeight_ = backHeight;
  screenWidth_ = screenWidth;
  screenHeight_ = screenHeight;

  // Transforms start over at identity; the next draw sends the top again.
  projection_ = MatrixIdentity();
  textureMatrix_ = MatrixIdentity();
  sendProjection();
  committed_ = false;
  useScreenTarget();
  frameDirty_ = true;
  windowStale_ = true;
  return true;
}

bool GDevGL::initAppBuffer(int32_t width, int32_t height) {
  // Exactly the screen's size: OpenGL 3.3 textures need no power-of-two
  // storage, and the present samples the whole texture.
  const int32_t storageWidth = width;
  const int32_t storageHeight = height;
  if (storageWidth > maxTextureSize_ || storageHeight > maxTextureSize_) return false;
  glActiveTexture(GL_TEXTURE0);
  glGenTextures(1, &screenTexture_);
  glBindTexture(GL_TEXTURE_2D, screenTexture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, storageWidth, storageHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &screenFramebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screenTexture_, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    // RGBA8 with its alpha read as 1 instead.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, storageWidth, storageHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screenTexture_, 0);
  }
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindTexture(GL_TEXTURE_2D, 0);
  if (!complete) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    releaseScreenBuffer();
    return false;
  }
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  applyColorMask();
  screenStorageWidth_ = storageWidth;
  screenStorageHeight_ = storageHeight;
  return true;
}

void GDevGL::releaseScreenBuffer() {
  screenKept_ = false;
  screenClipped_ = false;
  if (screenFramebuffer_) glDeleteFramebuffers(1, &screenFramebuffer_);
  if (screenTexture_) glDeleteTextures(1, &screenTexture_);
  screenFramebuffer_ = screenTexture_ = 0;
  screenStorageWidth_ = screenStorageHeight_ = 0;
}

// ------------------------------------------------------------- targets

void GDevGL::useScreenTarget() {
  if (screenFramebuffer_) {
    useTarget({screenFramebuffer_, screenWidth_, screenHeight_, true});
  } else {
    useTarget({0, backWidth_, backHeight_, false});
  }
}

void GDevGL::useTarget(const Target& target) {
  target_ = target;
  glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
  clipped_ = {0, 0, std::max(target.width, 0), std::max(target.height, 0)};
  partialViewport_ = false;
  applyViewport();
  applyScissor();
  const float sign = target.offscreen ? -1.0f : 1.0f;
  if (transforms_.target[0] != sign) {
    transforms_.target[0] = sign;
    transformsDirty_ = true;
  }
  if (culling_) glFrontFace(target.offscreen ? GL_CW : GL_CCW);
}

GDevArea GDevGL::toGL(const GDevArea& area) const {
  if (target_.offscreen) return area;
  return {area.x, target_.height - area.y - area.height, area.width, area.height};
}

void GDevGL::applyViewport() {
  const GDevArea gl = toGL(clipped_);
  glViewport(gl.x, gl.y, gl.width, gl.height);
}

void GDevGL::applyScissor() {
  if (screenClipped_ && screenFramebuffer_ && target_.framebuffer == screenFramebuffer_) {
    const GDevArea gl = toGL(screenClip_);
    glEnable(GL_SCISSOR_TEST);
    glScissor(gl.x, gl.y, gl.width, gl.height);
  } else {
    glDisable(GL_SCISSOR_TEST);
  }
}

bool GDevGL::setScreenClip(const GDevArea* area) {
  if (!area) {
    screenClipped_ = false;
    applyScissor();
    return true;
  }
  if (!context_ || lost_ || !screenFramebuffer_ || !screenKept_) return false;
  screenClip_ = ClipTo(*area, screenWidth_, screenHeight_);
  screenClipped_ = true;
  applyScissor();
  return true;
}

// --------------------------------------------------------------- frames

bool GDevGL::impl_beginScene(GDevTexture* target) {
  if (!context_) return false;
  if (inScene_) {
    LogWrite(LOG_TRACE, u"GDevGL::impl_beginScene() : failed to BeginScene(a scene is open)\n");
    return false;
  }
  if (lost_ && !restoreDevice()) return false;
  // Nothing stays bound that could be the new target.
  for (int unit = 0; unit < 3; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  if (target) {
    auto* texture = static_cast<GDevGLTexture*>(target);
    if (!texture->texture_) {
      LogWrite(LOG_TRACE, u"GDevGL::impl_beginScene() : texture object is not created!\n");
      return false;
    }
    // Pixels the owner changed before this scene go in first, so that no
    // later bind puts them over what the scene renders.
    glActiveTexture(GL_TEXTURE0);
    texture->uploadIfChanged();
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!texture->ensureFramebuffer()) {
      LogWrite(LOG_TRACE, u"GDevGL::impl_beginScene() : failed to setRenderTarget\n");
      return false;
    }
    renderTarget_ = texture;
    useTarget({texture->framebuffer_, std::max(texture->width_, 0), std::max(texture->height_, 0), true});
  } else {
    renderTarget_ = nullptr;
    useScreenTarget();
  }
  inScene_ = true;
  return true;
}

bool GDevGL::impl_endScene(bool capture, RGBAImageRef* captured) {
  if (!inScene_) {
    LogWrite(LOG_TRACE, u"GDevGL::impl_endScene() : failed to EndScene(no scene is open)\n");
    return false;
  }
  inScene_ = false;
  bool ok = true;
  GDevGLTexture* texture = renderTarget_;
  if (texture) {
    if (texture->keepMode_ == 1 || capture) {
      ok = readBack(texture);
      if (ok && capture && captured) {
        RGBAImageRef image;
        texture->source_->getImage(image);
        *captured = image.share();
      }
    }
  } else {
    frameDirty_ = true;
    const GDevArea whole{0, 0, screenWidth_, screenHeight_};
    drawnSincePresent_ = Join(drawnSincePresent_, screenClipped_ ? screenClip_ : whole);
    if (!screenClipped_) screenKept_ = true;
  }
  renderTarget_ = nullptr;
  useScreenTarget();
  return ok;
}

bool GDevGL::readBack(GDevGLTexture* texture) {
  LogWrite(LOG_TRACE, u"GDevGL::readBack(%p)\n", texture);
  const int32_t width = std::max(texture->width_, 0);
  const int32_t height = std::max(texture->height_, 0);
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  if (!bytes.empty()) {
    glBindFramebuffer(GL_FRAMEBUFFER, texture->framebuffer_);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, bytes.data());
    glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer);
  }
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    LogWrite(LOG_TRACE, u"GDevGL::readBack() : failed to glReadPixels(%04x)\n", error);
    return false;
  }
  texture->source_->setPixels(bytes);
  // The texture already holds these pixels: no upload on the next bind.
  texture->uploadedRevision_ = texture->source_->getRevision();
  LogWrite(LOG_TRACE, u"GDevGL::readBack() : Done(user:%p)\n", texture);
  return true;
}

bool GDevGL::readScreen(RGBAImageRef* out) {
  if (!context_ || !screenFramebuffer_ || inScene_ || screenWidth_ < 1 || screenHeight_ < 1) return false;
  std::vector<uint8_t> bytes(size_t(screenWidth_) * size_t(screenHeight_) * 4);
  glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer_);
  glReadPixels(0, 0, screenWidth_, screenHeight_, GL_BGRA, GL_UNSIGNED_BYTE, bytes.data());
  glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer);
  if (glGetError() != GL_NO_ERROR) return false;
  *out = RGBAImageRef(RGBAImage(0, screenWidth_, screenHeight_, std::move(bytes)));
  return true;
}

void GDevGL::impl_swapBuffers(const GDevArea&, const GDevArea& dest) {
  if (!context_ || lost_ || backWidth_ < 1) return;
  if (inScene_) {
    LogWrite(LOG_TRACE, u"GDevGL::impl_swapBuffers() : a scene is open\n");
    return;
  }
  const GDevArea rect =
      dest.width != 0 && dest.height != 0 ? dest : GDevArea{0, 0, backWidth_, backHeight_};
  // Nothing new to show: the window keeps its last frame.
  if (!frameDirty_ && rect == lastPresent_) return;

  const GDevArea whole{0, 0, screenWidth_, screenHeight_};
  GDevArea changed = drawnSincePresent_;
  // A back buffer that still shows a frame of n presents ago needs what
  // changed since then; one whose age is not known, all of it.
  const int age = showsParts_ && screenFramebuffer_ ? 1 : context_->backBufferAge();
  bool partial = screenFramebuffer_ && !windowStale_ && rect == lastPresent_ && age >= 1 &&
                 age <= presentedCount_ + 1;
  for (int i = 0; partial && i < age - 1; ++i) changed = Join(changed, presentedAreas_[i]);
  if (!partial) changed = whole;
  for (int i = kPresentHistory - 1; i > 0; --i) presentedAreas_[i] = presentedAreas_[i - 1];
  presentedAreas_[0] = changed;
  presentedCount_ = std::min(presentedCount_ + 1, kPresentHistory);
  if (changed == whole) partial = false;

  GDevArea cut{0, 0, 0, 0};
  if (screenFramebuffer_) {
    int drawableWidth = 0;
    int drawableHeight = 0;
    context_->drawableSize(&drawableWidth, &drawableHeight);
    if (drawableWidth < 1 || drawableHeight < 1) {
      drawableWidth = backWidth_;
      drawableHeight = backHeight_;
    }
    useTarget({0, backWidth_, backHeight_, false});
    glViewport(0, 0, drawableWidth, drawableHeight);
    if (partial) {
      // The same copy as a whole one, cut to the window pixels that change:
      // the pixels it writes are those a whole copy would.
      cut = windowAreaOf(changed, rect, drawableWidth, drawableHeight);
      glEnable(GL_SCISSOR_TEST);
      glScissor(cut.x, cut.y, cut.width, cut.height);
      ++partialPresents_;
    } else {
      cut = {0, 0, drawableWidth, drawableHeight};
      glDisable(GL_SCISSOR_TEST);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    // Only a picture that leaves part of the window free (full screen, a
    // different aspect) needs the black around it.
    if (!(rect == GDevArea{0, 0, backWidth_, backHeight_})) {
      glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    setMatrixTexture_Ident();
    setBlendingContext(0, BLENDINGCONTEXT_BOTH);
    setMatrixProj_Ortho2D(0.0f, 0.0f, static_cast<float>(backWidth_), static_cast<float>(backHeight_));
    setupBlend(GDEV_BLEND_COPY, 0, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, screenTexture_);
    // One window pixel per screen pixel copies exactly with the nearest
    // texel (and cheaper); a scaled picture is filtered.
    const bool oneToOne = rect.width == screenWidth_ && rect.height == screenHeight_ &&
                          drawableWidth == backWidth_ && drawableHeight == backHeight_;
    glBindSampler(0, samplers_[oneToOne ? kNearest : kLinear][kClampEdge]);
    // The screen buffer is the screen's exact size: the whole texture.
    const GDevUV uv{0.0f, 0.0f, 1.0f, 1.0f};
    const GDevRectF corners{static_cast<float>(rect.x), static_cast<float>(rect.y),
                            static_cast<float>(rect.x + rect.width), static_cast<float>(rect.y + rect.height)};
    // The picture goes up unmoved whatever the model-view top holds.
    stack_.push();
    stack_.top() = MatrixIdentity();
    matrixChanged();
    drawQuad(GLProgram::Texture, corners, nullptr, &uv, 1);
    stack_.pop();
    matrixChanged();
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  if (showsParts_ && screenFramebuffer_) {
    context_->showPart(cut.x, cut.y, cut.width, cut.height);
  } else {
    context_->swapBuffers();
  }
  ++presents_;
  frameDirty_ = false;
  windowStale_ = false;
  drawnSincePresent_ = {0, 0, 0, 0};
  lastPresent_ = rect;
  useScreenTarget();
}

GDevArea GDevGL::windowAreaOf(const GDevArea& area, const GDevArea& rect, int drawableWidth,
                              int drawableHeight) const {
  // Screen pixels to back-buffer units to drawable pixels; a window pixel
  // samples the screen pixels within one of its own position, so one more
  // screen pixel on each side, and one more window pixel for rounding.
  const double sx = static_cast<double>(rect.width) / screenWidth_ * drawableWidth / backWidth_;
  const double sy = static_cast<double>(rect.height) / screenHeight_ * drawableHeight / backHeight_;
  const double ox = static_cast<double>(rect.x) * drawableWidth / backWidth_;
  const double oy = static_cast<double>(rect.y) * drawableHeight / backHeight_;
  const int64_t x0 = static_cast<int64_t>(std::floor(ox + (area.x - 1) * sx)) - 1;
  const int64_t y0 = static_cast<int64_t>(std::floor(oy + (area.y - 1) * sy)) - 1;
  const int64_t x1 = static_cast<int64_t>(std::ceil(ox + (int64_t{area.x} + area.width + 1) * sx)) + 1;
  const int64_t y1 = static_cast<int64_t>(std::ceil(oy + (int64_t{area.y} + area.height + 1) * sy)) + 1;
  const int32_t left = static_cast<int32_t>(std::clamp<int64_t>(x0, 0, drawableWidth));
  const int32_t top = static_cast<int32_t>(std::clamp<int64_t>(y0, 0, drawableHeight));
  const int32_t right = static_cast<int32_t>(std::clamp<int64_t>(x1, left, drawableWidth));
  const int32_t bottom = static_cast<int32_t>(std::clamp<int64_t>(y1, top, drawableHeight));
  // GL counts rows from the bottom.
  return {left, drawableHeight - bottom, right - left, bottom - top};
}

std::u16string GDevGL::formatStatus(std::u16string_view text) {
  return Format(u"%s / T:%3d / VB:%3d ", text, static_cast<int32_t>(textures_.size()), 0);
}

void GDevGL::setDialogBoxMode(bool) {}

void GDevGL::refreshWindow() {
  if (context_) context_->refreshDrawableSize();
  frameDirty_ = true;
  windowStale_ = true;
}

void GDevGL::releaseCachedResources() {}

void GDevGL::finish() {
  if (context_) glFinish();
}

// ----------------------------------------------------- viewport and clear

// Cuts one axis of a viewport to 0..limit; nothing left gives (0, 0).
static void clipSpan(int64_t& pos, int64_t& len, int64_t limit) {
  if (pos < 0) {
    len += pos;
    pos = 0;
  }
  if (pos + len > limit) len = limit - pos;
  if (len < 0) {
    pos = 0;
    len = 0;
  }
}

bool GDevGL::setViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (screenHeight_ == -1 || !context_) return false;
  const int64_t targetWidth = target_.width;
  const int64_t targetHeight = target_.height;
  int64_t cx = x, cy = y, cw = width, ch = height;
  if (!(cx >= 0 && cy >= 0 && cx + cw <= targetWidth && cy + ch <= targetHeight)) {
    clipSpan(cx, cw, targetWidth);
    clipSpan(cy, ch, targetHeight);
  }
  viewport_ = {x, y, width, height};
  clipped_ = {static_cast<int32_t>(cx), static_cast<int32_t>(cy), static_cast<int32_t>(cw), static_cast<int32_t>(ch)};
  partialViewport_ = !(clipped_ == viewport_);
  applyViewport();
  return true;
}

int GDevGL::clearRegion(uint32_t flags, int32_t x, int32_t y, int32_t width, int32_t height, const float color[4]) {
  if (!context_ || backWidth_ < 0 || backHeight_ < 0 || screenWidth_ < 0 || screenHeight_ < 0) return 0;
  if (!(flags & GDEV_CLEAR_TARGET)) return 0;
  // Clearing never reaches outside the viewport.
  GDevArea area = clipped_;
  const bool whole = (flags & GDEV_CLEAR_WHOLE) ||
                     (x <= 0 && y <= 0 && width >= target_.width && height >= target_.height);
  if (!whole) {
    const int64_t x0 = std::max<int64_t>(x, clipped_.x);
    const int64_t y0 = std::max<int64_t>(y, clipped_.y);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + width, int64_t{clipped_.x} + clipped_.width);
    const int64_t y1 = std::min<int64_t>(int64_t{y} + height, int64_t{clipped_.y} + clipped_.height);
    if (x1 <= x0 || y1 <= y0) return 0;
    area = {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
            static_cast<int32_t>(y1 - y0)};
  }
  if (area.width <= 0 || area.height <= 0) return 0;
  // Nor outside the screen clip.
  if (screenClipped_ && screenFramebuffer_ && target_.framebuffer == screenFramebuffer_) {
    area = ClipTo(GDevArea{area.x - screenClip_.x, area.y - screenClip_.y, area.width, area.height},
                  screenClip_.width, screenClip_.height);
    area.x += screenClip_.x;
    area.y += screenClip_.y;
    if (IsEmpty(area)) return 0;
  }
  const GDevArea gl = toGL(area);
  glEnable(GL_SCISSOR_TEST);
  glScissor(gl.x, gl.y, gl.width, gl.height);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(TruncToByte(color[0]), TruncToByte(color[1]), TruncToByte(color[2]), TruncToByte(color[3]));
  glClear(GL_COLOR_BUFFER_BIT);
  applyColorMask();
  applyScissor();
  return 0;
}

// ------------------------------------------------ contexts and filters

void GDevGL::applyColorMask() {
  switch (channelMode_) {
    case BLENDINGCONTEXT_BOTH: glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE); break;
    case BLENDINGCONTEXT_COLORONLY: glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE); break;
    case BLENDINGCONTEXT_ALPHAONLY: glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE); break;
    default: break;  // keeps the last mask
  }
}

int GDevGL::setBlendingContext(int32_t context, int32_t channelMode) {
  if (context < 0 || context > 2) return -1;
  channelMode_ = channelMode;
  if (!context_) return 0;
  applyColorMask();
  glDisable(GL_DITHER);
  blendEnabled_ = context != 1;
  if (blendEnabled_) {
    glEnable(GL_BLEND);
  } else {
    glDisable(GL_BLEND);
  }
  setCulling(context != 0);
  setAllFilters(context == 0 ? filterFor2D(filter2D_) : filterFor3D(filter3D_));
  return 0;
}

void GDevGL::setCulling(bool on) {
  culling_ = on;
  if (!context_) return;
  if (on) {
    // Clockwise triangles on screen go; offscreen targets are stored upside
    // down, which turns their winding round.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(target_.offscreen ? GL_CW : GL_CCW);
  } else {
    glDisable(GL_CULL_FACE);
  }
}

GDevGL::Filter GDevGL::filterFor3D(int32_t mode) const {
  if (mode == 0) return kNearest;
  if (mode == 2) return kAnisotropic;
  return kLinear;
}

void GDevGL::setAllFilters(Filter filter) {
  for (Filter& f : unitFilter_) f = filter;
}

void GDevGL::setFilter2D(int32_t mode, bool applyNow) {
  if (applyNow) {
    unitFilter_[0] = filterFor2D(mode);
  } else {
    filter2D_ = mode;
  }
}

void GDevGL::setFilter3D(int32_t mode, bool applyNow) {
  if (applyNow) {
    unitFilter_[0] = filterFor3D(mode);
  } else {
    filter3D_ = mode;
  }
}

void GDevGL::setFilterLevel(int32_t level, bool applyNow) {
  if (applyNow) {
    unitFilter_[0] = filterFor3D(filter3D_);
  } else {
    filterLevel_ = level;
  }
}

void GDevGL::errorOnce(unsigned key, std::u16string_view message) {
  const unsigned bit = 1u << key;
  if (reportedErrors_ & bit) return;
  reportedErrors_ |= bit;
  LogWrite(LOG_ERROR, message);
}
