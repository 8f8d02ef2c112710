// Encoded blocks: "EENC" (scrambled) and "EENZ" (zlib-compressed, then
// scrambled) with an 8-byte header (magic, plain size little-endian). The
// whole-buffer encoder and decoder, and the streaming decoder that readers of
// large encoded files pull their bytes through. Pure code, any thread (one
// decoder object per thread).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Data above this plain size are refused as corrupt.
constexpr uint64_t kMaxEEPlainSize = 0x40000000;  // 1 GiB

// The scrambling key of a block: 4 bytes made from its plain size. Every
// encoder and decoder uses this one rule.
std::array<uint8_t, 4> MakeEEKey(uint32_t plainSize);

// True for a header of 8 or more bytes with the "EENC" or "EENZ" magic.
bool ParseEEHeader(const uint8_t* data, size_t length, uint32_t* plainSize, bool* isZip,
                   size_t* headerLength);

// Appends one block holding the data ("EENZ" when compress is set).
void EncodeEEBuffer(std::vector<uint8_t>* out, const uint8_t* data, size_t size, bool compress);

// zlib's compress2 at the level "EENZ" blocks use, and nothing else: the
// yardstick that the settings-file benchmark holds the writer against.
// False when zlib fails.
bool ZlibCompressPlain(std::vector<uint8_t>* out, const uint8_t* data, size_t size);

enum class EEDecodeResult {
  kNotEncoded,  // no valid header: the data are plain
  kDecoded,     // out holds the plain data
  kFailed,      // a valid header whose body does not decode
};

// Decodes one whole block into out (replacing its content). An "EENZ" body
// ends where its zlib stream does: bytes after it are not read, and
// *unread (when given) counts them (0 for every other result).
EEDecodeResult DecodeEEBuffer(std::vector<uint8_t>* out, const uint8_t* data, size_t size, size_t* unread = nullptr);

namespace CommonLib {

// The streaming decoder: begin() on the first input (the header), then
// decode() piece by piece. Truncated data never loop: a decode that can make
// no progress says so by consuming and producing nothing.
class EEStreamDec {
 public:
  class EEStreamDecImpl {
   public:
    virtual ~EEStreamDecImpl() = default;
    virtual bool begin(const uint8_t* input, size_t length, size_t* consumed) = 0;
    virtual bool decode(const uint8_t* input, size_t inputLength, size_t* consumed, uint8_t* output,
                        size_t outputLength, size_t* produced, bool* done) = 0;
  };

  EEStreamDec();
  ~EEStreamDec();

  // Reads the header from the first input; false for data that are not an
  // encoded block, or a plain size above the limit.
  bool begin(const uint8_t* input, size_t length, size_t* consumed);
  // Decodes what the input allows into the output; done once every plain
  // byte was produced. Output never exceeds the plain size. False on corrupt
  // data (the zlib stream fails or ends before the plain size).
  bool decode(const uint8_t* input, size_t inputLength, size_t* consumed, uint8_t* output,
              size_t outputLength, size_t* produced, bool* done);

 private:
  std::unique_ptr<EEStreamDecImpl> impl_;
};

}  // namespace CommonLib
