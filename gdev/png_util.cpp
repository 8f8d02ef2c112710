// The libpng codec. libpng reports errors by longjmp: every function here
// that calls setjmp holds only plain data, and the C++ objects of a decode or
// encode (pixel vector, row pointers, I/O objects) live in its caller, so the
// jump never skips a destructor. Main thread.
#include "gdev/png_util.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "app/input_stream.h"
#include "app/log.h"
#include "app/private_heap.h"
#include "app/string_util.h"

namespace {

// Logs libpng's message; returns before the caller jumps, so its strings are
// gone by then.
void logPngError(png_const_charp message) {
  const char* text = message ? message : "";
  LogWrite(LOG_TRACE, u"win32PngUtil::error() : 処理中にエラーが発生(%s)\n",
           MultiByteToWString(text, strlen(text)));
}

void onPngError(png_structp png, png_const_charp message) {
  logPngError(message);
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void onRead(png_structp png, png_bytep data, size_t length) {
  static_cast<LibPngUtil::PngIO*>(png_get_io_ptr(png))->read_data(png, data, length);
}

void onWrite(png_structp png, png_bytep data, size_t length) {
  static_cast<LibPngUtil::PngIO*>(png_get_io_ptr(png))->write_data(png, data, length);
}

void onFlush(png_structp png) { static_cast<LibPngUtil::PngIO*>(png_get_io_ptr(png))->flush(png); }

// The most libpng may hold for one chunk (text, profile, unknown chunk; the
// image data streams through). Its own check of declared chunk lengths only
// warns, so the allocator refuses past the cap as well: libpng then skips
// the chunk, and a file whose chunk is not all there fails on the short read.
constexpr png_alloc_size_t kMaxPngChunkBytes = 8 << 20;
// libpng's other blocks (rows, zlib state) stay far below it.
constexpr png_alloc_size_t kMaxPngBlockBytes = kMaxPngChunkBytes + 4096;
// Text and unknown chunks kept per decode.
constexpr png_uint_32 kMaxPngCachedChunks = 256;

// libpng's working memory of a decode comes from the engine heap. The heap is
// the C heap on this platform (there is no per-decode heap to drop in one
// call), so blocks are freed one by one as libpng gives them back; its destroy
// call returns every block on success and after an error alike.
png_voidp heapAlloc(png_structp, png_alloc_size_t size) {
  return size <= kMaxPngBlockBytes ? PrivateHeapAlloc(1, size) : nullptr;
}
void heapFree(png_structp, png_voidp pointer) { PrivateHeapFree(pointer); }

struct ReadJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  size_t rowBytes = 0;
  int channels = 0;
  int passes = 1;  // 7 for an interlaced image
};

// Reads the header and sets up the transformations to 4 bytes per pixel.
// False after a libpng error.
bool readHeader(ReadJob* job, LibPngUtil::PngIO* io, uint32_t flags) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_set_read_fn(job->png, io, onRead);
  png_set_chunk_malloc_max(job->png, kMaxPngChunkBytes);
  png_set_chunk_cache_max(job->png, kMaxPngCachedChunks);
  png_set_sig_bytes(job->png, 0);
  png_read_info(job->png, job->info);
  int bitDepth = 0;
  int colorType = 0;
  png_get_IHDR(job->png, job->info, &job->width, &job->height, &bitDepth, &colorType, nullptr, nullptr,
               nullptr);
  const bool hasTrns = png_get_valid(job->png, job->info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_expand(job->png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand(job->png);
  if (hasTrns) png_set_expand(job->png);
  if (bitDepth == 16) png_set_strip_16(job->png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(job->png);
  if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTrns) png_set_filler(job->png, 0xff, PNG_FILLER_AFTER);
  if (flags & kPngBGR) png_set_bgr(job->png);
  job->passes = png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);
  job->rowBytes = png_get_rowbytes(job->png, job->info);
  job->channels = png_get_channels(job->png, job->info);
  return true;
}

// Decodes the next count rows (of the current pass) into place. False after
// a libpng error.
bool readRows(ReadJob* job, png_bytepp rows, png_uint_32 count) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_read_rows(job->png, rows, nullptr, count);
  return true;
}

// Reads what follows the image data. False after a libpng error.
bool readEnd(ReadJob* job) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_read_end(job->png, nullptr);
  return true;
}

// Rows are decoded in bands of this many (per pass of an interlaced image).
constexpr png_uint_32 kRowBand = 64;

