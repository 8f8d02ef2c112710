// Cursor files built byte by byte here: static .cur/.ico images of each bit
// depth, animated .ani files, and every truncation and a few corruptions of
// them, which must fail or decode without reading outside the data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "gdev/cursor_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes* b, uint32_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void SetU32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Picture content in the file's terms: row r counts from the bottom.
unsigned IndexAt(int x, int r, int bpp) { return (x + 3 * r) % (1u << bpp); }
bool MaskedAt(int x, int r) { return (x + r) % 5 == 0; }
uint8_t TrueColourAt(int x, int r, int c) { return static_cast<uint8_t>(c == 3 ? x * r * 9 : x * 7 + r * 5 + c); }

struct ImageSpec {
  int type = 2;  // 1 icon, 2 cursor
  int width = 32, height = 32, bpp = 8, hotspotX = 5, hotspotY = 7;
  int entries = 1;  // entries after the first claim other sizes and point past the end
};

Bytes BuildImage(const ImageSpec& s) {
  const uint32_t colourRow = (s.width * s.bpp + 31) / 32 * 4, maskRow = (s.width + 31) / 32 * 4;
  const uint32_t table = s.bpp <= 8 ? 4u << s.bpp : 0, image = (colourRow + maskRow) * s.height;
  Bytes b;
  for (uint32_t v : {0, s.type, s.entries}) Put(&b, v, 2);
  for (int e = 0; e < s.entries; ++e) {
    Put(&b, (s.width / (e + 1) & 255) | (s.height / (e + 1) & 255) << 8);  // 256 is stored as 0
    Put(&b, s.type == 2 ? s.hotspotX + e : 1, 2);  // an icon keeps planes and bit count here
    Put(&b, s.type == 2 ? s.hotspotY + e : s.bpp, 2);
    Put(&b, 40 + table + image);
    Put(&b, e == 0 ? 6 + 16 * s.entries : 0xFFFFFF00u);
  }
  // Bitmap information header; its width and height are not read.
  for (uint32_t v : {40, 999, 999}) Put(&b, v);
  Put(&b, 1 | s.bpp << 16);
  for (uint32_t v : {0u, image, 0u, 0u, 0u, 0u}) Put(&b, v);
  for (uint32_t i = 0; i < table / 4; ++i) Put(&b, i | (255 - i) << 8 | (i * 7 & 255) << 16 | 0x33u << 24);
  for (int pass = 0; pass < 2; ++pass) {  // colour rows, then the mask
    for (int r = 0; r < s.height; ++r) {
      Bytes row(pass == 0 ? colourRow : maskRow, 0);
      for (int x = 0; x < s.width; ++x) {
        const int bit = x * s.bpp;
        if (pass == 1) {
          row[x / 8] |= MaskedAt(x, r) ? 0x80 >> (x % 8) : 0;
        } else if (s.bpp == 32) {
          for (int c = 0; c < 4; ++c) row[x * 4 + c] = TrueColourAt(x, r, c);
        } else {
          row[bit / 8] |= static_cast<uint8_t>(IndexAt(x, r, s.bpp) << (8 - s.bpp - bit % 8));
        }
      }
      b.insert(b.end(), row.begin(), row.end());
    }
  }
  return b;
}

// Top-down BGRA: 1 bit all transparent, 32 bits as stored (mask ignored),
// else the table colour with alpha 255, or 0 under the mask.
Bytes ExpectedPixels(const ImageSpec& s) {
  Bytes out;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0, r = s.height - 1 - y; x < s.width; ++x) {
      const unsigned i = s.bpp <= 8 ? IndexAt(x, r, s.bpp) : 0;
      if (s.bpp == 32) {
        for (int c = 0; c < 4; ++c) out.push_back(TrueColourAt(x, r, c));
      } else if (s.bpp == 1 || MaskedAt(x, r)) {
        out.insert(out.end(), 4, 0);
      } else {
        out.insert(out.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 255});
      }
    }
  }
  return out;
}

Bytes Chunk(const char* id, const Bytes& data) {
  Bytes b(id, id + 4);
  Put(&b, data.size());
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() % 2) b.push_back(0);
  return b;
}

Bytes Container(const char* id, const char* type, const std::vector<Bytes>& children) {
  Bytes data(type, type + 4);
  for (const Bytes& c : children) data.insert(data.end(), c.begin(), c.end());
  return Chunk(id, data);
}

