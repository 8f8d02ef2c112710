// The file input streams: plain files, and files holding one encoded block
// decoded on the fly, read whole, byte by byte, in odd pieces, and when the
// data are foreign, truncated or corrupt.
#include "app/input_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes MixedBytes(size_t size) {
  std::mt19937 rng(1234);
  Bytes out(size);
  // Alternating random and repetitive stretches, so "EENZ" bodies span
  // several raw reads and inflate both stored and coded blocks.
  for (size_t i = 0; i < size; ++i) {
    out[i] = (i / 5000) % 2 ? static_cast<uint8_t>(rng()) : static_cast<uint8_t>("stream "[i % 7]);
  }
  return out;
}

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string EncodedFile(const Bytes& plain, bool compress) {
  Bytes block;
  EncodeEEBuffer(&block, plain.data(), plain.size(), compress);
  return AsString(block);
}

class InputStreamTest : public testing::Test {
 protected:
  std::u16string write(const std::string& name, const std::string& bytes) {
    return dir_.write(name, bytes).u16string();
  }

  // Opens an encoded stream; fails the test when the file does not open.
  std::unique_ptr<ZEPInputStream> openEncoded(const std::string& name, const std::string& bytes) {
    std::unique_ptr<ZEPInputStream> stream;
    EXPECT_TRUE(ZEPEasyEncFileInputStream::open(write(name, bytes), &stream));
    return stream;
  }

  TempDir dir_;
};

// Reads until end, error or a read that gives nothing, cycling through the
// piece sizes; a bounded number of reads so a looping stream shows as a
// failure rather than a hang.
struct ReadResult {
  bool ok = true;
  Bytes data;
};

ReadResult ReadInPieces(ZEPInputStream& stream, const std::vector<size_t>& pieces) {
  ReadResult result;
  Bytes buffer;
  for (size_t i = 0; i < 1000000; ++i) {
    const size_t count = pieces[i % pieces.size()];
    buffer.assign(count, 0);
    size_t got = count + 1;
    if (!stream.read(buffer.data(), count, &got)) {
      result.ok = false;
      return result;
    }
    EXPECT_LE(got, count);
    result.data.insert(result.data.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
    if (stream.isEOF() || got == 0) return result;
  }
  ADD_FAILURE() << "stream kept giving data";
  return result;
}

TEST_F(InputStreamTest, PlainFileReadsWholeAndReportsEnd) {
  std::unique_ptr<ZEPInputStream> stream;
  EXPECT_FALSE(ZEPFileInputStream::open((dir_.path() / "missing.bin").u16string(), &stream));
  EXPECT_EQ(stream, nullptr);

  const std::string bytes("plain\0data\r\n\x1a tail", 18);
  ASSERT_TRUE(ZEPFileInputStream::open(write("plain.bin", bytes), &stream));
  ASSERT_NE(stream, nullptr);
  char buffer[64] = {};
  size_t got = 77;
  EXPECT_TRUE(stream->read(buffer, 0, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(stream->isEOF());

  ASSERT_TRUE(stream->read(buffer, 4, &got));
  EXPECT_EQ(std::string(buffer, got), "plai");
  ASSERT_TRUE(stream->read(buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), bytes.substr(4));
  EXPECT_TRUE(stream->isEOF());
  EXPECT_FALSE(stream->isError());
  EXPECT_TRUE(stream->read(buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);
}

TEST_F(InputStreamTest, EncodedFileFailsToOpenWhenMissing) {
  std::unique_ptr<ZEPInputStream> stream;
  EXPECT_FALSE(ZEPEasyEncFileInputStream::open((dir_.path() / "missing.enc").u16string(), &stream));
  EXPECT_EQ(stream, nullptr);
}

TEST_F(InputStreamTest, ByteReadsEqualOneWholeReadInBothModes) {
  for (bool compress : {false, true}) {
    for (size_t size : {0, 1, 5, 16383, 16384, 40000}) {
      SCOPED_TRACE(testing::Message() << "compress=" << compress << " size=" << size);
      const Bytes plain = MixedBytes(size);
      const std::string file = EncodedFile(plain, compress);

      auto whole = openEncoded("whole.bin", file);
      ASSERT_NE(whole, nullptr);
      Bytes buffer(size + 100, 0);
      size_t got = 0;
      ASSERT_TRUE(whole->read(buffer.data(), buffer.size(), &got));
      EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got)), plain);
      EXPECT_TRUE(whole->isEOF());
      EXPECT_FALSE(whole->isError());
      // Past the end every read gives nothing and succeeds.
      for (int i = 0; i < 2; ++i) {
        got = 99;
        EXPECT_TRUE(whole->read(buffer.data(), 10, &got));
        EXPECT_EQ(got, 0u);
        EXPECT_TRUE(whole->isEOF());
      }

      auto bytes = openEncoded("bytes.bin", file);
      ASSERT_NE(bytes, nullptr);
      const ReadResult byByte = ReadInPieces(*bytes, {1});
      EXPECT_TRUE(byByte.ok);
      EXPECT_EQ(byByte.data, plain);
      EXPECT_TRUE(bytes->isEOF());
    }
  }
}

TEST_F(InputStreamTest, ExactLengthReadReachesTheEndAndZeroCountReadsChangeNothing) {
  for (bool compress : {false, true}) {
    const Bytes plain = MixedBytes(1000);
    auto stream = openEncoded("exact.bin", EncodedFile(plain, compress));
    ASSERT_NE(stream, nullptr);
    Bytes buffer(1000);
    size_t got = 5;
    EXPECT_TRUE(stream->read(buffer.data(), 0, &got));
    EXPECT_EQ(got, 0u);
    ASSERT_TRUE(stream->read(buffer.data(), 600, &got));
    EXPECT_EQ(got, 600u);
    EXPECT_FALSE(stream->isEOF());
    ASSERT_TRUE(stream->read(buffer.data() + 600, 400, &got));
    EXPECT_EQ(got, 400u);
    EXPECT_EQ(buffer, plain);
    EXPECT_TRUE(stream->isEOF());
  }
}

TEST_F(InputStreamTest, LargeFileReadInOddPiecesEqualsPlainData) {
  const Bytes plain = MixedBytes(200000);
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "EENZ" : "EENC");
    auto stream = openEncoded("large.bin", EncodedFile(plain, compress));
    ASSERT_NE(stream, nullptr);
    const ReadResult result = ReadInPieces(*stream, {1, 13, 997, 16385, 3, 65537, 4095});
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.data, plain);
    EXPECT_TRUE(stream->isEOF());
    EXPECT_FALSE(stream->isError());
  }
}

