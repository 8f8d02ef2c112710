// The OpenGL 3.3 core device (kind 1 of the factory) and its textures. Every
// frame is drawn into an offscreen screen buffer of the game's size and
// scaled into the window at present; each texture that is drawn into gets a
// framebuffer object of its own. Main thread, with the device's context
// current (it is the only context of the process).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "gdev/gdev.h"
#include "gdev/gl_api.h"
#include "gdev/gl_shaders.h"
#include "gdev/matrix_stack.h"

namespace platform {
class GLContext;
}

class GDevGL;

// Colours become bytes by truncation, not rounding: OpenGL gets the value
// that its own rounding turns into trunc(c x 255) (clamped to 0..1).
float TruncToByte(float c);

class GDevGLTexture final : public GDevTexture {
 public:
  GDevGLTexture(GDevGL* owner, const GDevTextureCreateParams& params);
  ~GDevGLTexture() override;

  void upload(const RGBAImageRef& image) override;
  void getSize(int32_t* width, int32_t* height) const override;
  void setKeepMode(int32_t mode) override;
  void detach() override;

  int32_t keepMode() const { return keepMode_; }
  bool isRenderTarget() const { return framebuffer_ != 0; }
  // Every sample has alpha 1: a picture without alpha (format 1 and the
  // plain format), except while it is a render target.
  bool samplesOpaque() const override { return !(format_ == 2 || format_ == 3) && framebuffer_ == 0; }
  // The pixel-source revision the texture holds (0xFFFFFFFF: none yet).
  uint32_t uploadedRevision() const { return uploadedRevision_; }

 private:
  friend class GDevGL;
  static constexpr uint32_t kNoRevision = 0xFFFFFFFFu;

  // (Re)creates the GL texture: power-of-two storage, zero padding.
  void createStorage();
  void releaseStorage();
  // Uploads the owner's pixels when their revision moved on.
  void uploadIfChanged();
  bool ensureFramebuffer();
  void dropFramebuffer();
  // Pictures without alpha (format 1 and the plain format) sample alpha as
  // 1, except while the texture is a render target.
  void applyAlphaSwizzle();

  GDevGL* owner_;
  GLuint texture_ = 0;
  GLuint framebuffer_ = 0;
  int32_t width_;
  int32_t height_;
  int32_t storageWidth_ = 0;
  int32_t storageHeight_ = 0;
  int32_t format_;
  int32_t flags_;
  int32_t keepMode_ = 2;
  GDevPixelSource* source_;
  uint32_t uploadedRevision_ = kNoRevision;
  bool framebufferFailed_ = false;
};

class GDevGL final : public GDev {
 public:
  // The factory's creator: *out := a new device (not yet initialised); 0.
  static int create(GDev** out);

  GDevGL();
  ~GDevGL() override;

  int init(const GDevInitParams& params) override;
  bool validateScreen() override;
  void term() override;
  // Copies the screen buffer into the window: only what changed since the
  // window's back buffer was last shown, when the driver keeps it.
  void impl_swapBuffers(const GDevArea& source, const GDevArea& dest) override;
  bool setScreenClip(const GDevArea* area) override;
  bool outsideScreenClip(const GDevRectF& rect) const override;
  std::u16string formatStatus(std::u16string_view text) override;
  bool setWindowSize(int32_t backWidth, int32_t backHeight, int32_t screenWidth, int32_t screenHeight) override;
  bool setViewport(int32_t x, int32_t y, int32_t width, int32_t height) override;
  bool impl_beginScene(GDevTexture* target) override;
  bool impl_endScene(bool capture, RGBAImageRef* captured) override;
  void setDialogBoxMode(bool on) override;
  void refreshWindow() override;
  int clearRegion(uint32_t flags, int32_t x, int32_t y, int32_t width, int32_t height, const float color[4]) override;
  int setBlendingContext(int32_t context, int32_t channelMode) override;
  void setCulling(bool on) override;

