// make_sample_art OUTDIR: draws every picture that examples/sample/game.scm
// names in ":parts", ":message-window", ":menu" and its story (backgrounds
// under image/, character cells under cell/, the frames of stream animation
// 1 under anime/anim01/) and the rule, mask and sprite pictures of the
// layer scripts, the sounds of the story (tools/sample_sounds.h) and the
// opening movie (tools/sample_movie.h), and writes it under OUTDIR at the
// path the engine looks it up by (numbered urls under parts/, named urls in
// the game folder). make_sample_art --tutorial OUTDIR does the same for
// examples/tutorial: its two backgrounds, its character and its music. The
// pixels come from integer arithmetic only and the engine's PNG writer, so
// a run makes the committed files again byte for byte. A build tool on one
// thread; writes nothing outside OUTDIR.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "gdev/image_file.h"
#include "gdev/rgba_image.h"
#include "platform/utf8.h"
#include "tools/sample_movie.h"
#include "tools/sample_sounds.h"

namespace {

struct Color {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 255;
};

// Pixel rectangle: x, y of the top left pixel, width and height in pixels.
struct Rect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
};

// A point on the pixel grid: (0, 0) is the top left corner of the top left
// pixel, so the centre of pixel (x, y) lies at (x + 0.5, y + 0.5).
struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

constexpr Color kWhite{255, 255, 255};
constexpr Color kBlack{0, 0, 0};
constexpr Color kGold{255, 214, 96};     // colour-table entry 2
constexpr Color kSky{120, 190, 255};     // colour-table entry 3
constexpr Color kOutline{16, 20, 36};    // the outer line of every button
constexpr Color kInk{248, 248, 240};     // button icons
constexpr Color kDimInk{156, 156, 156};  // button icons, disabled

// ---- Drawing helpers. Everything is clipped to the image.

void Put(RGBAImage* image, int32_t x, int32_t y, Color c) {
  if (x < 0 || y < 0 || x >= image->width || y >= image->height) return;
  uint8_t* p = image->pixel(x, y);  // blue, green, red, alpha
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
  p[3] = c.a;
}

void FillRect(RGBAImage* image, Rect r, Color c) {
  for (int32_t y = r.y; y < r.y + r.h; ++y) {
    for (int32_t x = r.x; x < r.x + r.w; ++x) Put(image, x, y, c);
  }
}

// top drawn over under with normal blending, in whole numbers.
Color Over(Color top, Color under) {
  const int32_t a = top.a + under.a * (255 - top.a) / 255;
  if (a == 0) return {0, 0, 0, 0};
  const int32_t rest = a - top.a;
  const auto channel = [&](uint8_t t, uint8_t u) { return static_cast<uint8_t>((t * top.a + u * rest) / a); };
  return {channel(top.r, under.r), channel(top.g, under.g), channel(top.b, under.b), static_cast<uint8_t>(a)};
}

// The channel part of the way from a to b: at / 256 of it, rounded down.
uint8_t MixChannel(uint8_t a, uint8_t b, int32_t at) { return static_cast<uint8_t>(a + (b - a) * at / 256); }

// at in 0..256: 0 is a, 256 is b.
Color Mix(Color a, Color b, int32_t at) {
  return {MixChannel(a.r, b.r, at), MixChannel(a.g, b.g, at), MixChannel(a.b, b.b, at), MixChannel(a.a, b.a, at)};
}

// Rows run from top (first row) to bottom (last row) in equal steps.
void VerticalGradient(RGBAImage* image, Rect r, Color top, Color bottom) {
  for (int32_t i = 0; i < r.h; ++i) {
    const int32_t at = r.h > 1 ? i * 256 / (r.h - 1) : 0;
    FillRect(image, {r.x, r.y + i, r.w, 1}, Mix(top, bottom, at));
  }
}

// A border of the given thickness just inside the rectangle.
void Frame(RGBAImage* image, Rect r, int32_t thickness, Color c) {
  FillRect(image, {r.x, r.y, r.w, thickness}, c);
  FillRect(image, {r.x, r.y + r.h - thickness, r.w, thickness}, c);
  FillRect(image, {r.x, r.y, thickness, r.h}, c);
  FillRect(image, {r.x + r.w - thickness, r.y, thickness, r.h}, c);
}

