// The encoded-block codec: header parsing, whole-buffer encode and decode,
// and the streaming decoder fed in pieces, on good, truncated and corrupt data.
#include "app/ee_codec.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (uint8_t& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Compressible, but not trivially so: text-like runs with some noise.
Bytes TextLikeBytes(size_t size) {
  std::mt19937 rng(7);
  Bytes out(size);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>("abcdefgh "[(i / 3 + rng() % 2) % 9]);
  return out;
}

Bytes Encode(const Bytes& plain, bool compress) {
  Bytes out;
  EncodeEEBuffer(&out, plain.data(), plain.size(), compress);
  return out;
}

void SetSizeField(Bytes* block, uint32_t size) {
  for (int i = 0; i < 4; ++i) (*block)[4 + i] = static_cast<uint8_t>(size >> (8 * i));
}

// Rewrites the size field and rescrambles the body with the new size's key,
// so the body still unscrambles into the same bytes under the new header.
Bytes WithClaimedSize(Bytes block, uint32_t oldSize, uint32_t newSize) {
  const auto oldKey = MakeEEKey(oldSize);
  const auto newKey = MakeEEKey(newSize);
  for (size_t i = 8; i < block.size(); ++i) block[i] ^= oldKey[(i - 8) & 3] ^ newKey[(i - 8) & 3];
  SetSizeField(&block, newSize);
  return block;
}

TEST(EECodecTest, ParseEEHeaderAcceptsOnlyFullHeadersWithEitherMagic) {
  const uint8_t enc[] = {'E', 'E', 'N', 'C', 0x78, 0x56, 0x34, 0x12, 0xAA};
  const uint8_t enz[] = {'E', 'E', 'N', 'Z', 0xFF, 0xFF, 0xFF, 0xFF};
  uint32_t size = 0;
  bool zip = true;
  size_t header = 0;
  ASSERT_TRUE(ParseEEHeader(enc, sizeof enc, &size, &zip, &header));
  EXPECT_EQ(size, 0x12345678u);
  EXPECT_FALSE(zip);
  EXPECT_EQ(header, 8u);
  ASSERT_TRUE(ParseEEHeader(enz, sizeof enz, &size, &zip, &header));
  EXPECT_EQ(size, 0xFFFFFFFFu);
  EXPECT_TRUE(zip);
  EXPECT_EQ(header, 8u);

  EXPECT_FALSE(ParseEEHeader(enc, 7, &size, &zip, &header));
  EXPECT_FALSE(ParseEEHeader(enc, 0, &size, &zip, &header));
  for (const char* magic : {"EENX", "eenc", "ENCE", "\0EEN"}) {
    uint8_t bad[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    memcpy(bad, magic, 4);
    EXPECT_FALSE(ParseEEHeader(bad, sizeof bad, &size, &zip, &header)) << magic;
  }
}

TEST(EECodecTest, EmptyDataEncodesAsBareEencHeaderAndDecodesBack) {
  const Bytes block = Encode({}, false);
  EXPECT_EQ(block, (Bytes{0x45, 0x45, 0x4E, 0x43, 0x00, 0x00, 0x00, 0x00}));
  Bytes out = {1, 2, 3};
  EXPECT_EQ(DecodeEEBuffer(&out, block.data(), block.size()), EEDecodeResult::kDecoded);
  EXPECT_TRUE(out.empty());
}

TEST(EECodecTest, EencBodyIsPlainDataXoredWithTheSizeKey) {
  const Bytes plain = RandomBytes(11, 3);
  const Bytes block = Encode(plain, false);
  ASSERT_EQ(block.size(), 8 + plain.size());
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 8), (Bytes{'E', 'E', 'N', 'C', 11, 0, 0, 0}));
  const auto key = MakeEEKey(11);
  for (size_t i = 0; i < plain.size(); ++i) EXPECT_EQ(block[8 + i], plain[i] ^ key[i % 4]) << i;
  EXPECT_EQ(MakeEEKey(11), key);
  EXPECT_NE(MakeEEKey(11), MakeEEKey(12));
}