  void pushMatrix() override;
  void popMatrix() override;
  void rotate(float degrees, float x, float y, float z) override;
  void translate(float x, float y, float z) override;
  void translateV(const float v[3]) override;
  void multMatrix(const float m[16]) override;
  void loadIdentity() override;
  void setMatrix(int32_t kind, const float m[16]) override;
  void setMatrix(const float m[16]) override;
  void getMatrix(int32_t kind, float m[16]) override;
  void getMatrix(float m[16]) override;
  void commitMatrix() override;
  void setMatrixProj_Ortho2D(float left, float top, float right, float bottom) override;
  void setMatrixProj_PerspectiveFov(float fovDegrees, float a, float b, float c, float d) override;
  void setMatrixLookAt(const float eye[3], const float at[3], const float up[3]) override;
  void setMatrixTexture_Ident() override;

  void setFilter2D(int32_t mode, bool applyNow) override;
  void setFilter3D(int32_t mode, bool applyNow) override;
  void setFilterLevel(int32_t level, bool applyNow) override;

  bool createTextureObject(const GDevTextureCreateParams& params, GDevTexture** out) override;
  bool releaseTextureObject(GDevTexture* texture) override;

  void drawPoint(int32_t x, int32_t y, const float color[4], int32_t blend, int32_t alphaBlend) override;
  void drawLine(const GDevRect& line, const float color[4], int32_t blend, int32_t alphaBlend) override;
  void drawRect(const GDevRect& rect, const float color[4], int32_t blend, int32_t alphaBlend) override;
  void drawRectGradient(const GDevRect& rect, const float c0[4], const float c1[4], const float c2[4],
                        const float c3[4], int32_t blend, int32_t alphaBlend) override;
  void fillRect(const GDevRect& rect, const float color[4], int32_t blend, int32_t alphaBlend) override;
  void fillRectGradient(const GDevRect& rect, const float c0[4], const float c1[4], const float c2[4],
                        const float c3[4], int32_t blend, int32_t alphaBlend) override;
  void drawTextureQuad(const GDevRectF& rect, const GDevUV& uv, GDevTexture* texture, int32_t blend,
                       int32_t alphaBlend, int32_t premultiplied) override;
  void drawTextureColored(const GDevRect& rect, const GDevUV& uv, const float color[4], GDevTexture* texture,
                          int32_t blend, int32_t alphaBlend, int32_t premultiplied) override;
  void drawTexture2(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, GDevTexture* first,
                    GDevTexture* second, int32_t blend, int32_t alphaBlend) override;
  void drawTexture2Colored(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, GDevTexture* first,
                           GDevTexture* second, const float color[4], int32_t blend, int32_t alphaBlend) override;
  void crossFade(const GDevRect& rect1, const GDevUV& uv1, const GDevRect& rect2, const GDevUV& uv2,
                 GDevTexture* first, GDevTexture* second, float progress, int32_t blend,
                 int32_t alphaBlend) override;
  void ruleFade(const GDevRect& fromRect, const GDevUV& fromUV, const GDevRect& toRect, const GDevUV& toUV,
                const GDevRect& ruleRect, const GDevUV& ruleUV, GDevTexture* from, GDevTexture* to,
                GDevTexture* rule, int32_t blend, int32_t alphaBlend) override;
  void drawTextureWithAlpha(const GDevRect& rect, const GDevUV& uv, GDevTexture* color,
                            GDevTexture* alpha) override;
  void releaseCachedResources() override;