// One-pixel bevel just inside the rectangle: light on the top and left
// edges, dark on the bottom and right.
void Bevel(RGBAImage* image, Rect r, Color light, Color dark) {
  FillRect(image, {r.x, r.y, r.w, 1}, light);
  FillRect(image, {r.x, r.y, 1, r.h}, light);
  FillRect(image, {r.x, r.y + r.h - 1, r.w, 1}, dark);
  FillRect(image, {r.x + r.w - 1, r.y, 1, r.h}, dark);
}

// Pixels whose centre lies within radius of the grid point (outer) and not
// within inner (0 for a filled disc).
void Ring(RGBAImage* image, Point centre, int32_t outer, int32_t inner, Color c) {
  for (int32_t y = centre.y - outer; y <= centre.y + outer; ++y) {
    for (int32_t x = centre.x - outer; x <= centre.x + outer; ++x) {
      // Doubled coordinates keep the pixel centres on integers.
      const int64_t dx = 2 * static_cast<int64_t>(x) + 1 - 2 * static_cast<int64_t>(centre.x);
      const int64_t dy = 2 * static_cast<int64_t>(y) + 1 - 2 * static_cast<int64_t>(centre.y);
      const int64_t d = dx * dx + dy * dy;
      if (d <= 4 * static_cast<int64_t>(outer) * outer && d > 4 * static_cast<int64_t>(inner) * inner) {
        Put(image, x, y, c);
      }
    }
  }
}

void FillCircle(RGBAImage* image, Point centre, int32_t radius, Color c) { Ring(image, centre, radius, 0, c); }

// Which side of the line a to b the doubled point p lies on.
int64_t Side(Point a, Point b, int64_t px, int64_t py) {
  return (2 * static_cast<int64_t>(b.x) - 2 * a.x) * (py - 2 * static_cast<int64_t>(a.y)) -
         (2 * static_cast<int64_t>(b.y) - 2 * a.y) * (px - 2 * static_cast<int64_t>(a.x));
}

// Pixels whose centre lies inside the triangle or on its edges.
void FillTriangle(RGBAImage* image, Point a, Point b, Point c, Color color) {
  const int32_t left = std::min({a.x, b.x, c.x});
  const int32_t right = std::max({a.x, b.x, c.x});
  const int32_t top = std::min({a.y, b.y, c.y});
  const int32_t bottom = std::max({a.y, b.y, c.y});
  for (int32_t y = top; y < bottom; ++y) {
    for (int32_t x = left; x < right; ++x) {
      const int64_t px = 2 * static_cast<int64_t>(x) + 1;
      const int64_t py = 2 * static_cast<int64_t>(y) + 1;
      const int64_t s0 = Side(a, b, px, py);
      const int64_t s1 = Side(b, c, px, py);
      const int64_t s2 = Side(c, a, px, py);
      if ((s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0)) Put(image, x, y, color);
    }
  }
}

// ---- Button icons: shapes only, drawn inside the box.

using IconFn = void (*)(RGBAImage* image, Rect box, Color ink);

// Saving: an arrow down onto a bar.
void IconSave(RGBAImage* image, Rect box, Color ink) {
  const int32_t bar = box.h / 5;
  FillTriangle(image, {box.x, box.y}, {box.x + box.w, box.y}, {box.x + box.w / 2, box.y + box.h - 2 * bar}, ink);
  FillRect(image, {box.x, box.y + box.h - bar, box.w, bar}, ink);
}

// Loading: an arrow up off a bar.
void IconLoad(RGBAImage* image, Rect box, Color ink) {
  const int32_t bar = box.h / 5;
  FillTriangle(image, {box.x + box.w / 2, box.y}, {box.x + box.w, box.y + box.h - 2 * bar},
               {box.x, box.y + box.h - 2 * bar}, ink);
  FillRect(image, {box.x, box.y + box.h - bar, box.w, bar}, ink);
}

// The backlog: three lines of a list.
void IconList(RGBAImage* image, Rect box, Color ink) {
  const int32_t line = box.h / 5;
  for (int32_t i = 0; i < 3; ++i) FillRect(image, {box.x, box.y + 2 * i * line, box.w, line}, ink);
}

