// The file, memory and inversion-undoing media. Reads never pass the end
// of the bytes the media holds; seeks report -1 when refused.
#include "sound/ut_media.h"

#include <algorithm>
#include <cstring>

#include "platform/file.h"
#include "platform/utf8.h"

std::unique_ptr<UTMedia_FILE> UTMedia_FILE::open(const std::u16string& path) {
  if (path.empty()) return nullptr;
  std::unique_ptr<platform::File> file =
      platform::File::open(platform::ToUtf8(path), platform::File::Access::Read, false);
  if (!file) return nullptr;
  const int64_t size = file->size();
  if (size < 0) return nullptr;
  return std::unique_ptr<UTMedia_FILE>(new UTMedia_FILE(std::move(file), size));
}

UTMedia_FILE::UTMedia_FILE(std::unique_ptr<platform::File> file, int64_t size)
    : file_(std::move(file)), size_(size) {}

UTMedia_FILE::~UTMedia_FILE() = default;

size_t UTMedia_FILE::read(void* buffer, size_t bytes) { return file_->read(buffer, 1, bytes); }

int64_t UTMedia_FILE::seek(int64_t offset, int origin) {
  if (!file_->seek(offset, origin)) return -1;
  return file_->tell();
}

int64_t UTMedia_FILE::tell() const { return file_->tell(); }

UTMedia_MEM::UTMedia_MEM(SoundBytes bytes) : bytes_(std::move(bytes)) {}

size_t UTMedia_MEM::read(void* buffer, size_t bytes) {
  const size_t available = bytes_->size() - static_cast<size_t>(position_);
  const size_t count = std::min(bytes, available);
  if (count == 0) return 0;
  std::memcpy(buffer, bytes_->data() + position_, count);
  position_ += static_cast<int64_t>(count);
  return count;
}

int64_t UTMedia_MEM::seek(int64_t offset, int origin) {
  const int64_t total = size();
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = position_; break;
    case 2: base = total; break;
    default: return -1;
  }
  // base lies in 0..total, so clamping the offset first cannot overflow.
  const int64_t target = base + std::clamp(offset, -total, total);
  position_ = std::clamp<int64_t>(target, 0, total);
  return position_;
}

size_t UTMedia_Decriptor::read(void* buffer, size_t bytes) {
  const int64_t position = inner_->tell();
  if (position < 0) return 0;
  if (position >= kInvertedBytes) return inner_->read(buffer, bytes);
  const size_t head = std::min(bytes, static_cast<size_t>(kInvertedBytes - position));
  auto* out = static_cast<uint8_t*>(buffer);
  const size_t got = inner_->read(out, head);
  for (size_t i = 0; i < got; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  if (got < head || bytes == head) return got;
  return head + inner_->read(out + head, bytes - head);
}
