// The message markup layout: kinsoku wrapping, font-size commands, ruby
// segments and their warnings, sequences cut by the end of the text (read
// from buffers with nothing after them), and the glyph that hangs into the
// allowance from the next segment.
#include "scene/markup_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// The WARN lines written while it lives, without their "[WARN ] [tick] " prefix.
class Warnings {
 public:
  Warnings() : mask_(GetLogLevelMask()) {
    SetLogLevelMask(LOG_WARN);
    SetLogObserver(&Warnings::observe, this);
  }
  ~Warnings() {
    SetLogObserver(nullptr, nullptr);
    SetLogLevelMask(mask_);
  }
  const std::vector<std::u16string>& lines() const { return lines_; }

 private:
  static void observe(void* self, uint32_t level, std::u16string_view line) {
    if (level == LOG_WARN) static_cast<Warnings*>(self)->lines_.emplace_back(line.substr(21));
  }
  uint32_t mask_;
  std::vector<std::u16string> lines_;
};

Config::MessageWindowConfig Window(int32_t charsPerLine = 46, int32_t fontSize = 32) {
  Config::MessageWindowConfig config;
  config.taCharsPerLine = charsPerLine;
  config.taFontSize = fontSize;
  return config;
}

std::u16string Text(const std::vector<GlyphItem>& glyphs) {
  std::u16string s;
  for (const GlyphItem& g : glyphs) s += static_cast<char16_t>(g.character);
  return s;
}

std::u16string Text(const LineLayout& line) {
  std::u16string s;
  for (const TextSegment& seg : line.segments) s += Text(seg.base);
  return s;
}

std::vector<std::u16string> Texts(const std::vector<LineLayout>& lines) {
  std::vector<std::u16string> out;
  for (const LineLayout& line : lines) out.push_back(Text(line));
  return out;
}

TEST(MarkupLayout, WrapsWithKinsokuRules) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> lines;
  };
  // Ten cells at size 32: a limit of four full-width glyphs, one more may hang.
  const Case cases[] = {
      {u"あいうえおかきくけ", {u"あいうえ", u"おかきく", u"け"}},
      {u"あいうえ。", {u"あいうえ。"}},  // the hanging "。" leaves no empty line behind
      {u"あいうえ。。", {u"あいう", u"え。。"}},
      {u"あいう「", {u"あいう", u"「"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Texts(layoutMarkupText(c.text, Window(10, 32))), c.lines) << std::u16string_view(c.text).size();
  }
}

TEST(MarkupLayout, FontSizeCommands) {
  struct Case {
    std::u16string text;
    int32_t size;
    std::u16string shown;
    std::vector<std::u16string> warnings;
  };
  const Case cases[] = {
      {u"$ss31あ", 30, u"あ", {u"フォントサイズは偶数でないとダメ(31)\n"}},
      {u"$s30", 2, u"0", {u"フォントサイズは偶数でないとダメ(3)\n"}},
      {u"$s/3あ", 10, u"あ", {}},  // from the configured 32
      {u"$sss200あ", 127, u"あ", {}},
      {u"$ss+99あ", 127, u"あ", {u"フォントサイズは偶数でないとダメ(99)\n"}},
      {u"$s*9あ", 127, u"あ", {}},
  };
  for (const Case& c : cases) {
    Warnings warnings;
    const std::vector<LineLayout> lines = layoutMarkupText(c.text, Window());
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].segments.size(), 1u);
    EXPECT_EQ(lines[0].segments[0].baseSize, c.size) << lines[0].segments[0].baseSize;
    EXPECT_EQ(Text(lines[0]), c.shown);
    EXPECT_EQ(warnings.lines(), c.warnings);
  }
}

TEST(MarkupLayout, RubyMakesOneSegment) {
  Warnings warnings;
  const std::vector<LineLayout> lines = layoutMarkupText(u"&RA漢字&RSかんじ&RT", Window());
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].segments.size(), 1u);
  const TextSegment& seg = lines[0].segments[0];
  EXPECT_EQ(Text(seg.base), u"漢字");
  EXPECT_EQ(Text(seg.ruby), u"かんじ");
  EXPECT_EQ(seg.stepLength(), 3);
  EXPECT_EQ(seg.rubySize, 12);
  EXPECT_EQ(seg.ruby[0].color, 0xFFFFFFFFu);
  EXPECT_TRUE(warnings.lines().empty());
}

TEST(MarkupLayout, RubyWarnings) {
  {
    Warnings warnings;
    const std::vector<LineLayout> lines = layoutMarkupText(u"&RA漢#R字&RSかん&RT", Window());
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].segments.size(), 1u);
    EXPECT_EQ(Text(lines[0].segments[0].base), u"漢字");
    EXPECT_EQ(Text(lines[0].segments[0].ruby), u"かん");
    EXPECT_EQ(warnings.lines(), std::vector<std::u16string>{u"ルビの途中で改行はできません\n"});
  }
  // "漢" ends the first line, so the ruby segment is split and loses its ruby.
  Warnings warnings;
  const std::vector<LineLayout> lines = layoutMarkupText(u"あいう&RA漢字&RSかんじ&RT", Window(10, 32));
  EXPECT_EQ(Texts(lines), (std::vector<std::u16string>{u"あいう漢", u"字"}));
  for (const LineLayout& line : lines) {
    for (const TextSegment& seg : line.segments) EXPECT_FALSE(seg.hasRuby());
  }
  EXPECT_EQ(warnings.lines(), std::vector<std::u16string>{u"折り返しのためルビ文字列は削除されました"});
}

TEST(MarkupLayout, SequenceCutByTheEndOfTheText) {
  struct Case {
    std::u16string text;
    std::u16string warning;
  };
  const Case cases[] = {
      {u"あ$", u"未知のフォント制御コードです($\0)\n"s},
      {u"あ&R", u"未定義のその他制御コードです(R\0)\n"s},
      {u"あ$a", u"フチ指定の数値は0,1,2です($a\0)\n"s},
      {u"あ$s", u"フォントサイズ指定が不正です\n"},
      {u"あ$f", u"未知のフォント制御コードです($\0)\n"s},
  };
  for (const Case& c : cases) {
    // A heap block of exactly the text: reading past it is an overflow.
    const std::vector<char16_t> buffer(c.text.begin(), c.text.end());
    Warnings warnings;
    const std::vector<LineLayout> lines =
        layoutMarkupText(std::u16string_view(buffer.data(), buffer.size()), Window());
    EXPECT_EQ(Texts(lines), std::vector<std::u16string>{u"あ"});
    EXPECT_EQ(warnings.lines(), std::vector<std::u16string>{c.warning});
  }
}

TEST(MarkupLayout, HangingGlyphOfTheNextSegmentIsPlacedOnce) {
  // "。" opens the size-24 segment and hangs after "え": it stays on the first
  // line in its own segment's size, and the second line starts at "か".
  const std::vector<LineLayout> lines = layoutMarkupText(u"あいうえ$ss24。か", Window(10, 32));
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].segments.size(), 2u);
  EXPECT_EQ(Text(lines[0].segments[0].base), u"あいうえ");
  EXPECT_EQ(lines[0].segments[0].baseSize, 32);
  EXPECT_EQ(Text(lines[0].segments[1].base), u"。");
  EXPECT_EQ(lines[0].segments[1].baseSize, 24);
  ASSERT_EQ(lines[1].segments.size(), 1u);
  EXPECT_EQ(Text(lines[1].segments[0].base), u"か");
  EXPECT_EQ(lines[1].segments[0].baseSize, 24);
}

}  // namespace
