// The encoded-block codec over zlib.
#include "app/ee_codec.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kHeaderLength = 8;
constexpr size_t kStagingSize = 4096;

uint32_t readLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void scramble(uint8_t* data, size_t size, const std::array<uint8_t, 4>& key, uint64_t offset) {
  for (size_t i = 0; i < size; ++i) data[i] ^= key[(offset + i) & 3];
}

}  // namespace

std::array<uint8_t, 4> MakeEEKey(uint32_t plainSize) {
  // A fixed mix of the size's bits (multiply, xor-shift); any fixed rule works
  // as long as every encoder and decoder share it.
  uint32_t x = plainSize * 0x9E3779B1u + 0x7F4A7C15u;
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  return {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x >> 16),
          static_cast<uint8_t>(x >> 24)};
}

bool ParseEEHeader(const uint8_t* data, size_t length, uint32_t* plainSize, bool* isZip,
                   size_t* headerLength) {
  if (!data || length < kHeaderLength) return false;
  bool zip;
  if (memcmp(data, "EENC", 4) == 0) {
    zip = false;
  } else if (memcmp(data, "EENZ", 4) == 0) {
    zip = true;
  } else {
    return false;
  }
  if (plainSize) *plainSize = readLE32(data + 4);
  if (isZip) *isZip = zip;
  if (headerLength) *headerLength = kHeaderLength;
  return true;
}

void EncodeEEBuffer(std::vector<uint8_t>* out, const uint8_t* data, size_t size, bool compress) {
  const uint32_t plain = static_cast<uint32_t>(size);
  const size_t start = out->size();
  out->insert(out->end(), compress ? "EENZ" : "EENC", (compress ? "EENZ" : "EENC") + 4);
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(plain >> (8 * i)));
  const std::array<uint8_t, 4> key = MakeEEKey(plain);
  const size_t bodyStart = start + kHeaderLength;
  if (!compress) {
    if (size > 0) out->insert(out->end(), data, data + size);
  } else {
    uLongf packed = compressBound(static_cast<uLong>(size));
    out->resize(bodyStart + packed);
    const Bytef empty = 0;
    compress2(out->data() + bodyStart, &packed, size ? data : &empty, static_cast<uLong>(size),
              Z_DEFAULT_COMPRESSION);
    out->resize(bodyStart + packed);
  }
  scramble(out->data() + bodyStart, out->size() - bodyStart, key, 0);
}

bool ZlibCompressPlain(std::vector<uint8_t>* out, const uint8_t* data, size_t size) {
  uLongf packed = compressBound(static_cast<uLong>(size));
  out->resize(packed);
  const Bytef empty = 0;
  const int rc = compress2(out->data(), &packed, size ? data : &empty, static_cast<uLong>(size), Z_DEFAULT_COMPRESSION);
  out->resize(rc == Z_OK ? packed : 0);
  return rc == Z_OK;
}

EEDecodeResult DecodeEEBuffer(std::vector<uint8_t>* out, const uint8_t* data, size_t size, size_t* unread) {
  if (unread) *unread = 0;
  uint32_t plain = 0;
  bool zip = false;
  size_t header = 0;
  if (!ParseEEHeader(data, size, &plain, &zip, &header)) return EEDecodeResult::kNotEncoded;
  if (plain > kMaxEEPlainSize) return EEDecodeResult::kFailed;
  const std::array<uint8_t, 4> key = MakeEEKey(plain);
  const size_t bodySize = size - header;
  if (!zip) {
    if (static_cast<uint64_t>(bodySize) != plain) return EEDecodeResult::kFailed;
    out->assign(data + header, data + size);
    scramble(out->data(), out->size(), key, 0);
    return EEDecodeResult::kDecoded;
  }
  // zlib expands at most about 1032 to 1: a size field beyond that is a lie,
  // refused before any memory is taken for it.
  if (plain > static_cast<uint64_t>(bodySize) * 1032u + 64u) return EEDecodeResult::kFailed;
  std::vector<uint8_t> body(data + header, data + size);
  scramble(body.data(), body.size(), key, 0);
  // One byte of room beyond the plain size tells a longer stream apart.
  std::vector<uint8_t> plainBytes(static_cast<size_t>(plain) + 1);
  uLongf produced = static_cast<uLongf>(plainBytes.size());
  uLong consumed = static_cast<uLong>(body.size());
  const Bytef empty = 0;
  const int rc = uncompress2(plainBytes.data(), &produced, body.empty() ? &empty : body.data(), &consumed);
  if (rc != Z_OK || produced != plain) return EEDecodeResult::kFailed;
  if (unread) *unread = body.size() - consumed;
  plainBytes.resize(plain);
  out->swap(plainBytes);
  return EEDecodeResult::kDecoded;
}

