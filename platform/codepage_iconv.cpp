// CP932 over glibc's iconv. "CP932" and not "SHIFT_JIS": only CP932 maps 0x8160
// to U+FF5E as Windows does. Each thread keeps its own pair of converters
// (an iconv_t is not thread-safe). ASCII takes a fast path: CP932 is ASCII
// below 0x80 in both directions.
#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }
  size_t run(char** in, size_t* inLeft, char** out, size_t* outLeft) {
    return iconv(cd_, in, inLeft, out, outLeft);
  }

 private:
  iconv_t cd_;
};

// First bytes of the two-byte characters.
bool isLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

Converter& decoder() {
  thread_local Converter c("UTF-16LE", "CP932");
  return c;
}

Converter& encoder() {
  thread_local Converter c("CP932", "UTF-16LE");
  return c;
}

}  // namespace

std::u16string DecodeCP932(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  Converter& cd = decoder();
  size_t i = 0;
  while (i < bytes.size()) {
    const uint8_t b = static_cast<uint8_t>(bytes[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    if (!cd.ok()) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    // Convert the run up to the next ASCII byte that starts a character in
    // one call (a trail byte may be ASCII).
    size_t end = i;
    while (end < bytes.size() && static_cast<uint8_t>(bytes[end]) >= 0x80) {
      end += (isLeadByte(static_cast<uint8_t>(bytes[end])) && end + 1 < bytes.size()) ? 2 : 1;
    }
    char* in = const_cast<char*>(bytes.data() + i);
    size_t inLeft = end - i;
    while (inLeft > 0) {
      char16_t buf[256];
      char* outp = reinterpret_cast<char*>(buf);
      size_t outLeft = sizeof buf;
      cd.reset();
      const size_t r = cd.run(&in, &inLeft, &outp, &outLeft);
      const size_t produced = (sizeof buf - outLeft) / sizeof(char16_t);
      out.append(buf, produced);
      if (r == static_cast<size_t>(-1) && errno != E2BIG) {
        // EILSEQ or EINVAL: one bad byte, then go on behind it.
        out.push_back(0xFFFD);
        ++in;
        --inLeft;
      }
    }
    i = end;
  }
  return out;
}

std::string EncodeCP932(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  Converter& cd = encoder();
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      // A surrogate pair is one character with no CP932 form.
      if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
      out.push_back(' ');
      continue;
    }
    char src[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    char dst[8];
    char* in = src;
    size_t inLeft = 2;
    char* outp = dst;
    size_t outLeft = sizeof dst;
    if (!cd.ok()) {
      out.push_back(' ');
      continue;
    }
    cd.reset();
    if (cd.run(&in, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) {
      out.push_back(' ');
      continue;
    }
    // iconv maps a few characters to a look-alike (U+00A5 to a backslash,
    // U+301C to the wave dash): only a form that reads back as the same
    // character counts.
    const std::string_view encoded(dst, sizeof dst - outLeft);
    const std::u16string back = DecodeCP932(encoded);
    if (back.size() != 1 || back[0] != c) {
      out.push_back(' ');
      continue;
    }
    out.append(encoded);
  }
  return out;
}

}  // namespace platform
