// The engine's own message box: its layout, its drawing into a pixel image
// and the modal loop over the box's window. Events of the main window that
// only say how it is shown (exposure, focus, size) go on to it meanwhile;
// its input waits. Main thread.
#include "app/message_box_window.h"

#include <algorithm>
#include <memory>

#include "app/log.h"
#include "app/main_window.h"
#include "app/main_window_state.h"
#include "gdev/glyph_renderer.h"
#include "gdev/rgba_image.h"
#include "platform/message_box.h"
#include "platform/pixel_window.h"
#include "platform/utf8.h"
#include "platform/window.h"

namespace {

constexpr uint32_t kVkTab = 9, kVkReturn = 13, kVkEscape = 27, kVkLeft = 37, kVkRight = 39;
constexpr int32_t kTextSize = 16;
constexpr int32_t kPadding = 16;
constexpr int32_t kTitleHeight = 24;
constexpr int32_t kMaxTextWidth = 560;
constexpr int32_t kMinWidth = 240;
constexpr int32_t kButtonHeight = 26;
constexpr int32_t kButtonGap = 10;

int32_t cellsOf(std::u16string_view text) {
  int32_t cells = 0;
  for (char16_t c : text) {
    // The second unit of a surrogate pair takes no cell of its own.
    if (c >= 0xDC00 && c <= 0xDFFF) continue;
    cells += CellsOf(c);
  }
  return cells;
}

int32_t widthOf(std::u16string_view text) { return cellsOf(text) * kTextSize / 2; }

// The text's lines, each broken where it would pass the widest line.
std::vector<std::u16string> breakLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.remove_suffix(1);
  const int32_t maxCells = kMaxTextWidth * 2 / kTextSize;
  std::u16string line;
  int32_t cells = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') continue;
    if (c == u'\n') {
      lines.push_back(std::move(line));
      line.clear();
      cells = 0;
      continue;
    }
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    const int32_t width = low ? 0 : CellsOf(c);
    if (!low && cells + width > maxCells && !line.empty()) {
      lines.push_back(std::move(line));
      line.clear();
      cells = 0;
    }
    line.push_back(c);
    cells += width;
  }
  lines.push_back(std::move(line));
  return lines;
}

int32_t buttonWidth(const char* label) {
  return std::max(88, widthOf(platform::FromUtf8(label)) + 24);
}

void fill(RGBAImage& image, const GDevRect& r, uint32_t rgb) {
  const int32_t x0 = std::max(r.x0, 0), y0 = std::max(r.y0, 0);
  const int32_t x1 = std::min(r.x1, image.width), y1 = std::min(r.y1, image.height);
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t x = x0; x < x1; ++x) {
      uint8_t* p = image.pixel(x, y);
      p[0] = rgb & 0xFF;
      p[1] = (rgb >> 8) & 0xFF;
      p[2] = (rgb >> 16) & 0xFF;
      p[3] = 0xFF;
    }
  }
}

// The box's own renderer: the default face, made at the first box.
FontRenderer* boxFont() {
  static std::unique_ptr<FontRenderer> renderer = [] {
    std::unique_ptr<FontRenderer> made;
    MakeSystemFontFactory()->create(GDICreateParams(), &made);
    return made;
  }();
  return renderer.get();
}

// Draws the text with its top left at (x, y), blended by its coverage.
void drawText(RGBAImage& image, std::u16string_view text, int32_t x, int32_t y, uint32_t rgb) {
  FontRenderer* font = boxFont();
  if (!font || text.empty()) return;
  RGBAImageRef glyphs;
  TextRenderParams params;
  params.size = kTextSize;
  params.color = static_cast<int32_t>(rgb);
  font->render(glyphs, params, text, 0);
  if (!glyphs) return;
  const RGBAImage& g = *glyphs.get();
  for (int32_t gy = 0; gy < g.height; ++gy) {
    const int32_t ty = y + gy;
    if (ty < 0 || ty >= image.height) continue;
    for (int32_t gx = 0; gx < g.width; ++gx) {
      const int32_t tx = x + gx;
      if (tx < 0 || tx >= image.width) continue;
      const uint8_t* s = g.pixel(gx, gy);
      uint8_t* d = image.pixel(tx, ty);
      const uint32_t a = s[3];
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((s[c] * a + d[c] * (255 - a)) / 255);
    }
  }
}

RGBAImage drawBox(const MessageBoxLayout& layout, std::u16string_view caption, unsigned type, size_t focus,
                  int32_t pressed) {
  RGBAImage image(0, layout.width, layout.height);
  fill(image, GDevRect{0, 0, layout.width, layout.height}, 0x4D4D4D);
  fill(image, GDevRect{1, 1, layout.width - 1, layout.height - 1}, 0xF0F0F0);
  fill(image, layout.titleBar, 0x2952A0);
  drawText(image, caption, layout.titleBar.x0 + 6, layout.titleBar.y0 + (kTitleHeight - kTextSize) / 2, 0xFFFFFF);
  for (size_t i = 0; i < layout.lines.size(); ++i) {
    drawText(image, layout.lines[i], layout.textX, layout.textY + static_cast<int32_t>(i) * layout.lineHeight,
             0x000000);
  }
  const std::vector<platform::MessageBoxButton> buttons = platform::MessageBoxButtons(type);
  for (size_t i = 0; i < buttons.size() && i < layout.buttons.size(); ++i) {
    const GDevRect& r = layout.buttons[i];
    // The focused button (Return's) has a dark frame two pixels wide.
    const int32_t frame = i == focus ? 2 : 1;
    fill(image, r, i == focus ? 0x1A1A1A : 0x737373);
    fill(image, GDevRect{r.x0 + frame, r.y0 + frame, r.x1 - frame, r.y1 - frame},
         static_cast<int32_t>(i) == pressed ? 0xB8B8B8 : 0xDCDCDC);
    const std::u16string label = platform::FromUtf8(buttons[i].label);
    drawText(image, label, r.x0 + (r.x1 - r.x0 - widthOf(label)) / 2, r.y0 + (kButtonHeight - kTextSize) / 2,
             0x000000);
  }
  return image;
}

