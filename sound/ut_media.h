// The byte sources a sound is decoded from: a file, a private copy of a
// memory block, and the wrapper that undoes the inversion of a stream's
// first 2048 bytes. A media is owned by one decoder and used by one thread
// at a time (the caller's or a stream channel's, under its mutex).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/sound_records.h"

namespace platform {
class File;
}

class UTMedia {
 public:
  virtual ~UTMedia() = default;
  // Copies up to `bytes` bytes from the current position into buffer and
  // advances past them; the count copied, 0 at the end or on failure.
  virtual size_t read(void* buffer, size_t bytes) = 0;
  // Moves the position: origin 0 from the start, 1 from the current
  // position, 2 from the end. The new position in bytes, or -1 when the
  // seek is refused (position unchanged).
  virtual int64_t seek(int64_t offset, int origin) = 0;
  // Total bytes, as taken when the media was opened.
  virtual int64_t size() const = 0;
  // Current position in bytes, or -1 when it cannot be read.
  virtual int64_t tell() const = 0;
  // Reserved: always 0 with *out set to 0.
  virtual int32_t getAux(int64_t* out) const {
    *out = 0;
    return 0;
  }
};

// A file opened for reading ("/" paths, UTF-16); its length is taken at open.
class UTMedia_FILE final : public UTMedia {
 public:
  // Null when the file cannot be opened (missing, a folder, no permission).
  static std::unique_ptr<UTMedia_FILE> open(const std::u16string& path);
  ~UTMedia_FILE() override;

  size_t read(void* buffer, size_t bytes) override;
  int64_t seek(int64_t offset, int origin) override;
  int64_t size() const override { return size_; }
  int64_t tell() const override;

 private:
  UTMedia_FILE(std::unique_ptr<platform::File> file, int64_t size);

  std::unique_ptr<platform::File> file_;
  int64_t size_;
};

// A shared, immutable byte block. Seeks are clamped to 0..size.
class UTMedia_MEM final : public UTMedia {
 public:
  explicit UTMedia_MEM(SoundBytes bytes);

  size_t read(void* buffer, size_t bytes) override;
  int64_t seek(int64_t offset, int origin) override;
  int64_t size() const override { return static_cast<int64_t>(bytes_->size()); }
  int64_t tell() const override { return position_; }

 private:
  SoundBytes bytes_;
  int64_t position_ = 0;
};

// Reads an inner media whose first 2048 bytes are stored bit-inverted and
// hands them out restored, however the reads are split; every byte from
// offset 2048 on passes unchanged. Seek, size, tell and getAux are the
// inner media's.
class UTMedia_Decriptor final : public UTMedia {
 public:
  static constexpr int64_t kInvertedBytes = 2048;

  explicit UTMedia_Decriptor(std::unique_ptr<UTMedia> inner) : inner_(std::move(inner)) {}

  size_t read(void* buffer, size_t bytes) override;
  int64_t seek(int64_t offset, int origin) override { return inner_->seek(offset, origin); }
  int64_t size() const override { return inner_->size(); }
  int64_t tell() const override { return inner_->tell(); }
  int32_t getAux(int64_t* out) const override { return inner_->getAux(out); }

 private:
  std::unique_ptr<UTMedia> inner_;
};