// Hiding the window: a small window with its title strip.
void IconWindow(RGBAImage* image, Rect box, Color ink) {
  Frame(image, box, 1, ink);
  FillRect(image, {box.x, box.y, box.w, box.h / 3}, ink);
}

// Configuration: a wheel with its hub.
void IconWheel(RGBAImage* image, Rect box, Color ink) {
  const Point centre{box.x + box.w / 2, box.y + box.h / 2};
  Ring(image, centre, box.w / 2, box.w / 2 - 3, ink);
  FillCircle(image, centre, box.w / 6, ink);
}

// The story chart: a ring round the centre linked to a dot on each side;
// the centre itself keeps the button's fill.
void IconChart(RGBAImage* image, Rect box, Color ink) {
  const Point centre{box.x + box.w / 2, box.y + box.h / 2};
  const int32_t outer = box.w / 2 - 6;
  Ring(image, centre, outer, outer - 2, ink);
  const int32_t stub = box.w / 2 - outer - 2;  // from a dot's centre to the ring
  FillRect(image, {box.x + 3, centre.y - 1, stub, 2}, ink);
  FillRect(image, {box.x + box.w - 3 - stub, centre.y - 1, stub, 2}, ink);
  FillCircle(image, {box.x + 3, centre.y}, 3, ink);
  FillCircle(image, {box.x + box.w - 3, centre.y}, 3, ink);
}

// Starting: a triangle pointing right.
void IconPlay(RGBAImage* image, Rect box, Color ink) {
  FillTriangle(image, {box.x, box.y}, {box.x + box.w, box.y + box.h / 2}, {box.x, box.y + box.h}, ink);
}

// ---- Buttons: one picture holds the states in a row or a column.

enum ButtonState { kNormal, kHover, kPressed, kDisabled };

struct ButtonLook {
  int32_t width;  // one state
  int32_t height;
  bool stacked;  // states top to bottom, else left to right
  int32_t states;  // how many of fills are drawn
  Color fills[4];  // by ButtonState: the flat fill round the centre
  IconFn icon;  // null for none
  Rect iconBox;  // relative to the state's top left
};

// One state: outline, bevel (sunken when pressed), flat fill, icon. The
// fill covers the state's centre, whatever the icon.
void DrawButtonState(RGBAImage* image, Rect r, const ButtonLook& look, int32_t state) {
  const Color fill = look.fills[state];
  const Color light = Mix(fill, kWhite, 128);
  const Color dark = Mix(fill, kBlack, 128);
  FillRect(image, r, fill);
  Frame(image, r, 1, kOutline);
  const Rect inner{r.x + 1, r.y + 1, r.w - 2, r.h - 2};
  if (state == kPressed) {
    Bevel(image, inner, dark, light);
  } else {
    Bevel(image, inner, light, dark);
  }
  if (!look.icon) return;
  Rect box = look.iconBox;
  box.x += r.x;
  box.y += r.y;
  if (state == kPressed) {
    ++box.x;
    ++box.y;
  }
  look.icon(image, box, state == kDisabled ? kDimInk : kInk);
}

void DrawButton(RGBAImage* image, const ButtonLook& look) {
  for (int32_t i = 0; i < look.states; ++i) {
    const Rect r{look.stacked ? 0 : i * look.width, look.stacked ? i * look.height : 0, look.width, look.height};
    DrawButtonState(image, r, look, i);
  }
}

// Message-window buttons, 88 x 28 a state, stacked.
constexpr ButtonLook kQuickSave{
    88, 28, true, 4, {{56, 92, 160}, {84, 128, 212}, {36, 60, 112}, {104, 108, 116}}, IconSave, {8, 6, 16, 16}};
constexpr ButtonLook kQuickLoad{
    88, 28, true, 3, {{52, 132, 96}, {76, 176, 128}, {32, 88, 64}, {}}, IconLoad, {8, 6, 16, 16}};