TEST(EECodecTest, RoundTripsEverySizeInBothModes) {
  for (bool compress : {false, true}) {
    for (size_t size : {0, 1, 3, 4, 5, 4096, 100000}) {
      for (const Bytes& plain : {RandomBytes(size, 42 + static_cast<uint32_t>(size)), TextLikeBytes(size)}) {
        SCOPED_TRACE(testing::Message() << "compress=" << compress << " size=" << size);
        const Bytes block = Encode(plain, compress);
        EXPECT_EQ(memcmp(block.data(), compress ? "EENZ" : "EENC", 4), 0);
        Bytes out(5, 0xCC);
        ASSERT_EQ(DecodeEEBuffer(&out, block.data(), block.size()), EEDecodeResult::kDecoded);
        EXPECT_EQ(out, plain);
      }
    }
  }
}

TEST(EECodecTest, EncodeAppendsAfterExistingContent) {
  const Bytes plain = TextLikeBytes(300);
  for (bool compress : {false, true}) {
    Bytes out = {9, 8, 7};
    EncodeEEBuffer(&out, plain.data(), plain.size(), compress);
    ASSERT_GT(out.size(), 3u + 8u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{9, 8, 7}));
    EXPECT_EQ(Bytes(out.begin() + 3, out.end()), Encode(plain, compress));
    Bytes decoded;
    EXPECT_EQ(DecodeEEBuffer(&decoded, out.data() + 3, out.size() - 3), EEDecodeResult::kDecoded);
    EXPECT_EQ(decoded, plain);
  }
}

TEST(EECodecTest, ForeignDataAreNotEncodedAndBadBlocksFail) {
  const Bytes plain = TextLikeBytes(5000);
  const Bytes enc = Encode(plain, false);
  const Bytes enz = Encode(plain, true);
  const auto flipped = [&](size_t bodyIndex) {
    Bytes b = enz;
    b[8 + bodyIndex] ^= 0x5A;
    return b;
  };
  Bytes encLonger = enc;
  encLonger.push_back(0);
  Bytes encSizeTooSmall = enc;
  SetSizeField(&encSizeTooSmall, 4999);

  const auto failed = EEDecodeResult::kFailed;
  const struct {
    const char* name;
    Bytes block;
    EEDecodeResult expected;
  } cases[] = {
      {"seven bytes", {'E', 'E', 'N', 'C', 0, 0, 0}, EEDecodeResult::kNotEncoded},
      {"wrong magic", {'E', 'E', 'N', 'Q', 0, 0, 0, 0}, EEDecodeResult::kNotEncoded},
      {"nothing", {}, EEDecodeResult::kNotEncoded},
      {"EENC body one byte short", Bytes(enc.begin(), enc.end() - 1), failed},
      {"EENC body one byte long", encLonger, failed},
      {"EENC size field below body length", encSizeTooSmall, failed},
      {"EENC header only", Bytes(enc.begin(), enc.begin() + 8), failed},
      {"EENZ inflates shorter than size field", WithClaimedSize(enz, 5000, 5001), failed},
      {"EENZ inflates longer than size field", WithClaimedSize(enz, 5000, 4999), failed},
      {"EENZ inflates to nothing but claims data", WithClaimedSize(Encode({}, true), 0, 10), failed},
      {"EENZ truncated body", Bytes(enz.begin(), enz.begin() + 8 + (enz.size() - 8) / 2), failed},
      {"EENZ header only", Bytes(enz.begin(), enz.begin() + 8), failed},
      {"EENZ corrupt first body byte", flipped(0), failed},
      {"EENZ corrupt middle body byte", flipped((enz.size() - 8) / 2), failed},
      {"EENZ corrupt checksum byte", flipped(enz.size() - 9), failed},
  };
  for (const auto& c : cases) {
    Bytes out = {1};
    EXPECT_EQ(DecodeEEBuffer(&out, c.block.data(), c.block.size()), c.expected) << c.name;
  }
}


