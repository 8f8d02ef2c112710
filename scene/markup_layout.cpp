#include "scene/markup_layout.h"

#include <algorithm>
#include <utility>

#include "scene/line_break.h"

namespace {

int32_t clampFontSize(int64_t size) {
  return static_cast<int32_t>(std::clamp<int64_t>(size, kMarkupMinFontSize, kMarkupMaxFontSize));
}

uint8_t clampFont(int32_t font) { return static_cast<uint8_t>(std::clamp(font, 0, 255)); }

uint32_t packColor(const Config::ColorQuad& q) {
  auto byte = [](int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return byte(q.a) << 24 | byte(q.r) << 16 | byte(q.g) << 8 | byte(q.b);
}

int32_t hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Half-width cells of a glyph times its size; 0 for character 0.
int32_t advanceOf(const GlyphItem& g, int32_t size) {
  return g.character == 0 ? 0 : CellsOf(g.character) * size;
}

// Moves (segment, index) to the next base glyph of the line; false past the end.
bool stepForward(const std::vector<TextSegment>& segments, size_t* segment, size_t* index) {
  ++*index;
  while (*segment < segments.size() && *index >= segments[*segment].base.size()) {
    ++*segment;
    *index = 0;
  }
  return *segment < segments.size();
}

}  // namespace

bool parseMarkupNumber(std::u16string_view text, size_t pos, int32_t* value, int32_t* op, size_t* next) {
  if (pos >= text.size()) return false;
  const char16_t letter = text[pos];
  size_t p = pos;
  while (p < text.size() && text[p] == letter) ++p;
  const size_t digits = p - pos;
  if (digits > 9) return false;  // keeps the number within 32 bits
  int32_t o = kMarkupOpNone;
  if (p < text.size()) {
    switch (text[p]) {
      case u'+': o = kMarkupOpAdd; break;
      case u'-': o = kMarkupOpSub; break;
      case u'*': o = kMarkupOpMul; break;
      case u'/': o = kMarkupOpDiv; break;
      default: break;
    }
    if (o != kMarkupOpNone) ++p;
  }
  if (text.size() - p < digits) return false;
  int32_t v = 0;
  for (size_t k = 0; k < digits; ++k) {
    const char16_t c = text[p + k];
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
  }
  *value = v;
  *op = o;
  *next = p + digits;
  return true;
}

int32_t parseColorCode(std::u16string_view text, size_t pos, uint32_t* value, size_t* next) {
  if (pos >= text.size()) return 0;
  const char16_t c = text[pos];
  if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'K')) {
    *value = c <= u'9' ? c - u'0' : c - u'A' + 10;
    *next = pos + 1;
    return 1;
  }
  if (c != u'#' || text.size() - pos < 7) return 0;
  uint32_t rgb = 0;
  for (size_t k = 1; k <= 6; ++k) {
    const int32_t d = hexDigit(text[pos + k]);
    if (d < 0) return 0;
    rgb = rgb << 4 | static_cast<uint32_t>(d);
  }
  *value = 0xFF000000u | rgb;
  *next = pos + 7;
  return 2;
}

GlyphItem glyphAt(const LineLayout& line, size_t index, int32_t* baseSize) {
  for (const TextSegment& s : line.segments) {
    if (index < s.base.size()) {
      if (baseSize) *baseSize = s.baseSize;
      return s.base[index];
    }
    index -= s.base.size();
  }
  if (baseSize) *baseSize = 0;
  return GlyphItem{};
}

MarkupLayoutState::MarkupLayoutState(const Config::MessageWindowConfig& config) : config_(config) {
  if (config.colorTable.size() == kMarkupColorCount) {
    std::copy(config.colorTable.begin(), config.colorTable.end(), colors_.begin());
  } else {
    colors_.fill(0xFFFFFFFFu);
  }
  default_.fontSize = clampFontSize(config.taFontSize);
  default_.font = clampFont(config.taFont);
  default_.textColor = colors_[20];
  default_.edgeColor = packColor(config.taFontEdgeColor);
  default_.rubyFontSize = clampFontSize(config.taRubyFontSize);
  default_.rubyFont = clampFont(config.taRubyFont);
  default_.rubyTextColor = packColor(config.taRubyTextColor);
  default_.rubyEdgeColor = packColor(config.taRubyEdgeColor);
  style_ = default_;
  segment_.baseSize = style_.fontSize;
  segment_.rubySize = style_.rubyFontSize;
}

