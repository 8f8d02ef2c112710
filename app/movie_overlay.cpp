// The movie's picture as one device texture, updated from the player's
// frames and drawn over the screen buffer. Main thread.
#include "app/movie_overlay.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "app/movie_screen.h"
#include "gdev/gdev.h"

namespace main_window_local {

namespace {

// Lends the newest frame's pixels to the device texture.
class MoviePixels final : public GDevPixelSource {
 public:
  void getImage(RGBAImageRef& out) override { out = image_.share(); }
  uint32_t getRevision() override { return revision_; }
  void setPixels(const std::vector<uint8_t>&) override {}  // never a render target
  void deviceTextureDeleted(GDevTexture* texture) override {
    if (texture == texture_) texture_ = nullptr;
  }

  // Takes the frame's pixels over; the last picture's go back to the
  // player (the texture has them).
  void take(MovieFrame& frame, MovieScreen* player) {
    if (image_ && image_->width == frame.width && image_->height == frame.height) {
      if (RGBAImage* old = image_.getWA()) player->giveBack(std::move(old->pixels));
    }
    image_ = RGBAImageRef(RGBAImage(0, frame.width, frame.height, std::move(frame.bgra)));
    revision_ = frame.revision;
  }

  bool ensureTexture(GDev* device, int32_t width, int32_t height) {
    if (texture_) {
      int32_t w = 0, h = 0;
      texture_->getSize(&w, &h);
      if (w == width && h == height) return true;
      release(device);
    }
    GDevTextureCreateParams params;
    params.width = width;
    params.height = height;
    params.format = 1;
    params.source = this;
    return device->createTextureObject(params, &texture_) && texture_;
  }

  void release(GDev* device) {
    if (texture_ && device) device->releaseTextureObject(texture_);
    texture_ = nullptr;
    image_.reset();
  }

  GDevTexture* texture() const { return texture_; }
  MovieFrame frame;  // the last frame taken: its place and size

 private:
  RGBAImageRef image_;
  uint32_t revision_ = 0;
  GDevTexture* texture_ = nullptr;
};

// Lives as long as the process: it must outlive its texture.
MoviePixels& pixels() {
  static MoviePixels* instance = new MoviePixels;
  return *instance;
}

}  // namespace

bool DrawMovieOverlay(GDev* device, int32_t logicalW, int32_t logicalH) {
  MovieScreen* player = GetMovieScreen();
  MoviePixels& source = pixels();
  if (!player || !player->takeFrame(&source.frame)) return false;
  const MovieFrame& frame = source.frame;
  if (frame.width < 1 || frame.height < 1 || frame.bgra.size() != size_t(frame.width) * size_t(frame.height) * 4) {
    return false;
  }
  source.take(source.frame, player);
  if (!source.ensureTexture(device, frame.width, frame.height)) return false;
  if (!device->impl_beginScene(nullptr)) return false;
  device->setViewport(0, 0, logicalW, logicalH);
  device->setMatrixTexture_Ident();
  device->setBlendingContext(0, BLENDINGCONTEXT_BOTH);
  device->setMatrixProj_Ortho2D(0.0f, 0.0f, static_cast<float>(logicalW), static_cast<float>(logicalH));
  device->pushMatrix();
  device->loadIdentity();
  const bool whole = frame.w < 1 || frame.h < 1;
  const float x0 = whole ? 0.0f : static_cast<float>(frame.x);
  const float y0 = whole ? 0.0f : static_cast<float>(frame.y);
  const GDevRectF rect{x0, y0, x0 + static_cast<float>(whole ? logicalW : frame.w),
                       y0 + static_cast<float>(whole ? logicalH : frame.h)};
  // The texture's storage is a power of two: the picture fills its corner.
  const GDevUV uv{0.0f, 0.0f, TextureExtent(frame.width, frame.width), TextureExtent(frame.height, frame.height)};
  device->drawTextureQuad(rect, uv, source.texture(), GDEV_BLEND_COPY, 0, 0);
  device->popMatrix();
  return device->impl_endScene(false, nullptr);
}

void ReleaseMovieOverlay(GDev* device) {
  MoviePixels& source = pixels();
  if (source.texture()) source.release(device);
}

}  // namespace main_window_local
