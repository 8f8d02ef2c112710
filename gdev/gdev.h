// The abstract graphics device: frames, viewport, the model-view matrix
// stack, blending contexts, device textures and the 2D drawing operations
// every picture of the engine goes through. One device per process
// (GDevFactory). Main thread only, between init and term.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gdev/rgba_image.h"

struct SDL_Window;
class GDevTexture;

// Channel modes of setBlendingContext: which channels drawing writes.
enum : int32_t {
  BLENDINGCONTEXT_BOTH = 0,
  BLENDINGCONTEXT_COLORONLY = 1,
  BLENDINGCONTEXT_ALPHAONLY = 2,
};

// Blend modes of the drawing operations; any other value blends normally.
enum : int32_t {
  GDEV_BLEND_COPY = 1,
  GDEV_BLEND_NORMAL = 2,
  GDEV_BLEND_ADD = 3,
  GDEV_BLEND_MULTIPLY = 4,
};

// clearRegion flags.
enum : uint32_t {
  GDEV_CLEAR_TARGET = 1,
  GDEV_CLEAR_DEPTH = 2,  // no effect: the device has no depth buffer
  GDEV_CLEAR_WHOLE = 4,  // the whole viewport, whatever the rectangle
};

// Matrix kinds of getMatrix/setMatrix.
enum : int32_t {
  GDEV_MATRIX_MODELVIEW = 0,  // the top of the stack
  GDEV_MATRIX_PROJECTION = 1,
  GDEV_MATRIX_TEXTURE = 2,  // stored and read back; drawing does not use it
};

struct GDevInitParams {
  bool vblank = false;  // the configured frame wait mode is "vblank"
  SDL_Window* window = nullptr;  // made with platform::CreateGLWindow's attributes
};

// How the owner of a device texture lends it pixels and takes back what was
// rendered into it.
struct GDevPixelSource {
  virtual ~GDevPixelSource() = default;
  // The owner's current pixels.
  virtual void getImage(RGBAImageRef& out) = 0;
  // Changes whenever the owner's pixels change.
  virtual uint32_t getRevision() = 0;
  // width x height x 4 bytes (blue, green, red, alpha, top row first) read
  // back from the device; the owner stores them and moves its revision on.
  virtual void setPixels(const std::vector<uint8_t>& bgra) = 0;
  // The device deleted this source's texture on its own (term): the owner
  // must forget the pointer and make a new texture on its next draw. Not
  // called for releaseTextureObject, which the owner asked for.
  virtual void deviceTextureDeleted(GDevTexture* /*texture*/) {}
};

struct GDevTextureCreateParams {
  int32_t width = 0;
  int32_t height = 0;
  int32_t flags = 0;  // bit 1: dynamic (no effect here)
  int32_t format = 3;  // 1 opaque picture, 2 or 3 with alpha, other: no alpha
  // Must not be null, and must outlive the texture: release the texture (or
  // terminate the device) before the source goes.
  GDevPixelSource* source = nullptr;
};

class GDevTexture {
 public:
  virtual ~GDevTexture() = default;
  // Copies the image's pixels into the device texture now.
  virtual void upload(const RGBAImageRef& image) = 0;
  // The size given at creation.
  virtual void getSize(int32_t* width, int32_t* height) const = 0;
  // 1: what is rendered into the texture goes back to its pixel source after
  // every scene; any other value: only on a capture.
  virtual void setKeepMode(int32_t mode) = 0;
  // Stops being a render target without reading back: the next draw from it
  // shows its owner's pixels again.
  virtual void detach() = 0;
  // Every sample the texture gives has alpha 1 (a picture without alpha).
  virtual bool samplesOpaque() const { return false; }
};

// Rectangles by two corners: (x0, y0) top left, (x1, y1) bottom right.
struct GDevRect {
  int32_t x0, y0, x1, y1;
  bool operator==(const GDevRect&) const = default;
};
struct GDevRectF {
  float x0, y0, x1, y1;
};
// Source rectangle in texture coordinates (0..1 over the whole device texture).
struct GDevUV {
  float u0, v0, u1, v1;
};
// x, y, width, height.
struct GDevArea {
  int32_t x, y, width, height;
  bool operator==(const GDevArea&) const = default;
};

class GDev {
 public:
  GDev();
  virtual ~GDev();
  GDev(const GDev&) = delete;
  GDev& operator=(const GDev&) = delete;

