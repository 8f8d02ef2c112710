// Fuzzes the message markup layout: the input's byte pairs are a UTF-16 text
// (little-endian) in a heap block of exactly its length, laid out with the
// sample game's message window 0. Every visual line must hold glyphs only
// from the text, within the layout's size limits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/config_windows.h"
#include "app/log.h"
#include "scene/markup_layout.h"

namespace {

// examples/sample/game.scm, :message-window entry 0 (the fields the layout reads).
Config::MessageWindowConfig sampleWindow0() {
  Config::MessageWindowConfig config;
  config.taFont = 0;
  config.taFontSize = 24;
  config.taCharsPerLine = 56;
  config.taFontEdgeColor = {20, 20, 40, 255};
  config.taRubyFont = 0;
  config.taRubyFontSize = 10;
  config.taRubyTextColor = {255, 240, 200, 255};
  config.taRubyEdgeColor = {0, 0, 0, 220};
  return config;
}

bool sizeOk(int32_t size) { return size >= kMarkupMinFontSize && size <= kMarkupMaxFontSize; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Markup warnings would flood the fuzzer's output; they are still formatted.
  SetLogLevelMask(LOG_WARN);
  freopen("/dev/null", "w", stdout);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Config::MessageWindowConfig config = sampleWindow0();
  std::vector<char16_t> text(size / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const std::vector<LineLayout> lines = layoutMarkupText(std::u16string_view(text.data(), text.size()), config);
  size_t glyphs = 0;
  for (const LineLayout& line : lines) {
    if (!sizeOk(line.baseSize) || !sizeOk(line.rubySize)) abort();
    for (const TextSegment& seg : line.segments) {
      if (seg.base.empty() || !sizeOk(seg.baseSize) || !sizeOk(seg.rubySize)) abort();
      glyphs += seg.base.size() + seg.ruby.size();
    }
  }
  // Each glyph comes from one character of the text, placed once.
  if (glyphs > text.size()) abort();
  return 0;
}
