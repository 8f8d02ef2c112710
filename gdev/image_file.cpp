// Image files: the loader behind textures and layer pictures, and the writer
// of captured images. Decoding pulls the file through a stream (plain or
// encoded block) so a large file is never held twice. Main thread.
#include "gdev/image_file.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "app/ee_codec.h"
#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/input_stream.h"
#include "app/log.h"
#include "app/timer.h"
#include "gdev/png_util.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

int32_t LoadImageFileCore(std::u16string_view path, std::vector<uint8_t>* pixels, int32_t* width,
                          int32_t* height, int32_t* channels, uint32_t flags) {
  uint8_t head[8];
  {
    std::unique_ptr<FileStream> file = OpenFileByMode(path, 0);
    if (!file) return 1;
    const int64_t size = GetFileSize(file.get());
    if (size < 8 || size > kMaxImageFileSize) return 1;
    if (file->read(head, 1, sizeof head) != sizeof head) return 1;
  }
  // Anything but a plain PNG is taken for an encoded block ("EEN..."); other
  // data fail in that stream.
  std::unique_ptr<ZEPInputStream> stream;
  const bool opened = memcmp(head, kPngSignature, sizeof head) == 0
                          ? ZEPFileInputStream::open(path, &stream)
                          : ZEPEasyEncFileInputStream::open(path, &stream);
  if (!opened) return 1;
  return DecodePngStream(stream.get(), pixels, width, height, channels, flags);
}

int32_t LoadImageFile(std::u16string_view name, RGBAImageRef* image, int32_t /*mode*/, int32_t* width,
                      int32_t* height) {
  const std::u16string path = ResolveWithAltSearchPath(name);
  if (path.empty()) return 1;
  std::vector<uint8_t> pixels;
  int32_t w = 0;
  int32_t h = 0;
  int32_t channels = 0;
  const int32_t code = LoadImageFileCore(path, &pixels, &w, &h, &channels, kPngEngineFlags);
  if (code != 0) return code;
  *image = RGBAImageRef(RGBAImage(0, w, h, std::move(pixels)));
  *width = w;
  *height = h;
  return 0;
}

int32_t SaveImageFile(std::u16string_view path, const RGBAImageRef& image, bool alpha, bool encode) {
  const RGBAImage* source = image.get();
  if (!source) return 1;
  const std::u16string target(path);
  TimerManager* clock = GetTimerManager();
  const int64_t start = clock->now();
  std::vector<uint8_t> bytes;
  const int32_t code =
      EncodePngToMemory(&bytes, source->pixels, source->width, source->height, 8, alpha, kPngEngineFlags);
  if (code != 0) return code;
  if (encode) {
    // A block's plain size is 32 bits and readers refuse more than 1 GiB.
    if (bytes.size() > kMaxEEPlainSize) return 1;
    std::vector<uint8_t> block;
    EncodeEEBuffer(&block, bytes.data(), bytes.size(), false);
    bytes = std::move(block);
  }
  const int64_t encoded = clock->now();
  // The replace logs its own failure (open or write, with the path).
  if (WriteFileAtomically(target, bytes.data(), bytes.size()) != 0) return 1;
  const int64_t written = clock->now();
  LogWrite(LOG_TRACE, u"encoding %d [ms]\n", encoded - start);
  LogWrite(LOG_TRACE, u"writing  %d [ms]\n", written - encoded);
  return 0;
}
