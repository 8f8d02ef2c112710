// The texture manager's name map, release cache and deletion queue, its
// sweep, and the texture makers built on it (colour names, colour, text and
// cursor textures). Main thread only.
#include "gdev/texture_manager.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/timer.h"
#include "gdev/cursor_file.h"
#include "gdev/image_file.h"

namespace {

bool isBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Reads up to four decimal numbers separated by "," the way "%d,%d,%d,%d"
// does (blanks allowed before each number, not before a ","); the count
// read before the first mismatch. Values wrap to 32 bits: only their low
// byte is used.
int parseColorNumbers(std::u16string_view text, uint32_t values[4]) {
  size_t i = 0;
  int count = 0;
  for (; count < 4; ++count) {
    if (count > 0) {
      if (i >= text.size() || text[i] != u',') break;
      ++i;
    }
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
      negative = text[i] == u'-';
      ++i;
    }
    const size_t digits = i;
    uint32_t value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
      value = value * 10u + static_cast<uint32_t>(text[i] - u'0');
      ++i;
    }
    if (i == digits) break;
    values[count] = negative ? 0u - value : value;
  }
  return count;
}

RGBAImageRef colorImage(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  return RGBAImageRef(RGBAImage(0, 1, 1, std::vector<uint8_t>{blue, green, red, alpha}));
}

int64_t clockNow() { return GetTimerManager()->now(); }

}  // namespace

ZEPTextureManager::~ZEPTextureManager() {
  for (ZEPTexture* texture : cache_) delete texture;
  for (ZEPTexture* texture : queue_) delete texture;
  // Textures still held by handles outlive the manager: their last handle
  // frees them.
  for (auto& entry : names_) entry.second->manager_ = nullptr;
}

ZEPTextureRef ZEPTextureManager::makeTexture(std::u16string name, RGBAImageRef image, int32_t width,
                                             int32_t height, int32_t coordMode, int32_t secondMode) {
  auto* texture = new ZEPTexture(this, std::move(name), std::move(image), width, height, coordMode, secondMode);
  return ZEPTextureRef::adopt(texture);
}

int32_t ZEPTextureManager::getTexture(ZEPTextureRef& out, std::u16string_view name, int32_t coordMode,
                                      int32_t secondMode) {
  if (name.empty()) return 1;
  if (name[0] != u'#') return loadTexture(out, name, coordMode, secondMode);

  uint32_t values[4] = {0, 0, 0, 255};
  const int count = parseColorNumbers(name.substr(1), values);
  if (count != 3 && count != 4) {
    LogWrite(LOG_WARN, u"色フォーマットが間違っているので、白(255,255,255,255)にします。(%s)\n",
             std::u16string(name));
    std::fill(values, values + 4, 255u);
  }
  // Colour textures always take modes 1 and 3, whatever was asked for.
  return createFromImage(out,
                         colorImage(static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]),
                                    static_cast<uint8_t>(values[2]), static_cast<uint8_t>(values[3])),
                         1, 3);
}

int32_t ZEPTextureManager::loadTexture(ZEPTextureRef& out, std::u16string_view name, int32_t coordMode,
                                       int32_t secondMode) {
  const std::u16string key(name);
  if (auto found = names_.find(key); found != names_.end()) {
    found->second->addRef();
    out = ZEPTextureRef::adopt(found->second);
    return 0;
  }
  auto cached = std::find_if(cache_.begin(), cache_.end(), [&](ZEPTexture* t) { return t->name() == key; });
  if (cached != cache_.end()) {
    ZEPTexture* texture = *cached;
    cache_.erase(cached);
    texture->refCount_ = 1;
    names_.emplace(key, texture);
    out = ZEPTextureRef::adopt(texture);
    return 0;
  }
  RGBAImageRef image;
  int32_t width = 0;
  int32_t height = 0;
  const int32_t code = LoadImageFile(key, &image, 0, &width, &height);
  if (code != 0) {
    // A game that names a picture it lacks shows nothing in its place: say which.
    LogWrite(LOG_WARN, u"ZEPTextureManager::loadTexture() : 画像が読み込めない(%s)\n", key);
    return code;
  }
  ZEPTextureRef made = makeTexture(key, std::move(image), width, height, coordMode, secondMode);
  names_.emplace(key, made.get());
  out = std::move(made);
  return 0;
}

int32_t ZEPTextureManager::createFromImage(ZEPTextureRef& out, const RGBAImageRef& image, int32_t coordMode,
                                           int32_t secondMode) {
  const RGBAImage* pixels = image.get();
  out = makeTexture(std::u16string(), image, pixels ? pixels->width : 0, pixels ? pixels->height : 0, coordMode,
                    secondMode);
  return 0;
}

int32_t ZEPTextureManager::createBlank(ZEPTextureRef& out, int32_t width, int32_t height, int32_t coordMode,
                                       int32_t secondMode) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const bool fits = ImageSizeWithinCap(u"ZEPTextureManager::createBlank", width, height);
  if (!fits) width = height = 0;
  out = makeTexture(std::u16string(), RGBAImageRef(RGBAImage(0, width, height)), width, height, coordMode,
                    secondMode);
  return fits ? 0 : 1;
}

void ZEPTextureManager::purgeCached(std::u16string_view name) {
  if (name.empty()) return;
  auto cached = std::find_if(cache_.begin(), cache_.end(), [&](ZEPTexture* t) { return t->name() == name; });
  if (cached == cache_.end()) return;
  ZEPTexture* texture = *cached;
  cache_.erase(cached);
  queue(texture);
}