// A sequence chunk that plays the frames backwards and a rate chunk of 60
// surround the header: neither may be obeyed.
Bytes BuildAni(uint32_t frames, int32_t rate, const std::vector<Bytes>& icons, uint32_t headerSize = 36) {
  Bytes header, reversed;
  for (uint32_t v : {36u, frames, frames, 9u, 8u, 0u, 1u, uint32_t(rate), 1u}) Put(&header, v);
  header.resize(headerSize, 0);
  for (size_t i = icons.size(); i-- > 0;) Put(&reversed, i);
  std::vector<Bytes> iconChunks;
  for (const Bytes& icon : icons) iconChunks.push_back(Chunk("icon", icon));
  return Container("RIFF", "ACON",
                   {Container("LIST", "INFO", {Chunk("INAM", {'x', 0})}), Chunk("anih", header),
                    Chunk("rate", Bytes(4 * icons.size(), 60)), Chunk("seq ", reversed),
                    Container("LIST", "fram", iconChunks)});
}

bool Decode(const Bytes& data, CursorRecord* out) { return DecodeCursorFile(data, out); }

void ExpectFailsOrConsistent(const Bytes& data) {
  CursorRecord rec;
  if (!Decode(data, &rec)) {
    EXPECT_TRUE(rec.frames.empty());
    return;
  }
  ASSERT_FALSE(rec.frames.empty());
  for (const CursorFrame& f : rec.frames) EXPECT_EQ(f.pixels.size(), size_t(f.width) * f.height * 4);
}

TEST(CursorFile, StaticCursorAndIconUseTheFirstEntry) {
  const ImageSpec cur;  // 32x32, 8 bits, hotspot (5, 7)
  CursorRecord rec;
  ASSERT_TRUE(Decode(BuildImage(cur), &rec));
  EXPECT_EQ(std::make_pair(rec.width, rec.height), std::make_pair(32, 32));
  EXPECT_EQ(std::make_pair(rec.hotspotX, rec.hotspotY), std::make_pair(5, 7));
  EXPECT_EQ(rec.rate, 1);
  ASSERT_EQ(rec.frames.size(), 1u);
  ASSERT_EQ(rec.frames[0].pixels.size(), 4096u);
  EXPECT_EQ(rec.frames[0].pixels, ExpectedPixels(cur));
  // The picture's bottom-left pixel is the file's first: index 0, masked.
  EXPECT_EQ(rec.frames[0].pixels[31 * 32 * 4 + 3], 0);
  EXPECT_EQ(rec.frames[0].pixels[31 * 32 * 4 + 4 + 3], 255);

  // An icon's planes and bit count are no hotspot; entries two and three
  // are never looked at.
  const ImageSpec ico{.type = 1, .width = 16, .height = 16, .entries = 3};
  ASSERT_TRUE(Decode(BuildImage(ico), &rec));
  EXPECT_EQ(std::make_pair(rec.hotspotX, rec.hotspotY), std::make_pair(0, 0));
  EXPECT_EQ(rec.width, 16);
  EXPECT_EQ(rec.frames[0].pixels, ExpectedPixels(ico));

  Bytes bad = BuildImage(cur);
  bad[2] = 3;  // neither icon nor cursor
  EXPECT_FALSE(Decode(bad, &rec));
  EXPECT_TRUE(rec.frames.empty());
}

TEST(CursorFile, BitDepthsAndRowPadding) {
  // Widths whose colour or mask rows need padding (9 at 4 bits, 13 and 36 at
  // 8 bits), and 0 in the directory meaning 256.
  const int cases[][3] = {{1, 16, 16}, {4, 9, 3}, {4, 32, 32}, {8, 13, 2}, {8, 36, 2}, {32, 7, 3}, {32, 256, 1}};
  for (const auto& [bpp, w, h] : cases) {
    const ImageSpec s{.width = w, .height = h, .bpp = bpp};
    CursorRecord rec;
    ASSERT_TRUE(Decode(BuildImage(s), &rec)) << bpp << " bits, width " << w;
    EXPECT_EQ(std::make_pair(rec.width, rec.height), std::make_pair(w, h));
    EXPECT_EQ(rec.frames[0].pixels, ExpectedPixels(s)) << bpp << " bits, width " << w;
  }
  // 32 bits need no mask; 24 bits are refused.
  const Bytes withMask = BuildImage({.width = 4, .height = 4, .bpp = 32});
  Bytes noMask(withMask.begin(), withMask.end() - 16), truecolour = withMask;
  SetU32(&noMask, 6 + 16 + 20, 64);
  truecolour[6 + 16 + 14] = 24;
  CursorRecord rec;
  EXPECT_TRUE(Decode(noMask, &rec));
  EXPECT_FALSE(Decode(truecolour, &rec));
}

