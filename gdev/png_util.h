// The PNG codec: decoding from memory or from a ZEPInputStream into 32-bit
// pixels, and encoding pixels into a PNG file in memory, on libpng. One codec
// object lives for the whole program behind GetPngUtil(); the two free
// wrappers below are what the image loader and writer call. Main thread
// (every call uses its own libpng structures, so no state is shared).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gdev/rgba_image.h"

struct ZEPInputStream;
struct png_struct_def;  // libpng's png_struct; only gdev/ sees png.h

// Flags of decode and encode.
constexpr uint32_t kPngBGR = 2;       // pixels are blue, green, red, alpha
constexpr uint32_t kPngBottomUp = 8;  // decode only: last image row first
// What the loader and the writer pass: BGRA pixels (bit value 4 is ignored).
constexpr uint32_t kPngEngineFlags = 6;

// Decoded images past the image cap (each side at most kMaxImageSide, at
// most this many pixel bytes, width x height x 4) are refused before
// anything is allocated.
constexpr uint64_t kMaxPngPixelBytes = kMaxImagePixelBytes;  // 1 GiB

// Every operation answers 0 on success and 1 on failure (a corrupt or
// truncated file logs one TRACE line).
class PngUtil {
 public:
  // Decoded pixels are always 4 bytes each, rows top to bottom (bottom-up
  // with kPngBottomUp), no padding; alpha is 255 where the file has none.
  // On failure the out values are unspecified.
  virtual int32_t decodeFromMemory(const uint8_t* data, size_t size, std::vector<uint8_t>* pixels,
                                   int32_t* width, int32_t* height, int32_t* channels,
                                   uint32_t flags) = 0;
  virtual int32_t decodeFromStream(ZEPInputStream* stream, std::vector<uint8_t>* pixels, int32_t* width,
                                   int32_t* height, int32_t* channels, uint32_t flags) = 0;
  // Input pixels are 4 bytes each (width x height x 4 bytes, rows top to
  // bottom); with hasAlpha false the fourth byte is dropped and the file is
  // colour type 2, else 6. Only bit depth 8 is accepted. On success out holds
  // exactly the PNG file; on failure it is empty.
  virtual int32_t encodeToMemory(std::vector<uint8_t>* out, const std::vector<uint8_t>& pixels,
                                 int32_t width, int32_t height, int32_t bitDepth, bool hasAlpha,
                                 uint32_t flags) = 0;

 protected:
  // Not deleted through this interface: the instance is process-wide.
  ~PngUtil() = default;
};

class LibPngUtil : public PngUtil {
 public:
  // The byte source or sink behind libpng's I/O callbacks. A failure is
  // raised with png_error, which never returns: implementations must hold no
  // object with a destructor when they raise it.
  class PngIO {
   public:
    virtual void read_data(png_struct_def* png, uint8_t* buffer, size_t length) = 0;
    virtual void write_data(png_struct_def* png, const uint8_t* buffer, size_t length) = 0;
    virtual void flush(png_struct_def* png) = 0;

   protected:
    ~PngIO() = default;
  };

  // Reads from a stream that stays the caller's. Writing is an error.
  class ZEPInputStreamPngIO final : public PngIO {
   public:
    explicit ZEPInputStreamPngIO(ZEPInputStream* stream) : stream_(stream) {}
    // Anything short of the full length raises "ZEPInputStreamPngIO::read_data".
    void read_data(png_struct_def* png, uint8_t* buffer, size_t length) override;
    // Raises "ZEPInputStreamPngIO::write_data : cannot write!".
    void write_data(png_struct_def* png, const uint8_t* buffer, size_t length) override;
    void flush(png_struct_def*) override {}

   private:
    ZEPInputStream* stream_;
  };

  // A source over the caller's bytes, or (default-constructed) a sink that
  // owns a buffer growing in 32 KiB steps.
  class MemPngIO final : public PngIO {
   public:
    MemPngIO() = default;
    MemPngIO(const uint8_t* data, size_t size) : source_(data), size_(size) {}
    ~MemPngIO();
    MemPngIO(const MemPngIO&) = delete;
    MemPngIO& operator=(const MemPngIO&) = delete;

    // Copies what is left up to the length; a short copy raises
    // "MemPngIO:read_data".
    void read_data(png_struct_def* png, uint8_t* buffer, size_t length) override;
    // Appends at the position. When the capacity is short by s bytes it grows
    // by ((s >> 15) + 1) << 15. A source, or a buffer that cannot grow,
    // raises "MemPngIO:write_data".
    void write_data(png_struct_def* png, const uint8_t* buffer, size_t length) override;
    void flush(png_struct_def*) override {}

    const uint8_t* data() const { return buffer_ ? buffer_ : source_; }
    // A source's length, or a sink's capacity.
    size_t size() const { return size_; }
    size_t position() const { return position_; }

   private:
    const uint8_t* source_ = nullptr;
    uint8_t* buffer_ = nullptr;  // sinks only; from PrivateHeapAlloc
    size_t size_ = 0;
    size_t position_ = 0;
  };

  int32_t decodeFromMemory(const uint8_t* data, size_t size, std::vector<uint8_t>* pixels, int32_t* width,
                           int32_t* height, int32_t* channels, uint32_t flags) override;
  int32_t decodeFromStream(ZEPInputStream* stream, std::vector<uint8_t>* pixels, int32_t* width,
                           int32_t* height, int32_t* channels, uint32_t flags) override;
  int32_t encodeToMemory(std::vector<uint8_t>* out, const std::vector<uint8_t>& pixels, int32_t width,
                         int32_t height, int32_t bitDepth, bool hasAlpha, uint32_t flags) override;

 private:
  int32_t decode(PngIO* io, std::vector<uint8_t>* pixels, int32_t* width, int32_t* height,
                 int32_t* channels, uint32_t flags);
};

// The process-wide codec (a LibPngUtil made with the program).
PngUtil* GetPngUtil();
// Replaces it (tests pass null to see the wrappers fail); returns the old one.
PngUtil* SetPngUtil(PngUtil* util);

// The process-wide codec's decodeFromStream and encodeToMemory; 1 when
// there is no codec.
int32_t DecodePngStream(ZEPInputStream* stream, std::vector<uint8_t>* pixels, int32_t* width,
                        int32_t* height, int32_t* channels, uint32_t flags);
int32_t EncodePngToMemory(std::vector<uint8_t>* out, const std::vector<uint8_t>& pixels, int32_t width,
                          int32_t height, int32_t bitDepth, bool hasAlpha, uint32_t flags);

// libpng's own simplified reader (png_image) straight to BGRA, with none of
// the codec's I/O objects, transformations or checks: the yardstick that the
// codec's benchmark and tests hold the codec against. 0 success, 1 failure.
int32_t DecodePngWithImageApi(const uint8_t* data, size_t size, std::vector<uint8_t>* pixels,
                              int32_t* width, int32_t* height);