void ZEPTextureManager::queue(ZEPTexture* texture) {
  texture->releaseDeviceTexture();
  queue_.push_back(texture);
}

void ZEPTextureManager::releaseTexture(ZEPTexture* texture) {
  if (texture->name().empty()) {
    queue(texture);
    return;
  }
  if (auto found = names_.find(texture->name()); found != names_.end() && found->second == texture) {
    names_.erase(found);
  }
  texture->releaseDeviceTexture();
  texture->lastReleaseTime_ = static_cast<uint64_t>(clockNow());
  cache_.push_back(texture);
}

void ZEPTextureManager::finalize() {
  // The most recently released go first: the cache keeps its oldest
  // entries until the age rule takes them.
  while (!cache_.empty() && cache_.size() >= static_cast<size_t>(countLimit_)) {
    ZEPTexture* texture = cache_.back();
    cache_.pop_back();
    queue(texture);
  }
  if (!cache_.empty()) {
    // Signed: early in a run the clock may be below the age limit.
    const int64_t threshold = clockNow() - int64_t{ageLimitSeconds_} * 1000;
    for (auto it = cache_.begin(); it != cache_.end();) {
      if (static_cast<int64_t>((*it)->lastReleaseTime_) < threshold) {
        queue(*it);
        it = cache_.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::vector<ZEPTexture*> doomed;
  doomed.swap(queue_);
  for (ZEPTexture* texture : doomed) delete texture;
  const int deleted = static_cast<int>(doomed.size());
  if (deleted > 0) LogWrite(LOG_TRACE, u"ZEPTextureManager::finalize() : %d textures deleted!\n", deleted);
}

void ZEPTextureManager::dropCached() {
  for (ZEPTexture* texture : cache_) queue(texture);
  cache_.clear();
  finalize();
}

void ZEPTextureManager::setLimits(int32_t count, int32_t ageSeconds) {
  countLimit_ = std::clamp(count, 4, 1000);
  ageLimitSeconds_ = std::clamp(ageSeconds, 5, 1200);
}

ZEPTextureManager& GetTextureManager() {
  static ZEPTextureManager* manager = new ZEPTextureManager();
  return *manager;
}

void SetTextureCacheLimits(int32_t count, int32_t ageSeconds) { GetTextureManager().setLimits(count, ageSeconds); }

ZEPTextureRef MakeColorTexture(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  ZEPTextureRef out;
  GetTextureManager().createFromImage(out, colorImage(red, green, blue, alpha), 1, 3);
  return out;
}

void RenderTextTexture(FontRendererTable& table, ZEPTextureRef& out, const TextRenderParams& params,
                       std::u16string_view text, int32_t extra) {
  RGBAImageRef image;
  RenderTextImage(table, image, params, text, extra);
  if (!image) {
    out.reset();
    return;
  }
  GetTextureManager().createFromImage(out, image, 1, 3);
}

void RenderTextTexture(ZEPTextureRef& out, const TextRenderParams& params, std::u16string_view text,
                       int32_t extra) {
  RenderTextTexture(GetFontRendererTable(), out, params, text, extra);
}

namespace {

// The whole cursor file decoded; false when it is not there or cannot be
// read or decoded (a WARN with the name for a file that is there).
bool readCursorFile(std::u16string_view name, CursorRecord* record) {
  const std::u16string path = ExistingPath(name);
  if (path.empty()) return false;
  const auto refuse = [&] {
    LogWrite(LOG_WARN, u"LoadCursorTextures : カーソルファイルが読み込めない(%s)\n", std::u16string(name));
    return false;
  };
  std::vector<uint8_t> bytes;
  {
    std::unique_ptr<FileStream> file = OpenFileByMode(path, 0);
    if (!file) return refuse();
    const int64_t size = GetFileSize(file.get());
    if (size < 1 || size > kMaxImageFileSize) return refuse();
    bytes.resize(static_cast<size_t>(size));
    if (file->read(bytes.data(), 1, bytes.size()) != bytes.size()) return refuse();
  }
  return DecodeCursorFile(bytes, record) || refuse();
}

}  // namespace

int32_t LoadCursorTextures(std::vector<ZEPTextureRef>* out, std::u16string_view name, CursorHeader* header,
                           int32_t coordMode, int32_t secondMode) {
  CursorRecord record;
  if (!readCursorFile(name, &record)) return 1;

  std::vector<ZEPTextureRef> frames;
  frames.reserve(record.frames.size());
  for (const CursorFrame& frame : record.frames) {
    if (frame.width < 0 || frame.height < 0 ||
        !ImageSizeWithinCap(u"LoadCursorTextures", frame.width, frame.height) ||
        frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4) {
      return 1;
    }
    ZEPTextureRef texture;
    GetTextureManager().createFromImage(texture, RGBAImageRef(RGBAImage(0, frame.width, frame.height, frame.pixels)),
                                        coordMode, secondMode);
    frames.push_back(std::move(texture));
  }
  out->insert(out->end(), std::make_move_iterator(frames.begin()), std::make_move_iterator(frames.end()));
  header->width = record.width;
  header->height = record.height;
  header->rate = record.rate;
  header->hotspotX = record.hotspotX;
  header->hotspotY = record.hotspotY;
  return 0;
}
