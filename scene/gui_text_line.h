// GUITextLine: one plain string in one style (the information lines of the
// root, the items of a choice list), optionally outlined and optionally
// revealed up to a pixel position. Main thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gdev/glyph_renderer.h"
#include "gdev/zep_texture.h"
#include "scene/gui_component.h"

class GUITextLine : public GUIComponent {
 public:
  // (character, colour code); code 0 is the default colour.
  using Glyph = std::pair<uint32_t, uint32_t>;
  static constexpr int32_t kColorCount = 21;

  GUITextLine();

  bool isDrawable() override { return static_cast<bool>(text_); }
  void draw() override;
  bool paintExtent(ScreenArea* area) override { return extentIsOwnRect(area); }

  // Every character with the default colour code.
  void setString(std::u16string_view text, bool withEdge);
  // Renders the glyphs in the text parameters. With colourising, each
  // glyph's cell takes its code's colour from the colour table. With an
  // edge (and an edge width, the parameters' margin, of at least 1) an
  // outline in the parameters' edge colour (0xAARRGGBB) is drawn under it.
  void setGlyphs(std::vector<Glyph> glyphs, bool colourise, bool withEdge);

  // Shows only the part left of texture pixel x; -1 shows all.
  void setRevealPosition(int32_t x);
  int32_t revealPosition() const { return reveal_; }

  TextRenderParams& textParams() { return params_; }
  std::array<uint32_t, kColorCount>& colorTable() { return colors_; }
  const ZEPTextureRef& textTexture() const { return text_; }
  const ZEPTextureRef& edgeTexture() const { return edge_; }

 private:
  ZEPTextureRef text_;
  ZEPTextureRef edge_;
  TextRenderParams params_;
  std::vector<Glyph> glyphs_;
  int32_t reveal_ = -1;
  std::array<uint32_t, kColorCount> colors_;
};