constexpr ButtonLook kBacklog{88, 28, true, 2, {{168, 112, 40}, {214, 150, 60}, {}, {}}, IconList, {8, 7, 16, 15}};
// The hide button is two files of one state each.
constexpr ButtonLook kHide{48, 20, true, 1, {{88, 72, 140}, {}, {}, {}}, IconWindow, {5, 4, 12, 12}};
constexpr ButtonLook kHideOn{48, 20, true, 1, {{124, 104, 192}, {}, {}, {}}, IconWindow, {5, 4, 12, 12}};
// Side-menu buttons, 96 x 36 a state, in a row.
constexpr ButtonLook kMenuSave{
    96, 36, false, 4, {{40, 120, 140}, {64, 164, 188}, {28, 80, 96}, {100, 110, 112}}, IconSave, {8, 8, 20, 20}};
constexpr ButtonLook kMenuLoad{96, 36, false, 2, {{52, 132, 96}, {76, 176, 128}, {}, {}}, IconLoad, {8, 8, 20, 20}};
constexpr ButtonLook kMenuConfig{
    96, 36, false, 2, {{120, 84, 150}, {160, 116, 198}, {}, {}}, IconWheel, {8, 8, 20, 20}};
// The bottom menu's chart button, one state.
constexpr ButtonLook kChart{40, 40, true, 1, {{176, 64, 64}, {}, {}, {}}, IconChart, {4, 4, 32, 32}};
// The title's start button, 208 x 56 a state, stacked: night blue that
// lights up under the pointer, its caption a text part over it.
constexpr ButtonLook kTitleStart{
    208, 56, true, 3, {{40, 52, 104}, {76, 104, 196}, {28, 36, 72}, {}}, IconPlay, {20, 18, 16, 20}};

// The title's round quit button, 88 x 88 a state in a row: a disc in the
// button outline with a light rim and a gold ring inside, a deep red that
// lights up under the pointer; its caption a text part over it. A pressed
// disc loses its rim and sinks a pixel. Transparent round it.
void DrawQuitButton(RGBAImage* image) {
  const Color fills[3] = {{112, 36, 48}, {196, 68, 80}, {80, 24, 32}};
  for (int32_t i = 0; i < 3; ++i) {
    const Point centre{88 * i + 44, 44};
    const int32_t sink = i == kPressed ? 1 : 0;
    FillCircle(image, centre, 44, kOutline);
    FillCircle(image, centre, 42, Mix(fills[i], kWhite, i == kPressed ? 0 : 96));
    FillCircle(image, {centre.x + sink, centre.y + sink}, 40, fills[i]);
    Ring(image, {centre.x + sink, centre.y + sink}, 37, 35, kGold);
  }
}

// ---- The pictures, one function each.

// A framed emblem: a gold diamond with a sky-blue disc on a night gradient.
void DrawEmblem(RGBAImage* image) {
  const Rect all{0, 0, image->width, image->height};
  VerticalGradient(image, all, {60, 72, 120}, {20, 24, 48});
  Frame(image, all, 3, kGold);
  Bevel(image, {3, 3, all.w - 6, all.h - 6}, {90, 104, 160}, {10, 12, 26});
  const Point c{all.w / 2, all.h / 2};
  FillTriangle(image, {c.x, 14}, {all.w - 14, c.y}, {14, c.y}, kGold);
  FillTriangle(image, {14, c.y}, {all.w - 14, c.y}, {c.x, all.h - 14}, kGold);
  FillCircle(image, c, 14, kSky);
}

// The title plate: a gradient panel in a double frame with a band of
// diamonds and a disc at each end.
void DrawTitleLogo(RGBAImage* image) {
  const Rect all{0, 0, image->width, image->height};
  VerticalGradient(image, all, {36, 44, 88}, {14, 16, 36});
  Frame(image, all, 3, kGold);
  Frame(image, {6, 6, all.w - 12, all.h - 12}, 1, kSky);
  VerticalGradient(image, {40, 52, all.w - 80, 16}, {70, 96, 170}, {30, 44, 90});
  for (int32_t x = 56; x + 16 <= all.w - 40; x += 24) {
    FillTriangle(image, {x + 8, 48}, {x + 16, 60}, {x, 60}, kGold);
    FillTriangle(image, {x, 60}, {x + 16, 60}, {x + 8, 72}, kGold);
  }
  for (const int32_t x : {22, all.w - 22}) {
    FillCircle(image, {x, all.h / 2}, 12, kGold);
    FillCircle(image, {x, all.h / 2}, 6, kSky);
  }
}