// Sizes above the limit are refused as corrupt. (Refusing them before any
// allocation is what keeps a lying size field from taking 4 GiB; the fuzz
// target's memory limit watches that.)
TEST(EECodecTest, PlainSizesAboveTheLimitFail) {
  // Bodies long enough that no ratio of plain to packed size rules them out.
  const auto eenz = [](uint64_t claimed, size_t bodySize) {
    Bytes block(8 + bodySize, 0x5C);
    memcpy(block.data(), "EENZ", 4);
    SetSizeField(&block, static_cast<uint32_t>(claimed));
    return block;
  };
  Bytes enc = {'E', 'E', 'N', 'C', 0, 0, 0, 0, 1, 2, 3};
  SetSizeField(&enc, static_cast<uint32_t>(kMaxEEPlainSize + 1));
  const std::vector<Bytes> blocks = {
      enc,
      eenz(kMaxEEPlainSize + 1, 2u << 20),
      eenz(0xFFFFFFFF, 5u << 20),
      WithClaimedSize(Encode(TextLikeBytes(5000), true), 5000, 0xFFFFFFFF),
  };
  const auto allFail = [&] {
    for (const Bytes& block : blocks) {
      Bytes out;
      if (DecodeEEBuffer(&out, block.data(), block.size()) != EEDecodeResult::kFailed) return false;
    }
    return true;
  };
  EXPECT_TRUE(allFail());
}

// Drives a stream decoder over a whole block: begin on the full input, then
// the body in pieces of `piece` bytes into windows of `window` bytes. Stops
// on failure, on done, or when a call makes no progress with no input left.
struct StreamRun {
  bool begun = false;
  bool ok = true;
  bool done = false;
  bool stalled = false;
  size_t calls = 0;
  Bytes out;
};

StreamRun RunStream(const Bytes& block, size_t piece, size_t window) {
  StreamRun run;
  CommonLib::EEStreamDec dec;
  size_t pos = 0;
  run.begun = dec.begin(block.data(), block.size(), &pos);
  if (!run.begun) return run;
  EXPECT_EQ(pos, 8u);
  Bytes buffer(window);
  uint32_t claimed = 0;
  ParseEEHeader(block.data(), block.size(), &claimed, nullptr, nullptr);
  // Every call that neither fails nor stalls consumes or produces a byte.
  const size_t bound = block.size() + claimed + 10;
  while (run.calls < bound) {
    ++run.calls;
    const size_t avail = std::min(piece, block.size() - pos);
    size_t consumed = 99;
    size_t produced = 99;
    bool done = false;
    run.ok = dec.decode(block.data() + pos, avail, &consumed, buffer.data(), window, &produced, &done);
    if (!run.ok) break;
    EXPECT_LE(consumed, avail);
    EXPECT_LE(produced, window);
    run.out.insert(run.out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(produced));
    pos += consumed;
    if (done) {
      run.done = true;
      // Once done, a further call takes and gives nothing.
      done = false;
      EXPECT_TRUE(dec.decode(block.data() + pos, block.size() - pos, &consumed, buffer.data(), window,
                             &produced, &done));
      EXPECT_TRUE(done);
      EXPECT_EQ(consumed + produced, 0u);
      break;
    }
    if (consumed == 0 && produced == 0 && pos == block.size()) {
      run.stalled = true;
      break;
    }
  }
  EXPECT_LT(run.calls, bound) << "decoder kept looping";
  return run;
}

TEST(EEStreamDecTest, PiecewiseDecodeEqualsPlainData) {
  for (bool compress : {false, true}) {
    for (size_t size : {0, 1, 5, 4097, 100000}) {
      const Bytes plain = size > 5000 ? RandomBytes(size, 9) : TextLikeBytes(size);
      const Bytes block = Encode(plain, compress);
      for (size_t piece : {1, 7, 4096}) {
        for (size_t window : {1, 3, 1000}) {
          SCOPED_TRACE(testing::Message() << "compress=" << compress << " size=" << size
                                          << " piece=" << piece << " window=" << window);
          const StreamRun run = RunStream(block, piece, window);
          ASSERT_TRUE(run.begun);
          ASSERT_TRUE(run.ok);
          EXPECT_TRUE(run.done);
          EXPECT_EQ(run.out, plain);
        }
      }
    }
  }
}