TEST(CursorFile, AnimatedCursorPlaysStoredFramesAtHeaderRate) {
  const ImageSpec a{.width = 16, .height = 16, .hotspotX = 1, .hotspotY = 2};
  const ImageSpec b{.type = 1, .width = 9, .height = 3, .bpp = 4};
  const ImageSpec c{.width = 4, .height = 2, .bpp = 32, .hotspotX = 3, .hotspotY = 1};
  Bytes oddB = BuildImage(b);
  oddB.push_back(0xEE);  // an odd chunk size: the next chunk follows a pad byte
  // Four chunks, one of them empty; a header longer than 36 bytes.
  const Bytes ani = BuildAni(4, 6, {BuildImage(a), oddB, {}, BuildImage(c)}, 40);
  CursorRecord rec;
  ASSERT_TRUE(Decode(ani, &rec));
  EXPECT_EQ(rec.rate, 6);
  ASSERT_EQ(rec.frames.size(), 3u);
  EXPECT_EQ(rec.frames[0].pixels, ExpectedPixels(a));
  EXPECT_EQ(std::make_pair(rec.frames[1].width, rec.frames[1].height), std::make_pair(9, 3));
  EXPECT_EQ(rec.frames[1].pixels, ExpectedPixels(b));
  EXPECT_EQ(rec.frames[2].pixels, ExpectedPixels(c));
  // Size and hotspot are the last frame's.
  EXPECT_EQ(std::make_pair(rec.width, rec.height), std::make_pair(4, 2));
  EXPECT_EQ(std::make_pair(rec.hotspotX, rec.hotspotY), std::make_pair(3, 1));

  // Refused: no frames, only empty chunks, fewer chunks than the count, a
  // short header, a broken frame, and RIFF data of another form.
  const Bytes good = BuildImage(a);
  Bytes broken = good, wave = ani;
  broken[6 + 16 + 14] = 2;
  std::memcpy(wave.data() + 8, "WAVE", 4);
  const Bytes refused[] = {BuildAni(0, 6, {}),         BuildAni(2, 6, {{}, {}}),       BuildAni(3, 6, {good, good}),
                           BuildAni(1, 6, {good}, 32), BuildAni(2, 6, {good, broken}), wave};
  for (const Bytes& file : refused) {
    EXPECT_FALSE(Decode(file, &rec));
    EXPECT_TRUE(rec.frames.empty());
  }
}

TEST(CursorFile, TruncatedAndCorruptFilesFailSafely) {
  const ImageSpec four{.width = 9, .height = 3, .bpp = 4}, ico{.type = 1, .bpp = 32, .entries = 3};
  for (const Bytes& file : {BuildImage(ImageSpec{}), BuildImage(four), BuildImage(ico)}) {
    // The image size covers the mask: every proper prefix fails. Exact-size
    // copies let the address sanitizer see any read past the end.
    CursorRecord rec;
    for (size_t n = 0; n < file.size(); ++n) EXPECT_FALSE(Decode(Bytes(file.begin(), file.begin() + n), &rec)) << n;
    // An image size of 0 (allowed for plain bitmaps) must not drop the
    // checks on the rows and the mask.
    Bytes unsized = file;
    SetU32(&unsized, 6 + 16 * unsized[4] + 20, 0);
    for (size_t n = 0; n <= unsized.size(); ++n) ExpectFailsOrConsistent(Bytes(unsized.begin(), unsized.begin() + n));
  }
  const Bytes ani = BuildAni(2, 6, {BuildImage(four), BuildImage(ico)});
  for (size_t n = 0; n < ani.size(); ++n) ExpectFailsOrConsistent(Bytes(ani.begin(), ani.begin() + n));

  // Offsets and sizes near 2^32 must not wrap around.
  for (const auto& [at, value] : {std::pair<size_t, uint32_t>{18, 0xFFFFFFF0u}, {22, 0xFFFFFFFFu},
                                  {22 + 20, 0xFFFFFFFFu}, {22, 0xFFFFFF00u}}) {
    Bytes bad = BuildImage(four);
    SetU32(&bad, at, value);
    CursorRecord rec;
    EXPECT_FALSE(Decode(bad, &rec)) << at;
  }
  // Chunk sizes past the data: the RIFF and the frame list only bound the
  // search, the header and a frame must be there whole.
  auto sizeAt = [&](const char* tag, int back) {
    return size_t(std::search(ani.begin(), ani.end(), tag, tag + 4) - ani.begin()) + 4 - back;
  };
  for (const auto& [at, decodes] : {std::pair<size_t, bool>{4, true}, {sizeAt("anih", 0), false},
                                    {sizeAt("fram", 8), true}, {sizeAt("icon", 0), false}}) {
    Bytes bad = ani;
    SetU32(&bad, at, 0xFFFFFFF9u);
    CursorRecord rec;
    EXPECT_EQ(Decode(bad, &rec), decodes) << at;
    ExpectFailsOrConsistent(bad);
  }
}

}  // namespace