// Key-wait icon: three 24 x 24 frames in a row, a down arrow that sinks
// 2 pixels and brightens each frame. Transparent round it.
void DrawKeyWaitArrow(RGBAImage* image) {
  const Color shades[3] = {kGold, {255, 230, 150}, {255, 246, 210}};
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t x = 24 * i;
    const int32_t y = 4 + 2 * i;
    FillTriangle(image, {x + 4, y}, {x + 20, y}, {x + 12, y + 12}, shades[i]);
  }
}

// Key-wait icon: two 24 x 24 frames stacked, a full disc, then a ring with
// a pale dot in it. Transparent round it.
void DrawKeyWaitDot(RGBAImage* image) {
  FillCircle(image, {12, 12}, 7, kSky);
  Ring(image, {12, 36}, 9, 6, kSky);
  FillCircle(image, {12, 36}, 3, {200, 230, 255});
}

void DrawQuickSave(RGBAImage* image) { DrawButton(image, kQuickSave); }
void DrawQuickLoad(RGBAImage* image) { DrawButton(image, kQuickLoad); }
void DrawBacklog(RGBAImage* image) { DrawButton(image, kBacklog); }
void DrawHide(RGBAImage* image) { DrawButton(image, kHide); }
void DrawHideOn(RGBAImage* image) { DrawButton(image, kHideOn); }
void DrawMenuSave(RGBAImage* image) { DrawButton(image, kMenuSave); }
void DrawMenuLoad(RGBAImage* image) { DrawButton(image, kMenuLoad); }
void DrawMenuConfig(RGBAImage* image) { DrawButton(image, kMenuConfig); }
void DrawChart(RGBAImage* image) { DrawButton(image, kChart); }
void DrawTitleStart(RGBAImage* image) { DrawButton(image, kTitleStart); }

// The title touch map's alpha area: alpha 0 everywhere but one opaque
// rectangle, 160 x 96 at (520, 120), clear of the map's other areas.
void DrawTouchAlpha(RGBAImage* image) { FillRect(image, {520, 120, 160, 96}, kWhite); }

// The title touch map's colour area: black with one pure red disc of radius
// 60 round (200, 200).
void DrawTouchColor(RGBAImage* image) {
  FillRect(image, {0, 0, image->width, image->height}, kBlack);
  FillCircle(image, {200, 200}, 60, {255, 0, 0});
}

// The story window's frame, drawn over its shaded panel: a gold double line
// round a clear middle, a darker name band along the top, and a diamond in
// each corner.
// The story window's picture: a gold frame around the dark, see-through
// backing of the text (the window draws its text backing over its picture,
// so the picture carries the backing itself).
void DrawMessageFrame(RGBAImage* image) {
  const Rect all{0, 0, image->width, image->height};
  constexpr Color kBacking{12, 14, 30, 168};
  FillRect(image, all, kBacking);
  FillRect(image, {22, 8, 200, 12}, Over({24, 28, 56, 200}, kBacking));
  Frame(image, all, 3, kGold);
  Frame(image, {6, 6, all.w - 12, all.h - 12}, 1, Over({255, 214, 96, 160}, kBacking));
  for (const Point c : {Point{10, 10}, Point{all.w - 10, 10}, Point{10, all.h - 10}, Point{all.w - 10, all.h - 10}}) {
    FillTriangle(image, {c.x, c.y - 7}, {c.x + 7, c.y}, {c.x - 7, c.y}, kGold);
    FillTriangle(image, {c.x - 7, c.y}, {c.x + 7, c.y}, {c.x, c.y + 7}, kGold);
  }
}

// ---- Story pictures: two backdrops and two characters.

// Evening on the river: a dusk sky over dark hills and the water.
void DrawEveningBackdrop(RGBAImage* image) {
  VerticalGradient(image, {0, 0, 800, 360}, {28, 32, 84}, {236, 128, 84});
  FillTriangle(image, {-40, 380}, {180, 250}, {420, 380}, {40, 36, 64});
  FillTriangle(image, {300, 380}, {560, 230}, {860, 380}, {52, 44, 76});
  VerticalGradient(image, {0, 360, 800, 240}, {70, 60, 96}, {18, 20, 44});
  for (int32_t i = 0; i < 6; ++i) FillCircle(image, {90 + 120 * i, 420 + 22 * (i % 3)}, 7, kGold);
}