void MarkupLayoutState::read(std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  size_t pos = 0;
  while (pos < text.size()) {
    switch (text[pos]) {
      case u'#': pos = lineControl(text, pos); break;
      case u'$': pos = fontControl(text, pos); break;
      case u'%':
        // Voices are not driven from the text.
        markupWarning(u"VOICE制御は未対応です(%%d)", pos + 1 < text.size() ? text[pos + 1] : u'\0');
        pos = std::min(pos + 2, text.size());
        break;
      case u'&': pos = otherControl(text, pos); break;
      default:
        addGlyph(text[pos]);
        ++pos;
        break;
    }
  }
}

size_t MarkupLayoutState::lineControl(std::u16string_view text, size_t pos) {
  if (pos + 1 >= text.size()) {
    markupWarning(u"未知の制御コードです(#%c)\n", u'\0');
    return text.size();
  }
  const char16_t x = text[pos + 1];
  if (x == u'R') {
    if (mode_ == kNormal) {
      closeSegment();
      closeLine();
    } else {
      markupWarning(u"ルビの途中で改行はできません\n");
    }
  } else if (x != u'T' && x != u't') {
    markupWarning(u"未知の制御コードです(#%c)\n", x);
  }
  return pos + 2;
}

size_t MarkupLayoutState::fontControl(std::u16string_view text, size_t pos) {
  if (pos + 1 >= text.size()) {
    markupWarning(u"未知のフォント制御コードです($%c)\n", u'\0');
    return text.size();
  }
  uint32_t value = 0;
  size_t next = 0;
  if (const int32_t kind = parseColorCode(text, pos + 1, &value, &next)) {
    const uint32_t color = kind == 1 ? colors_[value] : value;
    (mode_ == kRubyText ? style_.rubyTextColor : style_.textColor) = color;
    return next;
  }
  const char16_t x = text[pos + 1];
  switch (x) {
    case u'L':
      applySize(clampFontSize(int64_t{2} * (mode_ == kRubyText ? default_.rubyFontSize : default_.fontSize)));
      return pos + 2;
    case u'N': resetStyle(); return pos + 2;
    case u'a': return outline(text, pos);
    case u'e': return edgeColor(text, pos);
    case u'f': return fontNumber(text, pos);
    case u's': return fontSize(text, pos);
    default:
      markupWarning(u"未知のフォント制御コードです($%c)\n", x);
      return pos + 2;
  }
}

size_t MarkupLayoutState::otherControl(std::u16string_view text, size_t pos) {
  if (pos + 1 >= text.size()) {
    markupWarning(u"未定義のその他制御コードです(%%%c)\n", u'\0');
    return text.size();
  }
  const char16_t x = text[pos + 1];
  if (x == u'S') return stepCount(text, pos);
  if (x != u'R') {
    markupWarning(u"未定義のその他制御コードです(%%%c)\n", x);
    return pos + 2;
  }
  if (pos + 2 >= text.size()) {
    markupWarning(u"未定義のその他制御コードです(R%c)\n", u'\0');
    return text.size();
  }
  const char16_t y = text[pos + 2];
  switch (y) {
    case u'A':
      if (mode_ != kNormal) {
        markupWarning(u"ルビモード中にRAが来た\n");
        break;
      }
      closeSegment();
      mode_ = kRubyBase;
      break;
    case u'S':
      if (mode_ != kRubyBase) {
        markupWarning(u"ルビ本文中でないのにRSが来た\n");
        break;
      }
      mode_ = kRubyText;
      break;
    case u'T':
      if (mode_ != kRubyText) {
        markupWarning(u"ルビ文中でないのにRTが来た\n");
        break;
      }
      mode_ = kNormal;
      closeSegment();
      break;
    default: markupWarning(u"未定義のその他制御コードです(R%c)\n", y); break;
  }
  return pos + 3;
}