// Sizes the pixel vector and decodes into it, top row first.
int32_t readPixels(ReadJob* job, std::vector<uint8_t>* pixels, uint32_t flags) {
  // Past the image cap: one WARN, nothing allocated.
  if (!ImageSizeWithinCap(u"LibPngUtil::decode()", job->width, job->height)) return 1;
  const uint64_t bytes = static_cast<uint64_t>(job->width) * job->height * 4;
  const size_t stride = static_cast<size_t>(job->width) * 4;
  if (job->rowBytes != stride || job->channels != 4) {
    LogWrite(LOG_WARN, u"LibPngUtil::decode() : 行の長さが不正(%u, %u)\n", job->rowBytes, job->width);
    return 1;
  }
  // The image grows band by band within the reserved room (address space
  // only), so a file that declares a large image and stops short costs the
  // rows its data reached. That holds for an interlaced image too: its first
  // pass reaches every eighth row from the top, and each pass writes only
  // the pixels it carries.
  std::vector<png_bytep> rows;
  try {
    pixels->clear();
    pixels->reserve(static_cast<size_t>(bytes));
    rows.resize(kRowBand);
  } catch (const std::bad_alloc&) {
    LogWrite(LOG_WARN, u"LibPngUtil::decode() : メモリ確保に失敗(%u x %u)\n", job->width, job->height);
    return 1;
  }
  for (int pass = 0; pass < job->passes; ++pass) {
    for (png_uint_32 y = 0; y < job->height; y += kRowBand) {
      const png_uint_32 count = std::min(kRowBand, job->height - y);
      const size_t end = (static_cast<size_t>(y) + count) * stride;
      if (pixels->size() < end) pixels->resize(end);  // within the reserve: no move
      for (png_uint_32 i = 0; i < count; ++i) rows[i] = pixels->data() + (static_cast<size_t>(y) + i) * stride;
      if (!readRows(job, rows.data(), count)) return 1;
    }
  }
  if (!readEnd(job)) return 1;
  if ((flags & kPngBottomUp) && job->height > 1) {
    for (png_uint_32 top = 0, bottom = job->height - 1; top < bottom; ++top, --bottom) {
      std::swap_ranges(pixels->begin() + static_cast<ptrdiff_t>(top * stride),
                       pixels->begin() + static_cast<ptrdiff_t>((top + 1) * stride),
                       pixels->begin() + static_cast<ptrdiff_t>(bottom * stride));
    }
  }
  return 0;
}

struct WriteJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
};

// Writes the whole file through io. False after a libpng error.
bool writeImage(WriteJob* job, LibPngUtil::PngIO* io, png_bytepp rows, png_uint_32 width,
                png_uint_32 height, int bitDepth, bool hasAlpha, uint32_t flags) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_set_write_fn(job->png, io, onWrite, onFlush);
  png_set_IHDR(job->png, job->info, width, height, bitDepth,
               hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(job->png, 3);
  png_write_info(job->png, job->info);
  png_set_packing(job->png);
  if (flags & kPngBGR) png_set_bgr(job->png);
  if (!hasAlpha) {
    // Each 4-byte input pixel loses its fourth byte.
    png_set_swap_alpha(job->png);
    png_set_filler(job->png, 0, PNG_FILLER_AFTER);
  }
  png_write_image(job->png, rows);
  png_write_end(job->png, job->info);
  return true;
}

LibPngUtil g_libPngUtil;
PngUtil* g_pngUtil = &g_libPngUtil;

}  // namespace

void LibPngUtil::ZEPInputStreamPngIO::read_data(png_struct_def* png, uint8_t* buffer, size_t length) {
  size_t got = 0;
  if (!stream_->read(buffer, length, &got)) got = 0;
  if (got != length) png_error(png, "ZEPInputStreamPngIO::read_data");
}

void LibPngUtil::ZEPInputStreamPngIO::write_data(png_struct_def* png, const uint8_t*, size_t) {
  png_error(png, "ZEPInputStreamPngIO::write_data : cannot write!");
}

LibPngUtil::MemPngIO::~MemPngIO() { PrivateHeapFreeIfSet(buffer_); }

void LibPngUtil::MemPngIO::read_data(png_struct_def* png, uint8_t* buffer, size_t length) {
  const size_t left = size_ - position_;
  const size_t n = length < left ? length : left;
  if (n > 0) memcpy(buffer, data() + position_, n);
  position_ += n;
  if (n < length) png_error(png, "MemPngIO:read_data");
}

void LibPngUtil::MemPngIO::write_data(png_struct_def* png, const uint8_t* buffer, size_t length) {
  bool fits = source_ == nullptr && length <= SIZE_MAX - position_;
  if (fits && position_ + length > size_) {
    const size_t shortfall = position_ + length - size_;
    const size_t step = ((shortfall >> 15) + 1) << 15;
    uint8_t* grown = nullptr;
    if (step > shortfall && step <= SIZE_MAX - size_) {
      grown = static_cast<uint8_t*>(PrivateHeapAlloc(size_ + step, 1));
    }
    if (grown) {
      if (position_ > 0) memcpy(grown, buffer_, position_);
      PrivateHeapFreeIfSet(buffer_);
      buffer_ = grown;
      size_ += step;
    } else {
      fits = false;
    }
  }
  if (!fits) png_error(png, "MemPngIO:write_data");
  if (length > 0) memcpy(buffer_ + position_, buffer, length);
  position_ += length;
}

