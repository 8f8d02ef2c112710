// The input box drawn by the engine over the game picture: an opaque panel
// with the caption, the prompt, the edit field (selection and caret) and the
// OK and cancel buttons; typed text comes from the window's text input, so
// an input method works. Part of the main window. Main thread.
#include "app/input_box_window.h"

#include <algorithm>
#include <string>

#include "app/input_box.h"
#include "app/main_window.h"
#include "app/main_window_state.h"
#include "app/screen_flags.h"
#include "gdev/gdev_factory.h"
#include "gdev/glyph_renderer.h"
#include "gdev/texture_manager.h"
#include "platform/window.h"

using main_window_local::State;
using main_window_local::state;

namespace {

constexpr uint32_t kVkBack = 8, kVkReturn = 13, kVkEscape = 27, kVkEnd = 35, kVkHome = 36, kVkLeft = 37,
                   kVkRight = 39, kVkDelete = 46, kVkA = 65;

bool inside(const GDevRect& r, int32_t x, int32_t y) { return x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1; }

// Pixel width of the first `count` units of text: the renderers place every
// character on half-width cells of size / 2.
int32_t textWidth(const std::u16string& text, size_t count, int32_t size) {
  int32_t cells = 0;
  for (size_t i = 0; i < count && i < text.size(); ++i) cells += CellsOf(text[i]);
  return cells * size / 2;
}

// The character index nearest to a pixel offset into the text.
size_t indexAt(const std::u16string& text, int32_t offset, int32_t size) {
  int32_t x = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const int32_t w = CellsOf(text[i]) * size / 2;
    if (offset < x + w / 2) return i;
    x += w;
  }
  return text.size();
}

void fill(GDev* device, const GDevRect& r, float red, float green, float blue) {
  const float color[4] = {red, green, blue, 1.0f};
  device->fillRect(r, color, GDEV_BLEND_COPY, 0);
}

// Draws a text at (x, y); only the columns from `skip` on and at most
// `width` pixels of them (0: all).
void drawText(const std::u16string& text, int32_t x, int32_t y, int32_t size, int32_t rgb, int32_t skip = 0,
              int32_t width = 0) {
  if (text.empty()) return;
  ZEPTextureRef texture;
  TextRenderParams params;
  params.size = size;
  params.color = rgb;
  RenderTextTexture(texture, params, text, 0);
  if (!texture || texture->width() <= 0) return;
  const int32_t w = texture->width();
  const int32_t h = texture->height();
  skip = std::clamp(skip, 0, w);
  const int32_t shown = width > 0 ? std::min(width, w - skip) : w - skip;
  if (shown <= 0) return;
  const GDevUV uv{static_cast<float>(skip) / static_cast<float>(w), 0.0f,
                  static_cast<float>(skip + shown) / static_cast<float>(w), 1.0f};
  DrawTextureRectI(GDevRect{x, y, x + shown, y + h}, uv, texture.get(), GDEV_BLEND_NORMAL, 0, 0);
}

// Horizontal scroll of the field's text that keeps the caret visible.
int32_t fieldScroll(const InputBoxModel& box, const InputBoxLayout& layout) {
  const int32_t inner = layout.field.x1 - layout.field.x0 - 8;
  const int32_t caretX = textWidth(box.text(), box.caret(), layout.textSize);
  return std::max(0, caretX - inner);
}

void drawBox(const InputBoxModel& box, const InputBoxLayout& layout) {
  GDev* device = GDevFactory::device;
  const State& s = state();
  if (!device || !device->impl_beginScene(nullptr)) return;
  device->setViewport(0, 0, s.logicalW, s.logicalH);
  device->setMatrixTexture_Ident();
  device->setBlendingContext(0, BLENDINGCONTEXT_BOTH);
  device->setMatrixProj_Ortho2D(0.0f, 0.0f, static_cast<float>(s.logicalW), static_cast<float>(s.logicalH));
  device->pushMatrix();
  const int32_t size = layout.textSize;
  const GDevRect& f = layout.frame;
  fill(device, GDevRect{f.x0 - 1, f.y0 - 1, f.x1 + 1, f.y1 + 1}, 0.3f, 0.3f, 0.3f);
  fill(device, f, 0.94f, 0.94f, 0.94f);
  fill(device, layout.titleBar, 0.16f, 0.32f, 0.62f);
  drawText(box.caption(), layout.titleBar.x0 + 6, layout.titleBar.y0 + 4, size, 0xFFFFFF);
  drawText(box.prompt(), layout.prompt.x0, layout.prompt.y0, size, 0x000000);

  const GDevRect& field = layout.field;
  fill(device, GDevRect{field.x0 - 1, field.y0 - 1, field.x1 + 1, field.y1 + 1}, 0.45f, 0.45f, 0.45f);
  fill(device, field, 1.0f, 1.0f, 1.0f);
  const int32_t textX = field.x0 + 4;
  const int32_t textY = field.y0 + (field.y1 - field.y0 - size) / 2;
  const int32_t inner = field.x1 - field.x0 - 8;
  const int32_t scroll = fieldScroll(box, layout);
  const std::u16string& text = box.text();
  if (box.selectionStart() != box.selectionEnd()) {
    const int32_t a = std::clamp(textWidth(text, box.selectionStart(), size) - scroll, 0, inner);
    const int32_t b = std::clamp(textWidth(text, box.selectionEnd(), size) - scroll, 0, inner);
    if (b > a) fill(device, GDevRect{textX + a, textY, textX + b, textY + size}, 0.6f, 0.75f, 1.0f);
  }
  drawText(text, textX, textY, size, 0x000000, scroll, inner);
  const int32_t caretX = textX + textWidth(text, box.caret(), size) - scroll;
  fill(device, GDevRect{caretX, textY, caretX + 1, textY + size}, 0.0f, 0.0f, 0.0f);

  for (const GDevRect* button : {&layout.okButton, &layout.cancelButton}) {
    fill(device, GDevRect{button->x0 - 1, button->y0 - 1, button->x1 + 1, button->y1 + 1}, 0.45f, 0.45f, 0.45f);
    fill(device, *button, 0.86f, 0.86f, 0.86f);
  }
  const std::u16string ok = u"OK";
  const std::u16string cancel = u"キャンセル";
  auto label = [&](const std::u16string& t, const GDevRect& r) {
    const int32_t w = textWidth(t, t.size(), size);
    drawText(t, r.x0 + (r.x1 - r.x0 - w) / 2, r.y0 + (r.y1 - r.y0 - size) / 2, size, 0x000000);
  };
  label(ok, layout.okButton);
  label(cancel, layout.cancelButton);
  device->popMatrix();
  if (!device->impl_endScene(false, nullptr)) return;
  const GDevArea dest = s.fullScreen ? GDevArea{s.picture.x, s.picture.y, s.picture.width, s.picture.height}
                                     : GDevArea{0, 0, 0, 0};
  device->impl_swapBuffers(GDevArea{0, 0, 0, 0}, dest);
  device->afterSwap();
}