// "$e" and a colour at pos + 2.
size_t MarkupLayoutState::edgeColor(std::u16string_view text, size_t pos) {
  uint32_t value = 0;
  size_t next = 0;
  const int32_t kind = parseColorCode(text, pos + 2, &value, &next);
  if (kind == 0) {
    markupWarning(u"フチ色の指定がありません($e)\n");
    return std::min(pos + 2, text.size());
  }
  // Code 20 is the window's own edge colour rather than the table's entry.
  const uint32_t color = kind == 2 ? value : value == 20 ? default_.edgeColor : colors_[value];
  (mode_ == kRubyText ? style_.rubyEdgeColor : style_.edgeColor) = color;
  return next;
}

// "$a" and a digit at pos + 2: 1 outline on, 2 off, 0 as configured.
size_t MarkupLayoutState::outline(std::u16string_view text, size_t pos) {
  if (pos + 2 >= text.size()) {
    markupWarning(u"フチ指定の数値は0,1,2です($a%c)\n", u'\0');
    return text.size();
  }
  const bool ruby = mode_ == kRubyText;
  const uint32_t configured = ruby ? default_.rubyEdgeColor : default_.edgeColor;
  const char16_t d = text[pos + 2];
  int32_t which = 0;
  if (d == u'1' || d == u'2') which = d - u'0';
  if (d == u'0') which = (configured >> 24) > 0 ? 1 : 2;
  if (which == 0) {
    markupWarning(u"フチ指定の数値は0,1,2です($a%c)\n", d);
    return pos + 3;
  }
  uint32_t& edge = ruby ? style_.rubyEdgeColor : style_.edgeColor;
  edge = (edge & 0x00FFFFFFu) | (which == 1 ? 0xFF000000u : 0u);
  return pos + 3;
}

// "$f" and "0".."7" or "-" at pos + 2; any other character is skipped.
size_t MarkupLayoutState::fontNumber(std::u16string_view text, size_t pos) {
  if (pos + 2 >= text.size()) {
    // "$f" has no warning of its own: the font commands' one, with code 0.
    markupWarning(u"未知のフォント制御コードです($%c)\n", u'\0');
    return text.size();
  }
  const char16_t x = text[pos + 2];
  if ((x >= u'0' && x <= u'7') || x == u'-') {
    if (mode_ == kNormal) closeSegment();
    const bool ruby = mode_ == kRubyText;
    const uint8_t configured = ruby ? default_.rubyFont : default_.font;
    const uint8_t font = x == u'-' ? configured : static_cast<uint8_t>(x - u'0');
    (ruby ? style_.rubyFont : style_.font) = font;
  }
  return pos + 3;
}

// "$s" and a number: an absolute size or an operation on the current one.
size_t MarkupLayoutState::fontSize(std::u16string_view text, size_t pos) {
  int32_t n = 0;
  int32_t op = 0;
  size_t next = 0;
  if (!parseMarkupNumber(text, pos + 1, &n, &op, &next)) {
    markupWarning(u"フォントサイズ指定が不正です\n");
    return std::min(pos + 2, text.size());
  }
  const bool ruby = mode_ == kRubyText;
  const int32_t pending = ruby ? pendingRubySize_ : pendingBaseSize_;
  const int64_t current = pending != 0 ? pending : ruby ? style_.rubyFontSize : style_.fontSize;
  if (op <= kMarkupOpSub && n % 2 != 0) {
    markupWarning(u"フォントサイズは偶数でないとダメ(%d)\n", n);
    n -= 1;
  }
  int64_t size = n;
  switch (op) {
    case kMarkupOpAdd: size = current + n; break;
    case kMarkupOpSub: size = current - n; break;
    case kMarkupOpMul: size = current * n; break;
    case kMarkupOpDiv:
      size = current;
      if (n > 1) {
        size = std::max<int64_t>(current / n, 2);
        if (size % 2 != 0) {
          markupWarning(u"フォントサイズは偶数でないとダメ(%d)\n", static_cast<int32_t>(size));
          size -= 1;
        }
      }
      break;
    default: break;
  }
  if (size < 1) size = ruby ? default_.rubyFontSize : default_.fontSize;
  applySize(clampFontSize(size));
  return next;
}