namespace CommonLib {

namespace {

class EESDI_Encrypt final : public EEStreamDec::EEStreamDecImpl {
 public:
  bool begin(const uint8_t* input, size_t length, size_t* consumed) override {
    bool zip = true;
    if (started_ || !ParseEEHeader(input, length, &plainSize_, &zip, nullptr) || zip) return false;
    key_ = MakeEEKey(plainSize_);
    started_ = true;
    *consumed = kHeaderLength;
    return true;
  }

  bool decode(const uint8_t* input, size_t inputLength, size_t* consumed, uint8_t* output,
              size_t outputLength, size_t* produced, bool* done) override {
    *consumed = *produced = 0;
    if (!started_) return false;
    const uint64_t due = plainSize_ - done_;
    if (due == 0) {
      *done = true;
      return true;
    }
    size_t n = inputLength < outputLength ? inputLength : outputLength;
    if (n > due) n = static_cast<size_t>(due);
    memcpy(output, input, n);
    scramble(output, n, key_, done_);
    done_ += n;
    *consumed = *produced = n;
    *done = done_ == plainSize_;
    return true;
  }

 private:
  bool started_ = false;
  uint32_t plainSize_ = 0;
  uint64_t done_ = 0;
  std::array<uint8_t, 4> key_{};
};

class EESDI_EncryptAndZip final : public EEStreamDec::EEStreamDecImpl {
 public:
  ~EESDI_EncryptAndZip() override {
    if (started_) inflateEnd(&stream_);
  }

  bool begin(const uint8_t* input, size_t length, size_t* consumed) override {
    bool zip = false;
    if (started_ || !ParseEEHeader(input, length, &plainSize_, &zip, nullptr) || !zip) return false;
    memset(&stream_, 0, sizeof stream_);
    if (inflateInit(&stream_) != Z_OK) return false;
    key_ = MakeEEKey(plainSize_);
    started_ = true;
    *consumed = kHeaderLength;
    return true;
  }

  bool decode(const uint8_t* input, size_t inputLength, size_t* consumed, uint8_t* output,
              size_t outputLength, size_t* produced, bool* done) override {
    *consumed = *produced = 0;
    if (!started_) return false;
    if (produced_ == plainSize_) {
      *done = true;
      return true;
    }
    // Never more than the plain size, whatever the stream holds.
    const uint64_t due = plainSize_ - produced_;
    const size_t window = static_cast<size_t>(outputLength < due ? outputLength : due);
    stream_.next_out = output;
    stream_.avail_out = static_cast<uInt>(window);
    size_t taken = 0;
    while (stream_.avail_out > 0) {
      if (stream_.avail_in == 0) {
        if (taken == inputLength) break;
        size_t n = inputLength - taken;
        if (n > kStagingSize) n = kStagingSize;
        memcpy(staging_, input + taken, n);
        scramble(staging_, n, key_, scrambledTaken_);
        scrambledTaken_ += n;
        taken += n;
        stream_.next_in = staging_;
        stream_.avail_in = static_cast<uInt>(n);
      }
      const int rc = inflate(&stream_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended_ = true;
        break;
      }
      if (rc == Z_BUF_ERROR && stream_.avail_in == 0) continue;  // wants more input
      if (rc != Z_OK) {
        fprintf(stderr, "inflate: %s\n", stream_.msg ? stream_.msg : "???");
        return false;
      }
    }
    const size_t out = window - stream_.avail_out;
    produced_ += out;
    *consumed = taken;
    *produced = out;
    *done = produced_ == plainSize_;
    // A stream that ended before the plain size is corrupt.
    if (ended_ && !*done) return false;
    return true;
  }

 private:
  bool started_ = false;
  bool ended_ = false;
  z_stream stream_{};
  uint8_t staging_[kStagingSize];
  uint32_t plainSize_ = 0;
  uint64_t scrambledTaken_ = 0;
  uint64_t produced_ = 0;
  std::array<uint8_t, 4> key_{};
};

}  // namespace

EEStreamDec::EEStreamDec() = default;
EEStreamDec::~EEStreamDec() = default;

bool EEStreamDec::begin(const uint8_t* input, size_t length, size_t* consumed) {
  uint32_t plain = 0;
  bool zip = false;
  if (impl_ || !ParseEEHeader(input, length, &plain, &zip, nullptr) || plain > kMaxEEPlainSize) return false;
  if (zip) {
    impl_ = std::make_unique<EESDI_EncryptAndZip>();
  } else {
    impl_ = std::make_unique<EESDI_Encrypt>();
  }
  return impl_->begin(input, length, consumed);
}

bool EEStreamDec::decode(const uint8_t* input, size_t inputLength, size_t* consumed, uint8_t* output,
                         size_t outputLength, size_t* produced, bool* done) {
  *consumed = *produced = 0;
  return impl_ && impl_->decode(input, inputLength, consumed, output, outputLength, produced, done);
}

}  // namespace CommonLib