TEST(EEStreamDecTest, BeginRefusesShortHeadersForeignDataAndOversizedBlocks) {
  const Bytes block = Encode(TextLikeBytes(10), false);
  Bytes atLimit = {'E', 'E', 'N', 'Z', 0, 0, 0, 0};
  SetSizeField(&atLimit, static_cast<uint32_t>(kMaxEEPlainSize));
  Bytes overLimit = atLimit;
  SetSizeField(&overLimit, static_cast<uint32_t>(kMaxEEPlainSize + 1));
  size_t consumed = 0;
  EXPECT_FALSE(CommonLib::EEStreamDec().begin(block.data(), 7, &consumed));
  EXPECT_FALSE(CommonLib::EEStreamDec().begin(reinterpret_cast<const uint8_t*>("PLAINTXT"), 8, &consumed));
  EXPECT_FALSE(CommonLib::EEStreamDec().begin(overLimit.data(), overLimit.size(), &consumed));
  EXPECT_TRUE(CommonLib::EEStreamDec().begin(atLimit.data(), atLimit.size(), &consumed));

  CommonLib::EEStreamDec twice;
  ASSERT_TRUE(twice.begin(block.data(), block.size(), &consumed));
  EXPECT_FALSE(twice.begin(block.data(), block.size(), &consumed));

  CommonLib::EEStreamDec unstarted;
  uint8_t out[4];
  size_t produced = 0;
  bool done = false;
  EXPECT_FALSE(unstarted.decode(block.data(), block.size(), &consumed, out, sizeof out, &produced, &done));
}

TEST(EEStreamDecTest, BadBodiesEndTheDecodeInsteadOfLooping) {
  const Bytes plain = RandomBytes(30000, 5);
  const Bytes enc = Encode(plain, false);
  const Bytes enz = Encode(plain, true);
  Bytes corrupt = enz;
  corrupt[8] ^= 0xFF;  // the zlib header
  const struct {
    const char* name;
    Bytes block;
    bool mustFail;  // else a stall with fewer bytes than due is enough
  } cases[] = {
      {"EENC truncated body", Bytes(enc.begin(), enc.begin() + 8 + 12345), false},
      {"EENC header only", Bytes(enc.begin(), enc.begin() + 8), false},
      {"EENZ truncated body", Bytes(enz.begin(), enz.begin() + 8 + (enz.size() - 8) / 2), false},
      {"EENZ header only", Bytes(enz.begin(), enz.begin() + 8), false},
      {"EENZ stream ends before plain size", WithClaimedSize(enz, 30000, 30001), true},
      {"EENZ empty stream claiming data", WithClaimedSize(Encode({}, true), 0, 64), true},
      {"EENZ corrupt zlib header", corrupt, true},
  };
  for (const auto& c : cases) {
    for (size_t piece : {7, 4096, 1 << 20}) {
      SCOPED_TRACE(testing::Message() << c.name << " piece=" << piece);
      const StreamRun run = RunStream(c.block, piece, 1000);
      ASSERT_TRUE(run.begun);
      EXPECT_FALSE(run.done);
      EXPECT_LE(run.out.size(), plain.size());
      if (c.mustFail) {
        EXPECT_FALSE(run.ok);
      } else {
        EXPECT_TRUE(!run.ok || run.stalled);
      }
    }
  }
}

TEST(EEStreamDecTest, OutputStopsAtThePlainSizeWhenTheInputHoldsMore) {
  const Bytes plain = TextLikeBytes(20000);
  Bytes encTrailing = Encode(plain, false);
  encTrailing.insert(encTrailing.end(), 500, 0x33);
  const Bytes enzClaimsLess = WithClaimedSize(Encode(plain, true), 20000, 15000);
  for (size_t window : {1, 999, 1 << 16}) {
    SCOPED_TRACE(testing::Message() << "window=" << window);
    const StreamRun enc = RunStream(encTrailing, 4096, window);
    ASSERT_TRUE(enc.ok);
    EXPECT_TRUE(enc.done);
    EXPECT_EQ(enc.out, plain);
    const StreamRun enz = RunStream(enzClaimsLess, 4096, window);
    ASSERT_LE(enz.out.size(), 15000u);
    if (enz.ok && enz.done) {
      EXPECT_EQ(enz.out, Bytes(plain.begin(), plain.begin() + 15000));
    }
  }
}

}  // namespace