// The festival morning: a clear sky, the sun and a green bank.
void DrawMorningBackdrop(RGBAImage* image) {
  VerticalGradient(image, {0, 0, 800, 400}, {110, 176, 236}, {232, 240, 220});
  FillCircle(image, {640, 120}, 56, {255, 244, 200});
  VerticalGradient(image, {0, 400, 800, 200}, {96, 168, 92}, {52, 112, 60});
}

// A standing figure in the cell's middle: head, hair and a long robe in the
// given colour, everything else transparent.
void DrawFigure(RGBAImage* image, Color robe, Color hair) {
  const int32_t mid = image->width / 2;
  FillTriangle(image, {mid, 120}, {mid + 100, image->height}, {mid - 100, image->height}, robe);
  FillRect(image, {mid - 40, 120, 80, 120}, robe);
  FillCircle(image, {mid, 80}, 46, hair);
  FillCircle(image, {mid, 90}, 38, {250, 222, 196});
}

void DrawFirstFigure(RGBAImage* image) { DrawFigure(image, {200, 60, 70}, {40, 28, 24}); }
void DrawSecondFigure(RGBAImage* image) { DrawFigure(image, {60, 140, 160}, {70, 48, 30}); }

// The menu's panel: a dark, slightly see-through strip with a gold edge on
// the side it slides out from.
void DrawMenuPanel(RGBAImage* image) {
  VerticalGradient(image, {0, 0, image->width, image->height}, {30, 34, 64, 224}, {14, 16, 34, 224});
  FillRect(image, {0, 0, 3, image->height}, kGold);
}

// The backlog's panel: the story dimmed behind a dark field with a gold
// frame.
void DrawBacklogPanel(RGBAImage* image) {
  FillRect(image, {0, 0, image->width, image->height}, {10, 12, 28, 232});
  Frame(image, {24, 24, image->width - 48, image->height - 48}, 2, kGold);
}

// ---- Pictures the layer scripts use.

// The stream animation of folder number 1, 96 x 96 a frame: eight gold dots
// on a circle, the lit one a step further round each frame with a fading
// trail behind it, round a sky-blue disc that swells and shrinks again.
// Transparent round it.
void DrawSpinnerFrame(RGBAImage* image, int32_t frame) {
  // The dots' centres: radius 30 at every 45 degrees, clockwise from the top.
  static constexpr Point kDots[8] = {{0, -30}, {21, -21}, {30, 0},  {21, 21},
                                     {0, 30},  {-21, 21}, {-30, 0}, {-21, -21}};
  const Point centre{48, 48};
  for (int32_t j = 0; j < 8; ++j) {
    const int32_t age = (frame - j + 8) % 8;  // 0: the lit dot
    Color c = Mix(kGold, {96, 72, 40}, age * 32);
    c.a = static_cast<uint8_t>(255 - age * 24);
    FillCircle(image, {centre.x + kDots[j].x, centre.y + kDots[j].y}, age == 0 ? 9 : 7, c);
  }
  FillCircle(image, centre, 8 + 2 * std::min(frame, 8 - frame), kSky);
}

template <int32_t N>
void DrawSpinner(RGBAImage* image) {
  DrawSpinnerFrame(image, N);
}

// A rule for rule transitions: grey rising evenly from black in the left
// column to white in the right one.
void DrawRampLeftToRight(RGBAImage* image) {
  for (int32_t x = 0; x < image->width; ++x) {
    const uint8_t v = static_cast<uint8_t>(image->width > 1 ? x * 255 / (image->width - 1) : 0);
    FillRect(image, {x, 0, 1, image->height}, {v, v, v});
  }
}