int32_t LibPngUtil::decode(PngIO* io, std::vector<uint8_t>* pixels, int32_t* width, int32_t* height,
                           int32_t* channels, uint32_t flags) {
  ReadJob job;
  job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning, nullptr,
                                     heapAlloc, heapFree);
  if (!job.png) return 1;
  job.info = png_create_info_struct(job.png);
  int32_t result = 1;
  if (job.info && readHeader(&job, io, flags)) result = readPixels(&job, pixels, flags);
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  if (result == 0) {
    *width = static_cast<int32_t>(job.width);
    *height = static_cast<int32_t>(job.height);
    *channels = job.channels;
  }
  return result;
}

int32_t LibPngUtil::decodeFromMemory(const uint8_t* data, size_t size, std::vector<uint8_t>* pixels,
                                     int32_t* width, int32_t* height, int32_t* channels, uint32_t flags) {
  MemPngIO source(data, size);
  return decode(&source, pixels, width, height, channels, flags);
}

int32_t LibPngUtil::decodeFromStream(ZEPInputStream* stream, std::vector<uint8_t>* pixels, int32_t* width,
                                     int32_t* height, int32_t* channels, uint32_t flags) {
  ZEPInputStreamPngIO source(stream);
  return decode(&source, pixels, width, height, channels, flags);
}

int32_t LibPngUtil::encodeToMemory(std::vector<uint8_t>* out, const std::vector<uint8_t>& pixels,
                                   int32_t width, int32_t height, int32_t bitDepth, bool hasAlpha,
                                   uint32_t flags) {
  out->clear();
  // Rows are read as width x 4 bytes: anything but 8 bits per channel, or
  // fewer pixel bytes than the size promises, would read past the input.
  if (width <= 0 || height <= 0 || bitDepth != 8 ||
      pixels.size() / 4 / static_cast<uint64_t>(width) < static_cast<uint64_t>(height)) {
    LogWrite(LOG_WARN, u"LibPngUtil::encodeToMemory() : 不正な画像(%d x %d, %d bit, %u bytes)\n", width,
             height, bitDepth, pixels.size());
    return 1;
  }
  const size_t stride = static_cast<size_t>(width) * 4;
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = const_cast<png_bytep>(pixels.data() + i * stride);

  MemPngIO sink;
  WriteJob job;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
  if (!job.png) return 1;
  job.info = png_create_info_struct(job.png);
  const bool ok = job.info && writeImage(&job, &sink, rows.data(), static_cast<png_uint_32>(width),
                                         static_cast<png_uint_32>(height), bitDepth, hasAlpha, flags);
  png_destroy_write_struct(&job.png, &job.info);
  if (!ok) return 1;
  out->assign(sink.data(), sink.data() + sink.position());
  return 0;
}

PngUtil* GetPngUtil() { return g_pngUtil; }

PngUtil* SetPngUtil(PngUtil* util) {
  PngUtil* old = g_pngUtil;
  g_pngUtil = util;
  return old;
}

int32_t DecodePngStream(ZEPInputStream* stream, std::vector<uint8_t>* pixels, int32_t* width,
                        int32_t* height, int32_t* channels, uint32_t flags) {
  if (!g_pngUtil) return 1;
  return g_pngUtil->decodeFromStream(stream, pixels, width, height, channels, flags);
}

int32_t EncodePngToMemory(std::vector<uint8_t>* out, const std::vector<uint8_t>& pixels, int32_t width,
                          int32_t height, int32_t bitDepth, bool hasAlpha, uint32_t flags) {
  if (!g_pngUtil) return 1;
  return g_pngUtil->encodeToMemory(out, pixels, width, height, bitDepth, hasAlpha, flags);
}

int32_t DecodePngWithImageApi(const uint8_t* data, size_t size, std::vector<uint8_t>* pixels,
                              int32_t* width, int32_t* height) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return 1;  // frees on failure
  image.format = PNG_FORMAT_BGRA;
  const uint64_t bytes = static_cast<uint64_t>(image.width) * image.height * 4;
  bool sized = bytes <= kMaxPngPixelBytes;
  if (sized) {
    try {
      pixels->resize(static_cast<size_t>(bytes));
    } catch (const std::bad_alloc&) {
      sized = false;
    }
  }
  if (!sized) {
    png_image_free(&image);
    return 1;
  }
  if (!png_image_finish_read(&image, nullptr, pixels->data(), 0, nullptr)) return 1;  // frees too
  *width = static_cast<int32_t>(image.width);
  *height = static_cast<int32_t>(image.height);
  return 0;
}
