#include "app/input_stream.h"

bool ZEPFileInputStream::open(std::u16string_view path, std::unique_ptr<ZEPInputStream>* stream) {
  std::unique_ptr<FileStream> file = OpenFileByMode(path, 0);
  if (!file) return false;
  stream->reset(new ZEPFileInputStream(std::move(file)));
  return true;
}

bool ZEPFileInputStream::read(void* buffer, size_t count, size_t* got) {
  *got = 0;
  if (count == 0) return true;
  const size_t n = file_->read(buffer, 1, count);
  if (n < count && file_->error()) return false;
  *got = n;
  return true;
}

bool ZEPFileInputStream::isEOF() { return file_->eof(); }

bool ZEPFileInputStream::isError() { return file_->error(); }

bool ZEPEasyEncFileInputStream::open(std::u16string_view path, std::unique_ptr<ZEPInputStream>* stream) {
  std::unique_ptr<FileStream> file = OpenFileByMode(path, 0);
  if (!file) return false;
  stream->reset(new ZEPEasyEncFileInputStream(std::move(file)));
  return true;
}

bool ZEPEasyEncFileInputStream::refill() {
  if (left_ > 0 || file_->eof()) return true;
  const size_t n = file_->read(raw_, 1, kRawSize);
  if (n < kRawSize && file_->error()) return false;
  next_ = raw_;
  left_ = n;
  return true;
}

bool ZEPEasyEncFileInputStream::read(void* buffer, size_t count, size_t* got) {
  *got = 0;
  if (error_) return false;
  if (count == 0 || end_) return true;
  if (needBegin_) {
    size_t consumed = 0;
    if (!refill() || !decoder_.begin(next_, left_, &consumed)) {
      error_ = true;
      return false;
    }
    skip(consumed);
    needBegin_ = false;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t produced = 0;
  bool done = false;
  while (!done && produced < count) {
    if (!refill()) {
      error_ = true;
      return false;
    }
    size_t consumed = 0;
    size_t made = 0;
    if (!decoder_.decode(next_, left_, &consumed, out + produced, count - produced, &made, &done)) {
      error_ = true;
      return false;
    }
    skip(consumed);
    produced += made;
    // No progress although input was there (corrupt), or with the file used
    // up (truncated): never loop.
    if (!done && consumed == 0 && made == 0 && (left_ > 0 || file_->eof())) {
      error_ = true;
      return false;
    }
  }
  end_ = done;
  *got = produced;
  return true;
}