  // --- frame and screen ---
  // 0 on success; -1 with the reason in GDevStartupErrorText().
  virtual int init(const GDevInitParams& params) = 0;
  // Makes the device usable again when it is not; true.
  virtual bool validateScreen() = 0;
  // Releases every device object, textures included; each texture's pixel
  // source hears of it first (deviceTextureDeleted).
  virtual void term() = 0;
  // Presents the last frame into dest (whole window when its width or height
  // is 0); source is not used.
  virtual void impl_swapBuffers(const GDevArea& source, const GDevArea& dest) = 0;
  virtual std::u16string formatStatus(std::u16string_view text) = 0;
  // Back-buffer (window) size and the game's screen size (the back-buffer
  // size when either is below 1). False when the back-buffer size is below 1.
  virtual bool setWindowSize(int32_t backWidth, int32_t backHeight, int32_t screenWidth, int32_t screenHeight) = 0;
  // Clipped to the current target; the requested rectangle is kept in
  // viewport(). False before the first setWindowSize.
  virtual bool setViewport(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  // Starts drawing into target (or the screen when null). False: skip the
  // scene.
  virtual bool impl_beginScene(GDevTexture* target) = 0;
  // Ends the scene; with capture, *captured receives the rendered pixels of
  // the target texture. False when the scene could not be finished.
  virtual bool impl_endScene(bool capture, RGBAImageRef* captured) = 0;
  virtual void afterSwap() {}
  // Drawing into the screen buffer stays inside this rectangle of the
  // screen (null: anywhere) until the clip changes; other targets are not
  // clipped. False, and nothing changes, when the buffer's pixels outside
  // it are not those of the last frame (no screen buffer, or none drawn
  // whole since it was made): the caller then draws the whole screen.
  virtual bool setScreenClip(const GDevArea* area) {
    (void)area;
    return false;
  }
  // True when a rectangle of the current drawing coordinates lies wholly
  // outside the screen clip while the screen buffer is drawn into: nothing
  // drawn inside it could show. False when that cannot be told.
  virtual bool outsideScreenClip(const GDevRectF& rect) const {
    (void)rect;
    return false;
  }
  // The buffer swap was asked to wait for the display's vertical blank and
  // the driver accepted it (it may still not block: the frame step watches).
  virtual bool swapIntervalAccepted() const { return false; }
  virtual void setDialogBoxMode(bool on) = 0;
  // The window was exposed: the next present redraws.
  virtual void refreshWindow() = 0;
  // flags: GDEV_CLEAR_*; color: red, green, blue, alpha in 0..1. 0.
  virtual int clearRegion(uint32_t flags, int32_t x, int32_t y, int32_t width, int32_t height, const float color[4]) = 0;
  // context 0 2D, 1 3D opaque, 2 3D blended; channel mode BLENDINGCONTEXT_*.
  // 0, or -1 for an unknown context.
  virtual int setBlendingContext(int32_t context, int32_t channelMode) = 0;
  virtual void setCulling(bool on) = 0;

  // --- matrices (16 floats, row-major, row vectors: v' = v x M) ---
  virtual void pushMatrix() = 0;
  virtual void popMatrix() = 0;
  virtual void rotate(float degrees, float x, float y, float z) = 0;
  virtual void translate(float x, float y, float z) = 0;
  virtual void translateV(const float v[3]) = 0;
  virtual void multMatrix(const float m[16]) = 0;
  virtual void loadIdentity() = 0;
  virtual void setMatrix(int32_t kind, const float m[16]) = 0;
  virtual void setMatrix(const float m[16]) = 0;
  virtual void getMatrix(int32_t kind, float m[16]) = 0;
  virtual void getMatrix(float m[16]) = 0;
  virtual void commitMatrix() = 0;
  virtual void setMatrixProj_Ortho2D(float left, float top, float right, float bottom) = 0;
  virtual void setMatrixProj_PerspectiveFov(float fovDegrees, float a, float b, float c, float d) = 0;
  virtual void setMatrixLookAt(const float eye[3], const float at[3], const float up[3]) = 0;
  virtual void setMatrixTexture_Ident() = 0;

  // --- filters: mode 0 point, 2 anisotropic (3D only), other linear ---
  virtual void setFilter2D(int32_t mode, bool applyNow) = 0;
  virtual void setFilter3D(int32_t mode, bool applyNow) = 0;
  virtual void setFilterLevel(int32_t level, bool applyNow) = 0;

  // --- textures ---
  virtual bool createTextureObject(const GDevTextureCreateParams& params, GDevTexture** out) = 0;
  virtual bool releaseTextureObject(GDevTexture* texture) = 0;

  // --- drawing: colours are red, green, blue, alpha in 0..1; blend modes
  // GDEV_BLEND_*; alphaBlend 0 means the same as blend ---
  virtual void drawPoint(int32_t x, int32_t y, const float color[4], int32_t blend, int32_t alphaBlend) = 0;
  virtual void drawLine(const GDevRect& line, const float color[4], int32_t blend, int32_t alphaBlend) = 0;
  virtual void drawRect(const GDevRect& rect, const float color[4], int32_t blend, int32_t alphaBlend) = 0;
  // Corner colours: top left, top right, bottom left, bottom right.
  virtual void drawRectGradient(const GDevRect& rect, const float c0[4], const float c1[4], const float c2[4],
                                const float c3[4], int32_t blend, int32_t alphaBlend) = 0;
  virtual void fillRect(const GDevRect& rect, const float color[4], int32_t blend, int32_t alphaBlend) = 0;
  virtual void fillRectGradient(const GDevRect& rect, const float c0[4], const float c1[4], const float c2[4],
                                const float c3[4], int32_t blend, int32_t alphaBlend) = 0;
  virtual void drawTextureQuad(const GDevRectF& rect, const GDevUV& uv, GDevTexture* texture, int32_t blend,
                               int32_t alphaBlend, int32_t premultiplied) = 0;
  virtual void drawTextureColored(const GDevRect& rect, const GDevUV& uv, const float color[4], GDevTexture* texture,
                                  int32_t blend, int32_t alphaBlend, int32_t premultiplied) = 0;
  // first x second.
  virtual void drawTexture2(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, GDevTexture* first,
                            GDevTexture* second, int32_t blend, int32_t alphaBlend) = 0;
  // first (transparent outside its texture) x colour x second.
  virtual void drawTexture2Colored(const GDevRect& rect, const GDevUV& uv1, const GDevUV& uv2, GDevTexture* first,
                                   GDevTexture* second, const float color[4], int32_t blend, int32_t alphaBlend) = 0;
  // second x p + first x (1 - p), p in 0..1; both rectangles must be equal.
  virtual void crossFade(const GDevRect& rect1, const GDevUV& uv1, const GDevRect& rect2, const GDevUV& uv2,
                         GDevTexture* first, GDevTexture* second, float progress, int32_t blend,
                         int32_t alphaBlend) = 0;
  // to x a + from x (1 - a), a the rule's alpha; the three rectangles must be equal.
  virtual void ruleFade(const GDevRect& fromRect, const GDevUV& fromUV, const GDevRect& toRect, const GDevUV& toUV,
                        const GDevRect& ruleRect, const GDevUV& ruleUV, GDevTexture* from, GDevTexture* to,
                        GDevTexture* rule, int32_t blend, int32_t alphaBlend) = 0;
  // Colour of the first texture with the alpha of the second, copied.
  virtual void drawTextureWithAlpha(const GDevRect& rect, const GDevUV& uv, GDevTexture* color,
                                    GDevTexture* alpha) = 0;
  virtual void releaseCachedResources() = 0;

  // --- state every device keeps ---
  // The rectangle last given to setViewport (-1 each before the first).
  const GDevArea& viewport() const { return viewport_; }
  int32_t channelMode() const { return channelMode_; }
  int32_t filter2D() const { return filter2D_; }
  int32_t filter3D() const { return filter3D_; }
  int32_t filterLevel() const { return filterLevel_; }
  bool isAccelerated() const { return accelerated_; }
  // 3 once the capability check has passed.
  int32_t accelerationLevel() const { return accelerationLevel_; }

 protected:
  int32_t filter2D_ = 1;
  int32_t filter3D_ = 1;
  int32_t filterLevel_ = 0;
  bool accelerated_ = false;
  int32_t accelerationLevel_ = 0;
  int32_t channelMode_ = BLENDINGCONTEXT_BOTH;
  GDevArea viewport_{-1, -1, -1, -1};
};

// The message the main window shows when the device cannot start (empty
// until a start-up fails).
std::u16string& GDevStartupErrorText();

// The power of two a device texture of this size is stored in: 1 for 0 or
// 1 (and below), else the next power of two (at most 2^30).
int32_t RoundUpPow2(int32_t size);

// The fraction of a device texture made for creationSize pixels that a
// picture of pictureSize pixels covers: pictureSize / RoundUpPow2(creationSize).
float TextureExtent(int32_t pictureSize, int32_t creationSize);