  // --- state for the frame step, tests and benchmarks ---
  bool swapIntervalAccepted() const override { return swapIntervalAccepted_; }
  // No usable screen yet (before the first setWindowSize, or a failed reset).
  bool isLost() const { return lost_; }
  int32_t backBufferWidth() const { return backWidth_; }
  int32_t backBufferHeight() const { return backHeight_; }
  int32_t screenWidth() const { return screenWidth_; }
  int32_t screenHeight() const { return screenHeight_; }
  // Storage size of the screen buffer (0 when there is none).
  int32_t screenBufferWidth() const { return screenStorageWidth_; }
  int32_t screenBufferHeight() const { return screenStorageHeight_; }
  // The screen buffer's pixels at the screen's size, top row first (what
  // the next present shows). False without a screen buffer or in a scene.
  bool readScreen(RGBAImageRef* out);
  // The viewport as clipped to the current target, and whether it had to be.
  const GDevArea& clippedViewport() const { return clipped_; }
  bool isViewportPartial() const { return partialViewport_; }
  // How often the model-view top was sent to the shaders.
  uint32_t worldTransformSends() const { return worldSends_; }
  // Buffer swaps done (idle presents swap nothing), and those that copied
  // only a part of the screen buffer.
  uint64_t presentedFrames() const { return presents_; }
  uint64_t partialPresents() const { return partialPresents_; }
  // Draw calls sent to OpenGL (not those the screen clip left out).
  uint64_t drawCalls() const { return drawCalls_; }
  size_t textureCount() const { return textures_.size(); }
  // Shader programs linked so far (each on its first use).
  int programsBuilt() const { return programs_.builtCount(); }
  // Waits until the context has finished every command.
  void finish();

 private:
  friend class GDevGLTexture;

  enum Filter { kNearest = 0, kLinear = 1, kAnisotropic = 2 };
  // Errors that would repeat every frame are logged once per device.
  // kErrorProgram + n: program n cannot be built.
  enum ErrorKey : unsigned { kErrorScreenBuffer = 0, kErrorPopMatrix = 1, kErrorProgram = 2 };
  enum Address { kClampEdge = 0, kClampBorder = 1, kRepeat = 2 };

  struct Target {
    GLuint framebuffer = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool offscreen = false;  // stored top row first: y flipped
  };

  int init_initGL();
  void createGLObjects();
  void releaseGLObjects();
  bool restoreDevice();
  bool resetScreen(int32_t backWidth, int32_t backHeight, int32_t screenWidth, int32_t screenHeight);
  bool initAppBuffer(int32_t width, int32_t height);
  void releaseScreenBuffer();
  // Makes the screen buffer (or the window without one) the target.
  void useScreenTarget();
  void useTarget(const Target& target);
  // Reads the render target back into its owner's pixels; false on failure.
  bool readBack(GDevGLTexture* texture);
  void forgetTexture(GDevGLTexture* texture);
  // Converts a top-left-origin rectangle of the target into GL window
  // coordinates.
  GDevArea toGL(const GDevArea& area) const;
  void applyViewport();
  void applyColorMask();
  // The screen clip while the screen buffer is the target, else none.
  void applyScissor();
  // The window pixels (GL coordinates) a present into rect takes from this
  // area of the screen buffer, with the filter's reach.
  GDevArea windowAreaOf(const GDevArea& area, const GDevArea& rect, int drawableWidth, int drawableHeight) const;

  // Drawing helpers.
  void setupBlend(int32_t blend, int32_t alphaBlend, int32_t premultiplied);
  void bindTexture(GDevTexture* texture, int unit, Address address);
  // Makes the program current, linking it on its first use; false (logged
  // once per program) when it cannot be built: the draw is skipped.
  bool useProgram(GLProgram program);
  void draw(GLProgram program, GLenum mode, const GLVertex* vertices, int count);
  // True when the vertices, as the current transforms place them, lie
  // wholly outside the screen clip: the scissor would keep no pixel.
  bool outsideScreenClip(const GLVertex* vertices, int count) const;
  void drawQuad(GLProgram program, const GDevRectF& rect, const float color[4], const GDevUV* uvs, int uvCount);
  GLuint sampler(int unit, Address address) const { return samplers_[unitFilter_[unit]][address]; }
  void setAllFilters(Filter filter);
  Filter filterFor2D(int32_t mode) const { return mode == 0 ? kNearest : kLinear; }
  Filter filterFor3D(int32_t mode) const;
  void matrixChanged() { committed_ = false; }
  // The projection goes into the transform block, sent with the next draw.
  void sendProjection();
  // Sends the transform block when something in it changed.
  void uploadTransforms();
  // A zero-filled buffer of at least this many bytes.
  const uint8_t* zeros(size_t bytes);
  // Logs an ERROR the first time a message of this key appears.
  void errorOnce(unsigned key, std::u16string_view message);