int32_t buttonAt(const MessageBoxLayout& layout, int32_t x, int32_t y) {
  for (size_t i = 0; i < layout.buttons.size(); ++i) {
    const GDevRect& r = layout.buttons[i];
    if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace

MessageBoxLayout LayOutMessageBox(std::u16string_view text, std::u16string_view caption, unsigned type) {
  MessageBoxLayout l;
  l.textSize = kTextSize;
  l.lineHeight = kTextSize + 4;
  l.lines = breakLines(text);
  const std::vector<platform::MessageBoxButton> buttons = platform::MessageBoxButtons(type);
  int32_t buttonsWidth = 0;
  for (const platform::MessageBoxButton& b : buttons) buttonsWidth += buttonWidth(b.label) + kButtonGap;
  buttonsWidth -= kButtonGap;
  int32_t contentWidth = std::max(buttonsWidth, widthOf(caption) + 12 - 2 * kPadding);
  for (const std::u16string& line : l.lines) contentWidth = std::max(contentWidth, widthOf(line));
  l.width = std::max(kMinWidth, std::min(contentWidth, kMaxTextWidth) + 2 * kPadding);
  l.titleBar = {0, 0, l.width, kTitleHeight};
  l.textX = kPadding;
  l.textY = kTitleHeight + kPadding;
  const int32_t buttonsY = l.textY + static_cast<int32_t>(l.lines.size()) * l.lineHeight + kPadding;
  l.height = buttonsY + kButtonHeight + kPadding;
  int32_t x = (l.width - buttonsWidth) / 2;
  for (const platform::MessageBoxButton& b : buttons) {
    const int32_t w = buttonWidth(b.label);
    l.buttons.push_back(GDevRect{x, buttonsY, x + w, buttonsY + kButtonHeight});
    x += w + kButtonGap;
  }
  return l;
}

int32_t MessageBoxKeyAnswer(unsigned type, uint32_t virtualKey, bool shift, size_t* focus) {
  const std::vector<platform::MessageBoxButton> buttons = platform::MessageBoxButtons(type);
  const size_t count = buttons.size();
  switch (virtualKey) {
    case kVkReturn:
      return buttons[std::min(*focus, count - 1)].id;
    case kVkEscape:
      for (const platform::MessageBoxButton& b : buttons) {
        if (b.id == platform::IDCANCEL) return b.id;
      }
      return buttons.back().id;
    case kVkLeft:
      *focus = (*focus + count - 1) % count;
      return 0;
    case kVkRight:
      *focus = (*focus + 1) % count;
      return 0;
    case kVkTab:
      *focus = shift ? (*focus + count - 1) % count : (*focus + 1) % count;
      return 0;
    default:
      return 0;
  }
}

int ShowOwnMessageBox(std::u16string_view text, std::u16string_view caption, unsigned type,
                      const std::string& reason) {
  static bool warned = false;
  if (!warned) {
    warned = true;
    LogWrite(LOG_WARN, u"SDLのメッセージボックスを表示できません(%s)。エンジンのボックスで表示します\n",
             platform::FromUtf8(reason));
  }
  const MessageBoxLayout layout = LayOutMessageBox(text, caption, type);
  std::string error;
  std::unique_ptr<platform::PixelWindow> window =
      platform::PixelWindow::create(caption, layout.width, layout.height, &error);
  if (!window) {
    LogWrite(LOG_WARN, u"メッセージボックスのウィンドウを作れません(%s)\n", platform::FromUtf8(error));
    return platform::DefaultMessageBoxButton(type);
  }
  const std::vector<platform::MessageBoxButton> buttons = platform::MessageBoxButtons(type);
  size_t focus = platform::DefaultMessageBoxButtonIndex(type);
  int32_t pressed = -1;
  int answer = 0;
  bool redraw = true;
  using K = platform::WindowEvent;
  while (answer == 0) {
    if (redraw) {
      const RGBAImage image = drawBox(layout, caption, type, focus, pressed);
      window->show(image.pixels.data(), image.width, image.height);
      redraw = false;
    }
    platform::WindowEvent e;
    if (!platform::WaitWindowEvent(100, &e)) continue;
    if (e.kind == K::kQuitRequest) {
      SetQuitFlag();
      answer = platform::CloseMessageBoxButton(type);
      break;
    }
    if (e.windowId != window->id()) {
      if (MainWindowExists()) main_window_local::passWindowStateEvent(e);
      continue;
    }
    switch (e.kind) {
      case K::kExposed:
      case K::kResized:
      case K::kFocusGained:
        redraw = true;
        break;
      case K::kCloseRequest:
        answer = platform::CloseMessageBoxButton(type);
        break;
      case K::kKeyDown: {
        const size_t was = focus;
        answer = MessageBoxKeyAnswer(type, e.virtualKey, (e.modifiers & K::kShift) != 0, &focus);
        redraw = focus != was;
        break;
      }
      case K::kMouseDown:
        if (e.button == K::kLeft) {
          pressed = buttonAt(layout, e.x, e.y);
          redraw = true;
        }
        break;
      case K::kMouseUp:
        if (e.button == K::kLeft && pressed >= 0) {
          if (buttonAt(layout, e.x, e.y) == pressed) answer = buttons[static_cast<size_t>(pressed)].id;
          pressed = -1;
          redraw = true;
        }
        break;
      default:
        break;
    }
  }
  return answer;
}