// A floating paper lantern, 64 x 96: a dark roof, two warm paper panes
// between wooden posts, and the wooden float it stands on. Transparent
// round it.
void DrawLantern(RGBAImage* image) {
  constexpr Color kRoof{58, 34, 30};
  constexpr Color kWood{92, 52, 36};
  FillTriangle(image, {0, 18}, {32, 2}, {64, 18}, kRoof);
  FillRect(image, {2, 16, 60, 6}, kRoof);
  FillRect(image, {8, 22, 48, 52}, kWood);
  FillRect(image, {11, 25, 19, 46}, {255, 206, 120});  // the panes
  FillRect(image, {34, 25, 19, 46}, {255, 206, 120});
  FillRect(image, {4, 74, 56, 10}, kWood);
  FillRect(image, {0, 84, 64, 8}, {40, 28, 24});
}

// A small river boat seen from the side, 192 x 64: a wooden hull with a
// pale gunwale, and a pole at the stern carrying a little light.
// Transparent round it.
void DrawBoat(RGBAImage* image) {
  constexpr Color kHull{104, 70, 44};
  FillRect(image, {24, 30, 144, 22}, kHull);
  FillTriangle(image, {0, 30}, {24, 30}, {24, 52}, kHull);
  FillTriangle(image, {168, 30}, {192, 30}, {168, 52}, kHull);
  FillRect(image, {0, 26, 192, 4}, {150, 104, 60});
  FillRect(image, {150, 4, 4, 22}, {60, 40, 30});
  FillCircle(image, {160, 10}, 6, {255, 190, 90});
}

// A touch map's channel mask: black, with three rectangles whose red byte
// is 1, 2 and 3 (the area numbers a hit reports on top of the area's id).
void DrawHitAreas(RGBAImage* image) {
  FillRect(image, {0, 0, image->width, image->height}, kBlack);
  FillRect(image, {60, 400, 200, 120}, {1, 0, 0});
  FillRect(image, {300, 400, 200, 120}, {2, 0, 0});
  FillRect(image, {540, 400, 200, 120}, {3, 0, 0});
}

// A picture layer's mask: white, opaque over the left half, its alpha
// falling evenly to 0 across the right half.
void DrawSoftEdge(RGBAImage* image) {
  const int32_t half = image->width / 2;
  for (int32_t x = 0; x < image->width; ++x) {
    const int32_t fade = image->width - half;  // the columns of the right half
    const int32_t alpha = x < half ? 255 : (fade > 1 ? (image->width - 1 - x) * 255 / (fade - 1) : 0);
    FillRect(image, {x, 0, 1, image->height}, {255, 255, 255, static_cast<uint8_t>(alpha)});
  }
}

struct Picture {
  const char* path;  // relative to the game folder, as the engine resolves its url
  int32_t width;
  int32_t height;
  bool alpha;  // keep the alpha channel (colour type 6), else drop it (type 2)
  void (*draw)(RGBAImage* image);  // onto a fully transparent black image
};