TEST_F(InputStreamTest, BadFilesFailAndEveryLaterReadFailsAtOnce) {
  const Bytes plain = MixedBytes(60000);
  const std::string enc = EncodedFile(plain, false);
  const std::string enz = EncodedFile(plain, true);
  std::string corrupt = enz;
  corrupt[8] = static_cast<char>(corrupt[8] ^ 0xFF);  // the zlib header
  // A valid zlib stream under a header that claims one byte more, its body
  // rescrambled with the key of the claimed size.
  std::string shortStream = enz;
  const auto oldKey = MakeEEKey(60000);
  const auto newKey = MakeEEKey(60001);
  for (size_t i = 8; i < shortStream.size(); ++i) {
    shortStream[i] = static_cast<char>(shortStream[i] ^ oldKey[(i - 8) & 3] ^ newKey[(i - 8) & 3]);
  }
  shortStream[4] = static_cast<char>(60001 & 0xFF);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"seven bytes", std::string("EENC\x01\x00\x00", 7)},
      {"plain text", "just some plain text, not a block"},
      {"EENC header only", enc.substr(0, 8)},
      {"EENC cut in the body", enc.substr(0, 8 + 30001)},
      {"EENC cut at the raw buffer size", enc.substr(0, 16384)},
      {"EENZ header only", enz.substr(0, 8)},
      {"EENZ cut in the body", enz.substr(0, 8 + (enz.size() - 8) / 2)},
      {"EENZ cut at the raw buffer size", enz.substr(0, 16384)},
      {"EENZ corrupt zlib header", corrupt},
      {"EENZ stream ends before plain size", shortStream},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t{1000}, size_t{100000}}) {
      SCOPED_TRACE(testing::Message() << c.name << " piece=" << piece);
      auto stream = openEncoded("bad.bin", c.bytes);
      ASSERT_NE(stream, nullptr);
      uint8_t byte = 0;
      size_t got = 1;
      // A zero-count read looks at nothing yet.
      EXPECT_TRUE(stream->read(&byte, 0, &got));
      EXPECT_EQ(got, 0u);
      EXPECT_FALSE(stream->isError());
      const ReadResult result = ReadInPieces(*stream, {piece});
      EXPECT_FALSE(result.ok);
      EXPECT_LE(result.data.size(), plain.size());
      EXPECT_TRUE(stream->isError());
      EXPECT_FALSE(stream->isEOF());
      EXPECT_FALSE(stream->read(&byte, 1, &got));
      EXPECT_FALSE(stream->read(&byte, 0, &got));
      EXPECT_EQ(got, 0u);
      EXPECT_TRUE(stream->isError());
    }
  }
}

}  // namespace
