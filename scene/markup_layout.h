// The message text's markup layout: reads a UTF-16 message with its control
// sequences ("#" line control, "$" colour, outline, font and size, "%" voice,
// "&" ruby and reveal step) into logical lines of segments, then wraps them
// into visual lines with the kinsoku rules. Faulty markup is logged at WARN
// and skipped; nothing here stops the text or reads past its end. Pure
// computation over the window's configuration record; main thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/config_windows.h"
#include "app/log.h"
#include "scene/line_layout.h"

// Font sizes of the layout stay within 1..127 pixels (8 signed bits).
constexpr int32_t kMarkupMinFontSize = 1;
constexpr int32_t kMarkupMaxFontSize = 127;
// Colour codes of the markup: "0".."9" and "A".."K"; entry 20 is the default
// text colour.
constexpr size_t kMarkupColorCount = 21;

// One text style: what new glyphs copy.
struct MarkupStyle {
  int32_t fontSize = 0;  // pixels, 1..127
  uint8_t font = 0;      // slot of the renderer table
  uint32_t textColor = 0;  // 0xAARRGGBB
  uint32_t edgeColor = 0;  // 0xAARRGGBB; alpha 0 means no outline
  int32_t stepCount = 1;
  int32_t rubyFontSize = 0;
  uint8_t rubyFont = 0;
  uint32_t rubyTextColor = 0;
  uint32_t rubyEdgeColor = 0;
  int32_t rubyStepCount = 1;
};

// Operators of a markup number ("$s+4"): none, "+", "-", "*", "/".
enum MarkupOperator : int32_t {
  kMarkupOpNone = 0,
  kMarkupOpAdd = 1,
  kMarkupOpSub = 2,
  kMarkupOpMul = 3,
  kMarkupOpDiv = 4,
};

// Writes a markup warning to the log at WARN (only when WARN is enabled).
template <class... A>
void markupWarning(std::u16string_view format, const A&... args) {
  LogWrite(LOG_WARN, format, args...);
}

// Reads the number after a command letter at text[pos]: the letter may be
// repeated, and as many decimal digits as there are letters follow an
// optional operator ("$s8", "$ss+24"). False when the digits run into the end
// of the text or a non-digit, or when there are more than 9 letters; on
// success *value (0..999999999), *op (MarkupOperator) and *next (the position
// after the digits) are set.
bool parseMarkupNumber(std::u16string_view text, size_t pos, int32_t* value, int32_t* op, size_t* next);

// Reads a colour at text[pos]: "0".."9", "A".."K" give a table code 0..20 in
// *value (returns 1); "#RRGGBB" gives 0xFFRRGGBB in *value (returns 2); *next
// is the position after it. Anything else returns 0 and sets nothing.
int32_t parseColorCode(std::u16string_view text, size_t pos, uint32_t* value, size_t* next);

// The index-th base glyph of a logical line counted across its segments, and
// that segment's base size in *baseSize (may be null); past the end a glyph
// with character 0 and size 0.
GlyphItem glyphAt(const LineLayout& line, size_t index, int32_t* baseSize);

// The state of one layout run: the styles, the logical lines read so far and
// the segment whose glyphs are being collected.
class MarkupLayoutState {
 public:
  explicit MarkupLayoutState(const Config::MessageWindowConfig& config);

  // Reads the text up to its first character 0 or its end.
  void read(std::u16string_view text);
  // Closes the last line when it holds anything, then wraps every logical line
  // into visual lines.
  std::vector<LineLayout> finish();

 private:
  enum Mode { kNormal = 0, kRubyBase = 1, kRubyText = 2 };

  // Each returns the position after the sequence starting at text[pos], or
  // text.size() when the text ends there.
  size_t lineControl(std::u16string_view text, size_t pos);
  size_t fontControl(std::u16string_view text, size_t pos);
  size_t otherControl(std::u16string_view text, size_t pos);
  size_t edgeColor(std::u16string_view text, size_t pos);
  size_t outline(std::u16string_view text, size_t pos);
  size_t fontNumber(std::u16string_view text, size_t pos);
  size_t fontSize(std::u16string_view text, size_t pos);
  size_t stepCount(std::u16string_view text, size_t pos);

  void addGlyph(char16_t c);
  void applySize(int32_t size);
  void resetStyle();
  void closeSegment();
  void closeLine();
  void wrap(const LineLayout& line, std::vector<LineLayout>* out) const;

  const Config::MessageWindowConfig& config_;
  std::array<uint32_t, kMarkupColorCount> colors_{};
  MarkupStyle default_;
  MarkupStyle style_;
  std::vector<LineLayout> lines_;
  std::vector<TextSegment> line_;
  TextSegment segment_;
  // Reveal-step nibbles the glyphs carry; "$N" leaves them alone.
  uint8_t baseStep_ = 1;
  uint8_t rubyStep_ = 1;
  int32_t pendingBaseSize_ = 0;  // 0: none
  int32_t pendingRubySize_ = 0;
  Mode mode_ = kNormal;
};

// Lays out a message text with a message window's configuration: reads the
// markup, closes the last line and wraps every logical line. An empty text
// gives no line.
std::vector<LineLayout> layoutMarkupText(std::u16string_view text, const Config::MessageWindowConfig& config);
