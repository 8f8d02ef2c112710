// Byte streams that readers (the PNG decoder among them) pull file data
// through: a plain file, and a file holding one encoded block, decoded on the
// fly in 16 KiB pieces so a large encoded file is never held twice. One
// thread at a time per stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "app/ee_codec.h"
#include "app/file_helpers.h"

struct ZEPInputStream {
  virtual ~ZEPInputStream() = default;
  // Reads up to count bytes; got receives how many. False on an error.
  virtual bool read(void* buffer, size_t count, size_t* got) = 0;
  virtual bool isEOF() = 0;
  virtual bool isError() = 0;
};

class ZEPFileInputStream : public ZEPInputStream {
 public:
  // False when the file cannot be opened for binary reading.
  static bool open(std::u16string_view path, std::unique_ptr<ZEPInputStream>* stream);

  bool read(void* buffer, size_t count, size_t* got) override;
  bool isEOF() override;
  bool isError() override;

 private:
  explicit ZEPFileInputStream(std::unique_ptr<FileStream> file) : file_(std::move(file)) {}
  std::unique_ptr<FileStream> file_;
};

class ZEPEasyEncFileInputStream : public ZEPInputStream {
 public:
  // False when the file cannot be opened for binary reading. The header is
  // read by the first read.
  static bool open(std::u16string_view path, std::unique_ptr<ZEPInputStream>* stream);

  // After an error every read fails at once; after the end every read gives
  // 0 bytes and true. Truncated or corrupt data are an error.
  bool read(void* buffer, size_t count, size_t* got) override;
  bool isEOF() override { return end_; }
  bool isError() override { return error_; }

 private:
  static constexpr size_t kRawSize = 16384;

  explicit ZEPEasyEncFileInputStream(std::unique_ptr<FileStream> file) : file_(std::move(file)) {}
  // Reads more raw bytes when none are left; false on a read error.
  bool refill();
  void skip(size_t n) {
    next_ += n;
    left_ -= n;
  }

  std::unique_ptr<FileStream> file_;
  const uint8_t* next_ = nullptr;
  size_t left_ = 0;
  bool needBegin_ = true;
  bool end_ = false;
  bool error_ = false;
  CommonLib::EEStreamDec decoder_;
  uint8_t raw_[kRawSize];
};