// "&S" and a plain number: characters per reveal step.
size_t MarkupLayoutState::stepCount(std::u16string_view text, size_t pos) {
  int32_t n = 0;
  int32_t op = 0;
  size_t next = 0;
  if (!parseMarkupNumber(text, pos + 1, &n, &op, &next)) {
    markupWarning(u"文字送り数指定が不正です\n");
    return std::min(pos + 2, text.size());
  }
  if (op != kMarkupOpNone) {
    markupWarning(u"文字送り数指定は即値のみです\n");
    return next;
  }
  const int32_t count = n < 2 ? 1 : n;
  const bool ruby = mode_ == kRubyText;
  (ruby ? style_.rubyStepCount : style_.stepCount) = count;
  (ruby ? rubyStep_ : baseStep_) = static_cast<uint8_t>(count & 0x0F);
  return next;
}

void MarkupLayoutState::addGlyph(char16_t c) {
  GlyphItem g;
  g.character = c;
  if (mode_ == kRubyText) {
    g.font = style_.rubyFont;
    g.step = rubyStep_;
    g.color = style_.rubyTextColor;
    g.edgeColor = style_.rubyEdgeColor;
    segment_.ruby.push_back(g);
  } else {
    g.font = style_.font;
    g.step = baseStep_;
    g.color = style_.textColor;
    g.edgeColor = style_.edgeColor;
    segment_.base.push_back(g);
  }
}

// A new size: outside ruby it starts a new segment; inside ruby it waits for
// the segment's end once glyphs of its kind were collected.
void MarkupLayoutState::applySize(int32_t size) {
  switch (mode_) {
    case kNormal:
      closeSegment();
      segment_.baseSize = style_.fontSize = size;
      break;
    case kRubyBase:
      if (!segment_.base.empty()) {
        pendingBaseSize_ = size;
      } else {
        segment_.baseSize = style_.fontSize = size;
      }
      break;
    case kRubyText:
      if (!segment_.ruby.empty()) {
        pendingRubySize_ = size;
      } else {
        segment_.rubySize = style_.rubyFontSize = size;
      }
      break;
  }
}

// "$N": the configured style; inside ruby the sizes wait like "$s" does.
void MarkupLayoutState::resetStyle() {
  if (mode_ == kNormal) {
    closeSegment();
    style_ = default_;
    segment_.baseSize = style_.fontSize;
    segment_.rubySize = style_.rubyFontSize;
    return;
  }
  const int32_t baseSize = style_.fontSize;
  const int32_t rubySize = style_.rubyFontSize;
  style_ = default_;
  style_.fontSize = baseSize;
  style_.rubyFontSize = rubySize;
  if (!segment_.base.empty()) {
    pendingBaseSize_ = default_.fontSize;
  } else {
    segment_.baseSize = style_.fontSize = default_.fontSize;
  }
  if (!segment_.ruby.empty()) {
    pendingRubySize_ = default_.rubyFontSize;
  } else {
    segment_.rubySize = style_.rubyFontSize = default_.rubyFontSize;
  }
}

// A segment without base glyphs is dropped, ruby and all; waiting sizes take
// effect for the next one.
void MarkupLayoutState::closeSegment() {
  if (!segment_.base.empty()) line_.push_back(std::move(segment_));
  segment_ = TextSegment{};
  if (pendingBaseSize_ != 0) style_.fontSize = pendingBaseSize_;
  if (pendingRubySize_ != 0) style_.rubyFontSize = pendingRubySize_;
  pendingBaseSize_ = 0;
  pendingRubySize_ = 0;
  segment_.baseSize = style_.fontSize;
  segment_.rubySize = style_.rubyFontSize;
}

void MarkupLayoutState::closeLine() {
  LineLayout line;
  line.baseSize = style_.fontSize;
  line.rubySize = style_.rubyFontSize;
  line.segments = std::move(line_);
  lines_.push_back(std::move(line));
  line_.clear();
}

