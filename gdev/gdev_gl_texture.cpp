// The OpenGL device's textures: power-of-two storage filled from the owner's
// pixels whenever their revision moves on, a framebuffer object of their own
// once something is drawn into them, and the device's list of them. Main
// thread, with the device's context current.
#include <algorithm>

#include "app/log.h"
#include "gdev/gdev_gl.h"

namespace {

// Zero fills go up in bands of at most this many bytes.
constexpr size_t kZeroBand = 1 << 20;

}  // namespace

GDevGLTexture::GDevGLTexture(GDevGL* owner, const GDevTextureCreateParams& params)
    : owner_(owner),
      width_(std::max(params.width, 0)),
      height_(std::max(params.height, 0)),
      format_(params.format),
      flags_(params.flags),
      source_(params.source) {}

GDevGLTexture::~GDevGLTexture() {
  owner_->forgetTexture(this);
  releaseStorage();
}

void GDevGLTexture::createStorage() {
  releaseStorage();
  uploadedRevision_ = kNoRevision;
  framebufferFailed_ = false;
  // Within the image cap the power-of-two storage stays within it too.
  if (!ImageSizeWithinCap(u"GDevGL::createTextureObject()", width_, height_)) return;
  const int32_t storageWidth = RoundUpPow2(width_);
  const int32_t storageHeight = RoundUpPow2(height_);
  if (storageWidth > owner_->maxTextureSize_ || storageHeight > owner_->maxTextureSize_) {
    LogWrite(LOG_ERROR, u"GDevGL::createTextureObject() : texture too large(%d x %d)\n", width_, height_);
    return;
  }
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glActiveTexture(GL_TEXTURE0);
  glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, storageWidth, storageHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  if (glGetError() != GL_NO_ERROR) {
    LogWrite(LOG_ERROR, u"GDevGL::createTextureObject() : failed to glTexImage2D(%d x %d)\n", width_, height_);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture_);
    texture_ = 0;
    return;
  }
  storageWidth_ = storageWidth;
  storageHeight_ = storageHeight;
  // Storage starts out transparent black, padding included. Zeros read the
  // same in any channel order: sent as RGBA, the storage's own order, the
  // driver copies them without swapping channels.
  const int32_t band = std::max<int32_t>(1, static_cast<int32_t>(kZeroBand / (static_cast<size_t>(storageWidth) * 4)));
  const uint8_t* zeros = owner_->zeros(static_cast<size_t>(storageWidth) * 4 * std::min(band, storageHeight));
  for (int32_t y = 0; y < storageHeight; y += band) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, y, storageWidth, std::min(band, storageHeight - y), GL_RGBA,
                    GL_UNSIGNED_BYTE, zeros);
  }
  applyAlphaSwizzle();
  glBindTexture(GL_TEXTURE_2D, 0);
}

void GDevGLTexture::releaseStorage() {
  if (!owner_->context_) {
    texture_ = framebuffer_ = 0;
    return;
  }
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (texture_) glDeleteTextures(1, &texture_);
  texture_ = framebuffer_ = 0;
  storageWidth_ = storageHeight_ = 0;
}

void GDevGLTexture::applyAlphaSwizzle() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, samplesOpaque() ? GL_ONE : GL_ALPHA);
}

void GDevGLTexture::upload(const RGBAImageRef& image) {
  const RGBAImage* pixels = image.get();
  if (!texture_ || !pixels || !owner_->context_) return;
  if (pixels->width <= 0 || pixels->height <= 0 ||
      pixels->pixels.size() < static_cast<size_t>(pixels->width) * static_cast<size_t>(pixels->height) * 4) {
    return;
  }
  const int32_t width = std::min(pixels->width, storageWidth_);
  const int32_t height = std::min(pixels->height, storageHeight_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels->width);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels->pixels.data());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void GDevGLTexture::uploadIfChanged() {
  if (!texture_ || !source_) return;
  const uint32_t revision = source_->getRevision();
  if (revision == uploadedRevision_) return;
  uploadedRevision_ = revision;
  RGBAImageRef image;
  source_->getImage(image);
  upload(image);
}

void GDevGLTexture::getSize(int32_t* width, int32_t* height) const {
  if (width) *width = width_;
  if (height) *height = height_;
}

void GDevGLTexture::setKeepMode(int32_t mode) { keepMode_ = mode == 1 ? 1 : 2; }

bool GDevGLTexture::ensureFramebuffer() {
  if (framebuffer_) return true;
  if (!texture_ || framebufferFailed_) return false;
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  glBindFramebuffer(GL_FRAMEBUFFER, owner_->target_.framebuffer);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    LogWrite(LOG_ERROR, u"GDevGL::impl_setRenderTarget() : incomplete framebuffer(%04x)\n", status);
    glDeleteFramebuffers(1, &framebuffer_);
    framebuffer_ = 0;
    framebufferFailed_ = true;
    return false;
  }
  // A render target shows the alpha it was drawn with.
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture_);
  applyAlphaSwizzle();
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

void GDevGLTexture::dropFramebuffer() {
  if (!framebuffer_ || !owner_->context_) return;
  if (owner_->renderTarget_ == this) {
    owner_->renderTarget_ = nullptr;
    owner_->useScreenTarget();
  }
  glDeleteFramebuffers(1, &framebuffer_);
  framebuffer_ = 0;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture_);
  applyAlphaSwizzle();
  glBindTexture(GL_TEXTURE_2D, 0);
}

void GDevGLTexture::detach() {
  if (!framebuffer_) return;
  dropFramebuffer();
  // What was rendered is given up: the next draw shows the owner's pixels.
  uploadedRevision_ = kNoRevision;
}

// ------------------------------------------------------- device side

bool GDevGL::createTextureObject(const GDevTextureCreateParams& params, GDevTexture** out) {
  if (!out) return false;
  *out = nullptr;
  if (!params.source) {
    LogWrite(LOG_ERROR, u"GDevGL::createTextureObject() : no pixel source\n");
    return false;
  }
  if (!context_) {
    LogWrite(LOG_TRACE, u"GDevGL::createTextureObject() : the device is not initialised\n");
    return false;
  }
  auto* texture = new GDevGLTexture(this, params);
  texture->createStorage();
  textures_.emplace(texture, texture);
  *out = texture;
  return true;
}

bool GDevGL::releaseTextureObject(GDevTexture* texture) {
  const auto it = textures_.find(texture);
  if (!texture || it == textures_.end()) {
    LogWrite(LOG_ERROR, u"GDevGL::releaseTextureObject() : テクスチャがリスト内にない\n");
    return false;
  }
  delete it->second;  // forgets itself
  return true;
}

void GDevGL::forgetTexture(GDevGLTexture* texture) {
  textures_.erase(texture);
  if (renderTarget_ == texture) {
    renderTarget_ = nullptr;
    if (context_) useScreenTarget();
  }
}

const uint8_t* GDevGL::zeros(size_t bytes) {
  if (zeros_.size() < bytes) zeros_.assign(bytes, 0);
  return zeros_.data();
}