// Applies one window event to the box; true when it needs redrawing.
bool handleBoxEvent(InputBoxModel* box, const InputBoxLayout& layout, const platform::WindowEvent& e) {
  using K = platform::WindowEvent;
  const bool shift = (e.modifiers & K::kShift) != 0;
  switch (e.kind) {
    case K::kTextInput:
      box->insert(e.text);
      return true;
    case K::kKeyDown:
      switch (e.virtualKey) {
        case kVkReturn: box->confirm(); break;
        case kVkEscape: box->cancel(); break;
        case kVkBack: box->eraseBackward(); break;
        case kVkDelete: box->eraseForward(); break;
        case kVkLeft: box->moveLeft(shift); break;
        case kVkRight: box->moveRight(shift); break;
        case kVkHome: box->moveHome(shift); break;
        case kVkEnd: box->moveEnd(shift); break;
        case kVkA:
          if (e.modifiers & K::kCtrl) box->selectAll();
          break;
        default: return false;
      }
      return true;
    case K::kMouseDown: {
      if (e.button != K::kLeft) return false;
      int32_t x = e.x, y = e.y;
      ClientToLogical(&x, &y);
      if (inside(layout.okButton, x, y)) {
        box->confirm();
      } else if (inside(layout.cancelButton, x, y)) {
        box->cancel();
      } else if (inside(layout.field, x, y)) {
        const int32_t offset = x - (layout.field.x0 + 4) + fieldScroll(*box, layout);
        box->moveTo(indexAt(box->text(), offset, layout.textSize), shift);
      } else {
        return false;
      }
      return true;
    }
    case K::kCloseRequest:
      box->cancel();
      return true;
    case K::kQuitRequest:
      SetQuitFlag();
      box->cancel();
      return true;
    default:
      return main_window_local::passWindowStateEvent(e);
  }
}

}  // namespace

InputBoxLayout LayOutInputBox(int32_t screenWidth, int32_t screenHeight) {
  InputBoxLayout l{};
  l.textSize = 16;
  const int32_t width = std::max(160, std::min(420, screenWidth - 20));
  const int32_t height = 150;
  const int32_t x = (screenWidth - width) / 2;
  const int32_t y = std::max(0, (screenHeight - height) / 2);
  l.frame = {x, y, x + width, y + height};
  l.titleBar = {x, y, x + width, y + 24};
  l.prompt = {x + 12, y + 36, x + width - 12, y + 36 + l.textSize};
  l.field = {x + 12, y + 62, x + width - 12, y + 88};
  const int32_t buttonW = 96, buttonH = 26, bottom = y + height - 12;
  l.cancelButton = {x + width - 12 - buttonW, bottom - buttonH, x + width - 12, bottom};
  l.okButton = {l.cancelButton.x0 - 10 - buttonW, bottom - buttonH, l.cancelButton.x0 - 10, bottom};
  return l;
}

void RunInputBoxInMainWindow(InputBoxModel* box) {
  State& s = state();
  if (!s.window || !GDevFactory::device) {
    box->cancel();
    return;
  }
  const InputBoxLayout layout = LayOutInputBox(s.logicalW, s.logicalH);
  const bool textInputWas = platform::SetTextInputActive(true);
  platform::RaiseWindow(s.window);
  bool redraw = true;
  while (box->isOpen()) {
    if (redraw) drawBox(*box, layout);
    redraw = false;
    platform::WindowEvent e;
    if (!platform::WaitWindowEvent(100, &e)) continue;
    if (e.windowId != 0 && e.windowId != s.windowId) continue;
    redraw = handleBoxEvent(box, layout, e);
  }
  platform::SetTextInputActive(textInputWas);
  // The game picture comes back with the next frame.
  GUIChangedFlag = 1;
  if (GDevFactory::device) GDevFactory::device->refreshWindow();
}