std::vector<LineLayout> MarkupLayoutState::finish() {
  if (!line_.empty() || !segment_.base.empty()) {
    closeSegment();
    closeLine();
  }
  std::vector<LineLayout> out;
  for (const LineLayout& line : lines_) wrap(line, &out);
  return out;
}

// Positions are in pixels of each glyph's own size; the limit and the hang
// allowance come from the configured size and characters per line.
void MarkupLayoutState::wrap(const LineLayout& line, std::vector<LineLayout>* out) const {
  const int32_t cpl = config_.taCharsPerLine;
  const int32_t charsPerLine = cpl >= 4 && cpl <= 99 ? cpl : 46;
  const int32_t limit = (charsPerLine - 2) * default_.fontSize;
  const int32_t allowance = 2 * default_.fontSize;
  const std::vector<TextSegment>& segments = line.segments;
  const size_t firstOut = out->size();

  LineLayout visual;
  TextSegment work;  // the part of the source segment on the visual line
  const TextSegment* source = nullptr;
  size_t si = 0;  // source segment and the index of its next glyph to place
  size_t j = 0;
  int32_t x = 0;

  auto begin = [&](size_t s) {
    source = &segments[s];
    work = TextSegment{source->baseSize, {}, source->rubySize, source->ruby};
    work.base.reserve(source->base.size());
  };
  auto flush = [&] {
    if (!work.base.empty()) visual.segments.push_back(std::move(work));
    work.base.clear();
    work.ruby.clear();
  };
  auto endVisual = [&] {
    if (source && work.hasRuby() && !work.base.empty() && work.base.size() < source->base.size()) {
      markupWarning(u"折り返しのためルビ文字列は削除されました");
      work.ruby.clear();
    }
    flush();
    visual.baseSize = source ? source->baseSize : line.baseSize;
    visual.rubySize = source ? source->rubySize : line.rubySize;
    out->push_back(std::move(visual));
    visual = LineLayout{};
    // The rest of a split segment goes on without its ruby.
    if (source) {
      work = TextSegment{source->baseSize, {}, source->rubySize, {}};
      if (j == 0) work.ruby = source->ruby;
      work.base.reserve(source->base.size() - j);
    }
  };

  if (!segments.empty()) begin(0);
  while (si < segments.size()) {
    const TextSegment& seg = segments[si];
    if (j >= seg.base.size()) {
      flush();
      ++si;
      j = 0;
      if (si < segments.size()) begin(si);
      continue;
    }
    const GlyphItem c = seg.base[j];
    const int32_t w = advanceOf(c, seg.baseSize);
    GlyphItem n;
    GlyphItem nn;
    int32_t wn = 0;
    int32_t wnn = 0;
    size_t nsi = si;
    size_t nj = j;
    if (stepForward(segments, &nsi, &nj)) {
      n = segments[nsi].base[nj];
      wn = advanceOf(n, segments[nsi].baseSize);
      size_t a = nsi;
      size_t b = nj;
      if (stepForward(segments, &a, &b)) {
        nn = segments[a].base[b];
        wnn = advanceOf(nn, segments[a].baseSize);
      }
    }
    const int32_t r =
        decideLineBreak(limit, allowance, x, w, c.character, n.character, wn, nn.character, wnn);
    if (r == 2) {
      endVisual();
      work.base.push_back(c);
      ++j;
      x = w;
      continue;
    }
    work.base.push_back(c);
    ++j;
    if (r == 0) {
      x += w;
      continue;
    }
    if (r == 1 && wn > 0) {
      // The hanging glyph goes once, in its own segment's sizes: when it
      // opens the next segment, that segment starts here with it.
      if (nsi != si) {
        flush();
        si = nsi;
        begin(si);
        j = nj;
      }
      work.base.push_back(n);
      ++j;
    }
    endVisual();
    x = 0;
  }
  // The last visual line; an empty logical line still gives one.
  if (!visual.segments.empty() || out->size() == firstOut) endVisual();
}

std::vector<LineLayout> layoutMarkupText(std::u16string_view text,
                                         const Config::MessageWindowConfig& config) {
  MarkupLayoutState state(config);
  state.read(text);
  return state.finish();
}
