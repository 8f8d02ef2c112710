// The texture manager: shares textures by file name, keeps released named
// textures in a cache for a while (their pixels stay, their device textures
// go), and frees textures only in its sweep, run from the frame step. Also
// colour names ("#r,g,b[,a]"), colour, text and cursor textures and the
// cache limits. Main thread only: nothing here is locked.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gdev/glyph_renderer.h"
#include "gdev/rgba_image.h"
#include "gdev/zep_texture.h"

class ZEPTextureManager {
 public:
  // Until the configured values are set.
  static constexpr int32_t kDefaultCountLimit = 70;
  static constexpr int32_t kDefaultAgeLimitSeconds = 15;

  ZEPTextureManager() = default;
  // Frees the cached and queued textures. Named textures still held by
  // handles are freed by their last handle instead; unnamed ones must not
  // outlive the manager.
  ~ZEPTextureManager();
  ZEPTextureManager(const ZEPTextureManager&) = delete;
  ZEPTextureManager& operator=(const ZEPTextureManager&) = delete;

  // The entry point of the scene: 1 for an empty name; a name starting with
  // "#" is a colour ("#r,g,b" or "#r,g,b,a", each the low byte; anything
  // else is white with a WARN line) made as a new 1x1 texture of modes 1
  // and 3; any other name goes to loadTexture. 0 on success. On failure out
  // keeps what it had.
  int32_t getTexture(ZEPTextureRef& out, std::u16string_view name, int32_t coordMode, int32_t secondMode);
  // The texture of that file name: the one in use, else a cached one
  // (revived with its old modes, without reading the file), else the file
  // loaded anew. 0 on success, else the image loader's code with out kept
  // (and a WARN line with the name).
  int32_t loadTexture(ZEPTextureRef& out, std::u16string_view name, int32_t coordMode, int32_t secondMode);
  // A new unnamed texture over the image (shared with the caller: writes
  // through either handle are seen by both). 0.
  int32_t createFromImage(ZEPTextureRef& out, const RGBAImageRef& image, int32_t coordMode, int32_t secondMode);
  // A new unnamed texture over a new zero-filled image. 0; 1 for a size
  // past the image cap (WARN), when the texture is made over an empty 0x0
  // image instead.
  int32_t createBlank(ZEPTextureRef& out, int32_t width, int32_t height, int32_t coordMode, int32_t secondMode);
  // Drops the cached texture of that name (if any) so the next load reads
  // the file again; a texture in use is left alone.
  void purgeCached(std::u16string_view name);
  // Called by the last handle of a texture. Unnamed: queued for freeing.
  // Named: leaves the name map for the back of the cache, stamped with the
  // clock. Either way its device texture goes now; the texture itself stays
  // valid until the next sweep.
  void releaseTexture(ZEPTexture* texture);
  // The sweep: trims the cache below the count limit from its most recently
  // released end, drops entries older than the age limit, then frees every
  // queued texture (TRACE "ZEPTextureManager::finalize() : %d textures
  // deleted!\n" when any were).
  void finalize();
  // Frees every cached and queued texture now: when a game ends, its file
  // names must not bring its pictures into the next game of the process.
  void dropCached();

  // count clamped to 4..1000, age to 5..1200 seconds.
  void setLimits(int32_t count, int32_t ageSeconds);
  int32_t countLimit() const { return countLimit_; }
  int32_t ageLimitSeconds() const { return ageLimitSeconds_; }

  size_t inUseCount() const { return names_.size(); }
  size_t cachedCount() const { return cache_.size(); }
  size_t queuedCount() const { return queue_.size(); }

 private:
  ZEPTextureRef makeTexture(std::u16string name, RGBAImageRef image, int32_t width, int32_t height,
                            int32_t coordMode, int32_t secondMode);
  // Gives back the device texture and queues the texture for freeing.
  void queue(ZEPTexture* texture);

  std::unordered_map<std::u16string, ZEPTexture*> names_;  // named textures in use
  std::list<ZEPTexture*> cache_;                           // released named ones, oldest first
  std::vector<ZEPTexture*> queue_;                         // freed at the next sweep
  int32_t countLimit_ = kDefaultCountLimit;
  int32_t ageLimitSeconds_ = kDefaultAgeLimitSeconds;
};

// The process-wide manager (never destroyed, so handles in static objects
// may outlive everything else).
ZEPTextureManager& GetTextureManager();

// Stores the process-wide manager's limits (clamped as setLimits does).
void SetTextureCacheLimits(int32_t count, int32_t ageSeconds);

// A new unnamed 1x1 texture (modes 1 and 3) whose one pixel is the bytes
// blue, green, red, alpha.
ZEPTextureRef MakeColorTexture(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);

// RenderTextImage, then a new unnamed texture (modes 1 and 3) over the image;
// out becomes empty when no image came back.
void RenderTextTexture(FontRendererTable& table, ZEPTextureRef& out, const TextRenderParams& params,
                       std::u16string_view text, int32_t extra);
void RenderTextTexture(ZEPTextureRef& out, const TextRenderParams& params, std::u16string_view text,
                       int32_t extra);

// What a cursor file says besides its pictures.
struct CursorHeader {
  int32_t width = 0;   // of the last frame read
  int32_t height = 0;
  int32_t rate = 0;    // display time of one frame in 1/60 s
  int32_t hotspotX = 0;
  int32_t hotspotY = 0;
};

// Reads a cursor file (.cur, .ico, .ani) and appends one unnamed texture per
// frame, in frame order, to out; fills the header. 1 when the file cannot be
// read or decoded (nothing appended, header untouched), else 0.
int32_t LoadCursorTextures(std::vector<ZEPTextureRef>* out, std::u16string_view name, CursorHeader* header,
                           int32_t coordMode, int32_t secondMode);
