#include "gdev/rgba_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "app/log.h"

bool ImageSizeWithinCap(const char16_t* who, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return true;
  if (width <= kMaxImageSide && height <= kMaxImageSide &&
      static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4 <= kMaxImagePixelBytes) {
    return true;
  }
  LogWrite(LOG_WARN, u"%s : 画像が大きすぎる(%d x %d)\n", who, width, height);
  return false;
}

RGBAImage::RGBAImage(int32_t format, int32_t width, int32_t height) : format(format), width(width), height(height) {
  if (!ImageSizeWithinCap(u"RGBAImage", width, height)) {
    this->width = 0;
    this->height = 0;
    return;
  }
  pixels.resize(static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)) * 4);
}

RGBAImage::RGBAImage(int32_t format, int32_t width, int32_t height, const std::vector<uint8_t>& bytes)
    : format(format), width(width), height(height), pixels(bytes) {}

RGBAImage::RGBAImage(int32_t format, int32_t width, int32_t height, std::vector<uint8_t>&& bytes)
    : format(format), width(width), height(height), pixels(std::move(bytes)) {
  bytes.clear();
}

// The pixels and the logical images (holders) that see them.
struct RGBAImageRef::Node {
  RGBAImage image;
  std::vector<Holder*> sharers;
};

// One logical image: the handles that are copies of each other.
struct RGBAImageRef::Holder {
  long count = 1;
  Node* node = nullptr;
};

namespace {

template <class Holder, class Node>
void attach(Holder* holder, Node* node) {
  holder->node = node;
  node->sharers.push_back(holder);
}

template <class Holder>
void detach(Holder* holder) {
  auto& sharers = holder->node->sharers;
  sharers.erase(std::find(sharers.begin(), sharers.end(), holder));
  if (sharers.empty()) delete holder->node;
  holder->node = nullptr;
}

}  // namespace

RGBAImageRef::RGBAImageRef(RGBAImage image) : holder_(new Holder) {
  attach(holder_, new Node{std::move(image), {}});
}

RGBAImageRef::RGBAImageRef(const RGBAImageRef& other) : holder_(other.holder_) {
  if (holder_) ++holder_->count;
}

RGBAImageRef::RGBAImageRef(RGBAImageRef&& other) noexcept : holder_(std::exchange(other.holder_, nullptr)) {}

RGBAImageRef& RGBAImageRef::operator=(const RGBAImageRef& other) {
  if (holder_ == other.holder_) return *this;
  RGBAImageRef copy(other);
  std::swap(holder_, copy.holder_);
  return *this;
}

RGBAImageRef& RGBAImageRef::operator=(RGBAImageRef&& other) noexcept {
  if (this != &other) {
    reset();
    holder_ = std::exchange(other.holder_, nullptr);
  }
  return *this;
}

RGBAImageRef::~RGBAImageRef() { reset(); }

void RGBAImageRef::reset() {
  Holder* holder = std::exchange(holder_, nullptr);
  if (holder && --holder->count == 0) {
    detach(holder);
    delete holder;
  }
}

RGBAImageRef RGBAImageRef::share() const {
  RGBAImageRef result;
  if (holder_) {
    result.holder_ = new Holder;
    attach(result.holder_, holder_->node);
  }
  return result;
}

const RGBAImage* RGBAImageRef::get() const { return holder_ ? &holder_->node->image : nullptr; }

RGBAImage* RGBAImageRef::getWA() {
  if (!holder_) return nullptr;
  if (holder_->node->sharers.size() >= 2) {
    LogWrite(LOG_TRACE, u"getWA::copy\n");
    auto* node = new Node{holder_->node->image, {}};
    detach(holder_);
    attach(holder_, node);
  }
  return &holder_->node->image;
}

int32_t RGBAImageRef::alphaKind() const {
  const RGBAImage* image = get();
  if (!image) return 1;
  const std::vector<uint8_t>& p = image->pixels;
  // Eight pixels a step: their words ANDed keep every alpha bit only when
  // each alpha byte is 255.
  constexpr uint64_t kAlphaBits = 0xFF000000FF000000ull;
  const size_t pixels = p.size() / 4;
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    uint64_t words[4];
    std::memcpy(words, p.data() + i * 4, sizeof words);
    if ((words[0] & words[1] & words[2] & words[3] & kAlphaBits) != kAlphaBits) return 3;
  }
  for (; i < pixels; ++i) {
    if (p[i * 4 + 3] != 255) return 3;
  }
  return 1;
}