  SDL_Window* window_ = nullptr;
  std::unique_ptr<platform::GLContext> context_;
  bool vblank_ = true;
  bool swapIntervalAccepted_ = false;

  GLPrograms programs_;
  GLuint vertexArray_ = 0;
  GLuint vertexBuffer_ = 0;
  GLuint transformBuffer_ = 0;
  // What the shaders' transform block holds, or will at the next draw.
  GLTransformBlock transforms_{};
  bool transformsDirty_ = true;
  GLuint samplers_[3][3] = {};
  bool anisotropy_ = false;
  GLint maxTextureSize_ = 0;

  GLuint screenTexture_ = 0;
  GLuint screenFramebuffer_ = 0;
  int32_t screenStorageWidth_ = 0;
  int32_t screenStorageHeight_ = 0;

  int32_t requestedBackWidth_ = -1;
  int32_t requestedBackHeight_ = -1;
  int32_t requestedScreenWidth_ = -1;
  int32_t requestedScreenHeight_ = -1;
  int32_t backWidth_ = -1;
  int32_t backHeight_ = -1;
  int32_t screenWidth_ = -1;
  int32_t screenHeight_ = -1;
  GDevArea clipped_{0, 0, 1, 1};
  bool partialViewport_ = false;
  bool lost_ = true;

  Target target_;
  GDevGLTexture* renderTarget_ = nullptr;
  bool inScene_ = false;

  MatrixStack stack_;
  bool committed_ = false;
  Matrix4 projection_ = MatrixIdentity();
  Matrix4 textureMatrix_ = MatrixIdentity();
  uint32_t worldSends_ = 0;

  Filter unitFilter_[3] = {kLinear, kLinear, kLinear};
  bool blendEnabled_ = true;
  bool culling_ = false;

  // Every texture the device made, by the pointer handed out: release and
  // forget in constant time, and a pointer the device never made (or already
  // freed) is found missing without being read.
  std::unordered_map<const GDevTexture*, GDevGLTexture*> textures_;
  std::vector<uint8_t> zeros_;

  bool frameDirty_ = true;
  GDevArea lastPresent_{0, 0, 0, 0};
  uint64_t presents_ = 0;
  uint64_t partialPresents_ = 0;
  uint64_t drawCalls_ = 0;
  // The screen clip (screen pixels) and whether it is on.
  GDevArea screenClip_{0, 0, 0, 0};
  bool screenClipped_ = false;
  // The screen buffer holds a frame drawn whole (or mended since).
  bool screenKept_ = false;
  // What of the screen buffer changed since the last present, and in each
  // of the presents before (newest first): a back buffer that the driver
  // says is some presents old takes them all again. A whole area is the
  // whole screen.
  GDevArea drawnSincePresent_{0, 0, 0, 0};
  static constexpr int kPresentHistory = 3;
  GDevArea presentedAreas_[kPresentHistory] = {};
  int presentedCount_ = 0;
  // The window must be given the whole picture at the next present.
  bool windowStale_ = true;
  // Presents show the changed part of the back buffer without a swap (a
  // software renderer, whose swaps wait for no display, where the driver
  // can): the back buffer then always holds the last frame shown.
  bool showsParts_ = false;
  unsigned reportedErrors_ = 0;
};
