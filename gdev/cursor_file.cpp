// Decoding of .cur, .ico and .ani files held in memory, with a small RIFF
// chunk reader over the memory block for the animated files. Every offset
// and size read from a file is checked against the data in 64-bit arithmetic
// before a byte behind it is read. Pure functions; the main thread calls them.
#include "gdev/cursor_file.h"

#include <cstring>
#include <utility>

#include "app/log.h"

namespace CursorFile_local {

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t FourCC(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

// Static file: 6-byte file header, 16-byte directory entries, then images.
constexpr uint64_t kDirectoryOffset = 6;
constexpr uint64_t kDirectoryEntrySize = 16;
// Bytes of the bitmap information header that are read: up to the image size
// at +20.
constexpr uint64_t kInfoFieldsSize = 24;
constexpr uint64_t kAnimationHeaderSize = 36;

// One chunk found by RiffReader::descend.
struct RiffChunk {
  uint32_t id = 0;
  uint64_t size = 0;        // data bytes as stored; for "RIFF" and "LIST" the form type is counted
  uint32_t type = 0;        // form or list type of a "RIFF" or "LIST" chunk, else 0
  uint64_t dataOffset = 0;  // first byte after the 8-byte chunk header
};

enum class RiffFind { kChunk, kRiff, kList };

// Result codes of the reader; 0 is success.
enum RiffResult : int { kRiffOk = 0, kRiffChunkNotFound = 1, kRiffCannotRead = 2 };

// Walks the chunks of a RIFF file in a memory block: chunks are searched
// forward from the current position inside a parent, descending leaves the
// position at the chunk's data (after the form or list type), ascending
// leaves it after the chunk and its pad byte. A chunk's stated size may reach
// past the block; only reads look at the block's end.
class RiffReader {
 public:
  explicit RiffReader(std::span<const uint8_t> data) : data_(data) {}

  // Finds the next chunk with the identifier id (kChunk), the next "RIFF"
  // chunk of form type id (kRiff) or the next "LIST" of list type id (kList)
  // that starts before the parent's end (the block's end without a parent).
  int descend(RiffChunk* chunk, const RiffChunk* parent, uint32_t id, RiffFind mode) {
    const uint64_t size = data_.size();
    const uint64_t limit = parent ? parent->dataOffset + parent->size : size;
    // Every turn moves at least 8 bytes forward.
    for (;;) {
      if (pos_ + 8 > limit || pos_ + 8 > size) return kRiffChunkNotFound;
      RiffChunk found;
      found.id = ReadU32(data_.data() + pos_);
      found.size = ReadU32(data_.data() + pos_ + 4);
      found.dataOffset = pos_ + 8;
      const bool hasType = found.id == FourCC("RIFF") || found.id == FourCC("LIST");
      if (hasType) {
        if (found.dataOffset + 4 > size) return kRiffChunkNotFound;
        found.type = ReadU32(data_.data() + found.dataOffset);
      }
      bool match = false;
      switch (mode) {
        case RiffFind::kChunk: match = found.id == id; break;
        case RiffFind::kRiff: match = found.id == FourCC("RIFF") && found.type == id; break;
        case RiffFind::kList: match = found.id == FourCC("LIST") && found.type == id; break;
      }
      if (match) {
        pos_ = found.dataOffset + (hasType ? 4 : 0);
        *chunk = found;
        return kRiffOk;
      }
      pos_ = endOf(found);
    }
  }

  void ascend(const RiffChunk& chunk) { pos_ = endOf(chunk); }

  // The next n bytes without copying; kRiffCannotRead when the block ends
  // before them.
  int read(uint64_t n, std::span<const uint8_t>* out) {
    if (pos_ > data_.size() || n > data_.size() - pos_) return kRiffCannotRead;
    *out = data_.subspan(static_cast<size_t>(pos_), static_cast<size_t>(n));
    pos_ += n;
    return kRiffOk;
  }

 private:
  static uint64_t endOf(const RiffChunk& chunk) { return chunk.dataOffset + chunk.size + (chunk.size & 1); }

  std::span<const uint8_t> data_;
  uint64_t pos_ = 0;
};

bool DecodeStatic(std::span<const uint8_t> data, CursorRecord* out) {
  CursorFrame frame;
  if (!DecodeCursorImage(data, &frame.width, &frame.height, &out->hotspotX, &out->hotspotY, &frame.pixels)) {
    return false;
  }
  out->width = frame.width;
  out->height = frame.height;
  out->rate = 1;
  out->frames.push_back(std::move(frame));
  return true;
}

bool AnimatedFailed(const char16_t* step, int code) {
  LogWrite(LOG_TRACE, u"DecodeCursorFile: %s (%d)\n", step, code);
  return false;
}

// "RIFF" "ACON" { "anih" header, "LIST" "fram" { "icon" chunks } }. The
// sequence and rate chunks are not read: frames play in stored order at the
// header's rate.
bool DecodeAnimated(std::span<const uint8_t> data, CursorRecord* out) {
  RiffReader riff(data);
  RiffChunk acon, anih, fram;
  int rc = riff.descend(&acon, nullptr, FourCC("ACON"), RiffFind::kRiff);
  if (rc != kRiffOk) return AnimatedFailed(u"no ACON", rc);
  rc = riff.descend(&anih, &acon, FourCC("anih"), RiffFind::kChunk);
  if (rc != kRiffOk) return AnimatedFailed(u"no anih", rc);
  if (anih.size < kAnimationHeaderSize) return AnimatedFailed(u"short anih", kRiffCannotRead);
  std::span<const uint8_t> header;
  rc = riff.read(kAnimationHeaderSize, &header);
  if (rc != kRiffOk) return AnimatedFailed(u"anih read", rc);
  // Nine 32-bit fields: size, frames, steps, cx, cy, bit count, planes, rate, flags.
  const uint32_t frameCount = ReadU32(header.data() + 4);
  out->hotspotX = static_cast<int32_t>(ReadU32(header.data() + 12));
  out->hotspotY = static_cast<int32_t>(ReadU32(header.data() + 16));
  out->rate = static_cast<int32_t>(ReadU32(header.data() + 28));
  out->width = 0;
  out->height = 0;
  riff.ascend(anih);

  rc = riff.descend(&fram, &acon, FourCC("fram"), RiffFind::kList);
  if (rc != kRiffOk) return AnimatedFailed(u"no fram", rc);
  // A frame count past the icon chunks ends on a missing chunk: bounded by the data.
  for (uint32_t i = 0; i < frameCount; ++i) {
    RiffChunk icon;
    rc = riff.descend(&icon, &fram, FourCC("icon"), RiffFind::kChunk);
    if (rc != kRiffOk) return AnimatedFailed(u"no icon", rc);
    if (icon.size > 0) {
      std::span<const uint8_t> bytes;
      rc = riff.read(icon.size, &bytes);
      if (rc != kRiffOk) return AnimatedFailed(u"icon read", rc);
      CursorFrame frame;
      int32_t hotspotX = 0, hotspotY = 0;
      if (!DecodeCursorImage(bytes, &frame.width, &frame.height, &hotspotX, &hotspotY, &frame.pixels)) {
        return AnimatedFailed(u"icon decode", static_cast<int>(i));
      }
      out->width = frame.width;
      out->height = frame.height;
      out->hotspotX = hotspotX;
      out->hotspotY = hotspotY;
      out->frames.push_back(std::move(frame));
    }
    riff.ascend(icon);
  }
  // Consumers show frame 0 and divide by the count: an animation without
  // frames is no cursor.
  if (out->frames.empty()) return AnimatedFailed(u"no frames", kRiffChunkNotFound);
  return true;
}

}  // namespace CursorFile_local

using namespace CursorFile_local;

bool DecodeCursorImage(std::span<const uint8_t> data, int32_t* width, int32_t* height, int32_t* hotspotX,
                       int32_t* hotspotY, std::vector<uint8_t>* pixels) {
  const uint8_t* p = data.data();
  const uint64_t size = data.size();
  if (size < kDirectoryOffset) return false;
  const uint16_t type = ReadU16(p + 2);
  if (type != 1 && type != 2) return false;
  // Only the first directory entry is used; the count is not read.
  if (size < kDirectoryOffset + kDirectoryEntrySize) return false;
  const uint8_t* entry = p + kDirectoryOffset;
  const int32_t w = entry[0] ? entry[0] : 256;
  const int32_t h = entry[1] ? entry[1] : 256;
  // An icon's planes and bit count stand where a cursor keeps its hotspot.
  const int32_t hx = type == 2 ? ReadU16(entry + 4) : 0;
  const int32_t hy = type == 2 ? ReadU16(entry + 6) : 0;
  const uint64_t offset = ReadU32(entry + 12);

  // Of the bitmap information header only its size, the bit count and the
  // image size are read; width and height come from the directory.
  if (offset + kInfoFieldsSize > size) return false;
  const uint64_t headerSize = ReadU32(p + offset);
  const uint16_t bitCount = ReadU16(p + offset + 14);
  const uint64_t imageSize = ReadU32(p + offset + 20);
  const uint64_t pixelStart = offset + headerSize;
  if (pixelStart >= size) return false;
  if (pixelStart + imageSize > size) return false;
  uint64_t tableEntries = 0;
  switch (bitCount) {
    case 1: tableEntries = 2; break;
    case 4: tableEntries = 16; break;
    case 8: tableEntries = 256; break;
    case 32: tableEntries = 0; break;
    default: return false;
  }
  const uint8_t* table = p + pixelStart;  // 4 bytes an entry: blue, green, red, reserved
  const uint64_t rowsStart = pixelStart + tableEntries * 4;
  if (rowsStart >= size) return false;

  // Rows are stored bottom-up, each padded to a multiple of 4 bytes.
  const uint64_t colourRow = (static_cast<uint64_t>(w) * bitCount + 31) / 32 * 4;
  const uint64_t maskRow = (static_cast<uint64_t>(w) + 31) / 32 * 4;
  std::vector<uint8_t> out(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
  const size_t outRow = static_cast<size_t>(w) * 4;
  if (bitCount == 32) {
    // Copied as stored, alpha included; the AND mask is not read.
    if (rowsStart + colourRow * static_cast<uint64_t>(h) > size) return false;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* src = p + rowsStart + static_cast<uint64_t>(h - 1 - y) * colourRow;
      std::memcpy(out.data() + static_cast<size_t>(y) * outRow, src, outRow);
    }
  } else if (bitCount != 1) {
    // 1-bit images stay transparent; 4 and 8 bits go through the table and
    // the AND mask that follows the colour rows.
    const uint64_t maskStart = rowsStart + colourRow * static_cast<uint64_t>(h);
    if (maskStart + maskRow * static_cast<uint64_t>(h) > size) return false;
    for (int32_t y = 0; y < h; ++y) {
      const uint64_t fileRow = static_cast<uint64_t>(h - 1 - y);
      const uint8_t* colours = p + rowsStart + fileRow * colourRow;
      const uint8_t* mask = p + maskStart + fileRow * maskRow;
      uint8_t* dst = out.data() + static_cast<size_t>(y) * outRow;
      for (int32_t x = 0; x < w; ++x, dst += 4) {
        if (mask[x / 8] & (0x80 >> (x % 8))) continue;
        unsigned index = colours[bitCount == 8 ? x : x / 2];
        if (bitCount == 4) index = (x % 2 == 0) ? index >> 4 : index & 0x0F;
        const uint8_t* colour = table + index * 4;
        dst[0] = colour[0];
        dst[1] = colour[1];
        dst[2] = colour[2];
        dst[3] = 255;
      }
    }
  }
  *width = w;
  *height = h;
  *hotspotX = hx;
  *hotspotY = hy;
  *pixels = std::move(out);
  return true;
}

bool DecodeCursorFile(std::span<const uint8_t> data, CursorRecord* out) {
  *out = CursorRecord{};
  if (data.size() < 4) return false;
  const bool ok = std::memcmp(data.data(), "RIFF", 4) == 0 ? DecodeAnimated(data, out) : DecodeStatic(data, out);
  if (!ok) *out = CursorRecord{};
  return ok;
}