constexpr Picture kPictures[] = {
    {"parts/parts001.png", 96, 96, false, DrawEmblem},         // :parts 10
    {"title_logo.png", 320, 120, false, DrawTitleLogo},        // :parts 11
    {"parts/parts002.png", 72, 24, true, DrawKeyWaitArrow},    // :parts 20
    {"parts/parts003.png", 24, 48, true, DrawKeyWaitDot},      // :parts 21
    {"parts/parts004.png", 88, 112, false, DrawQuickSave},     // :parts 30
    {"parts/parts005.png", 88, 84, false, DrawQuickLoad},      // :parts 31
    {"parts/parts006.png", 88, 56, false, DrawBacklog},        // :parts 32
    {"btn_hide.png", 48, 20, false, DrawHide},                 // :parts 33
    {"btn_hide_on.png", 48, 20, false, DrawHideOn},            // :parts 33
    {"parts/parts007.png", 384, 36, false, DrawMenuSave},      // :parts 34
    {"parts/parts008.png", 192, 36, false, DrawMenuLoad},      // :parts 35
    {"parts/parts009.png", 192, 36, false, DrawMenuConfig},    // :parts 36
    {"parts/parts010.png", 40, 40, false, DrawChart},          // :parts 37
    {"parts/parts011.png", 800, 600, true, DrawTouchAlpha},    // :parts 50
    {"parts/parts012.png", 208, 168, false, DrawTitleStart},   // :parts 38
    {"parts/parts013.png", 264, 88, true, DrawQuitButton},     // :parts 39
    {"title_mask.png", 800, 600, false, DrawTouchColor},       // :parts 50
    {"msgwin_frame.png", 760, 176, true, DrawMessageFrame},    // :message-window 0
    {"menu_panel.png", 140, 600, true, DrawMenuPanel},         // :menu 0
    {"backlog_bg.png", 800, 600, true, DrawBacklogPanel},      // :parts 60
    {"image/bg001.png", 800, 600, false, DrawEveningBackdrop}, // background 1
    {"image/bg002.png", 800, 600, false, DrawMorningBackdrop}, // background 2
    {"cell/cell001.png", 240, 420, true, DrawFirstFigure},     // cell picture 1
    {"cell/cell002.png", 240, 420, true, DrawSecondFigure},    // cell picture 2
    {"anime/anim01/spin00.png", 96, 96, true, DrawSpinner<0>}, // stream animation 1
    {"anime/anim01/spin01.png", 96, 96, true, DrawSpinner<1>},
    {"anime/anim01/spin02.png", 96, 96, true, DrawSpinner<2>},
    {"anime/anim01/spin03.png", 96, 96, true, DrawSpinner<3>},
    {"anime/anim01/spin04.png", 96, 96, true, DrawSpinner<4>},
    {"anime/anim01/spin05.png", 96, 96, true, DrawSpinner<5>},
    {"anime/anim01/spin06.png", 96, 96, true, DrawSpinner<6>},
    {"anime/anim01/spin07.png", 96, 96, true, DrawSpinner<7>},
    {"rule/ramp_lr.png", 800, 600, false, DrawRampLeftToRight}, // rule transitions
    {"mask/hit_areas.png", 800, 600, false, DrawHitAreas},     // a MOUSE layer's touch map
    {"mask/soft_edge.png", 800, 600, true, DrawSoftEdge},      // a picture layer's mask
    {"sprite/lantern.png", 64, 96, true, DrawLantern},         // the layer chapter's sprites
    {"sprite/boat.png", 192, 64, true, DrawBoat},
};

// The tutorial game's pictures: the sample's two backdrops and a smaller
// figure, which the tutorial shows at its own size.
constexpr Picture kTutorialPictures[] = {
    {"image/bg001.png", 800, 600, false, DrawEveningBackdrop},  // picture 1
    {"image/bg002.png", 800, 600, false, DrawMorningBackdrop},  // picture 2
    {"cell/cell001.png", 200, 360, true, DrawFirstFigure},      // cell picture 1
};

// Draws and writes one picture; false with a message on standard error.
bool WritePicture(const std::filesystem::path& outDir, const Picture& picture) {
  const std::filesystem::path target = outDir / picture.path;
  std::error_code ec;
  std::filesystem::create_directories(target.parent_path(), ec);
  if (ec) {
    std::fprintf(stderr, "make_sample_art: cannot create %s: %s\n", target.parent_path().c_str(),
                 ec.message().c_str());
    return false;
  }
  RGBAImage image(0, picture.width, picture.height);
  picture.draw(&image);
  const RGBAImageRef ref(std::move(image));
  if (SaveImageFile(platform::FromUtf8(target.string()), ref, picture.alpha, false) != 0) {
    std::fprintf(stderr, "make_sample_art: cannot write %s\n", target.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool tutorial = argc == 3 && std::string(argv[1]) == "--tutorial";
  const bool testMovies = argc == 3 && std::string(argv[1]) == "--test-movies";
  if ((argc != 2 && !tutorial && !testMovies) || argv[argc - 1][0] == '\0') {
    std::fprintf(stderr, "usage: make_sample_art [--tutorial | --test-movies] OUTDIR\n");
    return 2;
  }
  const std::filesystem::path outDir(argv[argc - 1]);
  if (testMovies) return WriteTestMovies(outDir) ? 0 : 1;
  if (tutorial) {
    for (const Picture& picture : kTutorialPictures) {
      if (!WritePicture(outDir, picture)) return 1;
    }
    return WriteTutorialSounds(outDir) ? 0 : 1;
  }
  for (const Picture& picture : kPictures) {
    if (!WritePicture(outDir, picture)) return 1;
  }
  return WriteSampleSounds(outDir) && WriteSampleMovie(outDir) ? 0 : 1;
}
