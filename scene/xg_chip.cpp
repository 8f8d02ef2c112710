// XGChip: configuration of the five kinds, animation, drawing and the
// pointer events.
#include "scene/xg_chip.h"

#include <algorithm>
#include <limits>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "app/log.h"
#include "app/screen_flags.h"
#include "app/string_util.h"
#include "gdev/gdev_factory.h"
#include "gdev/image_ops.h"
#include "gdev/texture_manager.h"
#include "scene/app_event_table.h"
#include "scene/gui_text_line3.h"

struct XGChip::Label {
  std::vector<std::unique_ptr<GUITextLine3>> lines;
  std::vector<int32_t> tops;
};

namespace {

constexpr int32_t kFirstFrameDuration = 1000;
constexpr int32_t kShortestCursorFrame = 16;

// Loads a picture and maps a part of it in picture pixels (x < 0: all of
// it) to texture coordinates. A picture that fails leaves the texture empty.
void LoadPicture(std::u16string_view path, int32_t x, int32_t y, int32_t w, int32_t h, ZEPTextureRef* texture,
                 XGChip::TexRect* rect) {
  texture->reset();
  *rect = XGChip::TexRect{};
  if (path.empty() || GetTextureManager().getTexture(*texture, path, 1, 3) != 0) {
    texture->reset();
    return;
  }
  const ZEPTexture* t = texture->get();
  if (x < 0 || t->width() <= 0 || t->height() <= 0) return;
  const float tw = static_cast<float>(t->width());
  const float th = static_cast<float>(t->height());
  *rect = XGChip::TexRect{static_cast<float>(x) / tw, static_cast<float>(y) / th, static_cast<float>(x + w) / tw,
                          static_cast<float>(y + h) / th};
}

// The size of a chip shown as a picture: the configured size, else the
// picture's, else the part's own rectangle, else 1 x 1.
void PictureSize(int32_t w, int32_t h, const ZEPTextureRef& texture, int32_t partW, int32_t partH,
                 int32_t* outW, int32_t* outH) {
  if (w >= 1 && h >= 1) {
    *outW = w;
    *outH = h;
  } else if (texture) {
    *outW = texture->width();
    *outH = texture->height();
  } else if (partW >= 0) {
    *outW = partW;
    *outH = partH;
  } else {
    *outW = 1;
    *outH = 1;
  }
}

bool IsCursorFile(std::u16string_view path) {
  if (path.size() < 4) return false;
  std::u16string ext(path.substr(path.size() - 4));
  for (char16_t& c : ext) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return ext == u".ani" || ext == u".ico" || ext == u".cur";
}

// Milliseconds of one cursor frame from its rate in 1/60 s.
int32_t CursorFrameDuration(int32_t rate) {
  const int64_t ms = int64_t{rate} * 100 / 6;
  return static_cast<int32_t>(
      std::clamp<int64_t>(ms, kShortestCursorFrame, std::numeric_limits<int32_t>::max()));
}

}  // namespace

XGChip::XGChip() : timer_(this, &XGChip::onAnimationStep) {
  // Frames change only when a duration ends: no frame is needed between,
  // and none at all while the chip is not seen.
  timer_.everyFrame = false;
  timer_.wantedWhen(&GUIComponent::isShownOnScreen);
  textParams_.size = 32;
  textParams_.color = 0xFFFFFF;
}

XGChip::~XGChip() { timer_.stop(); }

void XGChip::reset() {
  markOwnPaint();
  label_.reset();
  hovered_ = false;
  timer_.stop();
  kind_ = kNone;
  image_.reset();
  rect_ = TexRect{};
  images_.clear();
  rects_.clear();
  durations_.clear();
  map_.reset();
  areaHit_ = -1;
  areaHovered_ = -1;
  offsetX_ = 0;
  offsetY_ = 0;
  frame_ = 0;
}

void XGChip::config(bool visible, int32_t x, int32_t y, int32_t alpha, const XGChipConfig::ConfigBase* parts) {
  if (!parts) {
    LogWrite(LOG_WARN, u"XGChip::config, params==0, ignored\n");
    return;
  }
  reset();
  setVisible(visible);
  alpha_ = std::clamp(alpha, 0, 255);
  setPosition(x, y);
  const int32_t w = parts->width;
  const int32_t h = parts->height;
  int32_t sw = 1;
  int32_t sh = 1;

  switch (parts->kind) {
    case XGChipConfig::kImage: {
      const auto& c = static_cast<const XGChipConfig::ImageConfig&>(*parts);
      kind_ = kImage;
      images_.resize(1);
      rects_.resize(1);
      LoadPicture(c.path, c.x, c.y, c.w, c.h, &images_[0], &rects_[0]);
      PictureSize(w, h, images_[0], c.w, c.h, &sw, &sh);
      setSize(sw, sh);
      show(0);
      break;
    }
    case XGChipConfig::kButton: {
      const auto& c = static_cast<const XGChipConfig::ButtonConfig&>(*parts);
      kind_ = kButton;
      images_.resize(4);
      rects_.resize(4);
      for (size_t i = 0; i < 4; ++i) {
        // A state without a picture of its own looks like the normal state.
        if (i >= c.pictures.size() || c.pictures[i].path.empty()) {
          images_[i] = images_[0];
          rects_[i] = rects_[0];
          continue;
        }
        const XGChipConfig::ButtonPicture& p = c.pictures[i];
        LoadPicture(p.path, p.x, p.y, p.w, p.h, &images_[i], &rects_[i]);
      }
      const XGChipConfig::ButtonPicture first = c.pictures.empty() ? XGChipConfig::ButtonPicture{} : c.pictures[0];
      PictureSize(w, h, images_[0], first.w, first.h, &sw, &sh);
      setSize(sw, sh);
      show(enabled_ ? kNormal : kDisabled);
      break;
    }
    case XGChipConfig::kAnimation: {
      const auto& c = static_cast<const XGChipConfig::AnimationConfig&>(*parts);
      kind_ = kAnimation;
      loop_ = c.loop;
      const bool cursor = c.frames.size() == 1 && IsCursorFile(c.frames[0].path);
      if (cursor) {
        CursorHeader header;
        std::vector<ZEPTextureRef> frames;
        if (LoadCursorTextures(&frames, c.frames[0].path, &header, 1, 3) == 0 && !frames.empty()) {
          const int32_t duration = frames.size() < 2 ? kFirstFrameDuration : CursorFrameDuration(header.rate);
          for (ZEPTextureRef& f : frames) {
            images_.push_back(std::move(f));
            rects_.emplace_back();
            durations_.push_back(duration);
          }
          offsetX_ = -header.hotspotX;
          offsetY_ = -header.hotspotY;
        }
      } else {
        for (const XGChipConfig::AnimationFrame& f : c.frames) {
          if (f.path.empty()) break;
          images_.emplace_back();
          rects_.emplace_back();
          LoadPicture(f.path, f.x, f.y, f.w, f.h, &images_.back(), &rects_.back());
          const int32_t previous = durations_.empty() ? kFirstFrameDuration : durations_.back();
          durations_.push_back(std::max(1, f.waitTime >= 1 ? f.waitTime : previous));
        }
      }
      if (!images_.empty()) {
        // A cursor's frames are whole pictures; listed frames have their part.
        const XGChipConfig::AnimationFrame& first = c.frames[0];
        PictureSize(w, h, images_[0], cursor ? -1 : first.w, first.h, &sw, &sh);
        setSize(sw, sh);
        frame_ = 0;
        show(0);
        timer_.duration = durations_[0];
        timer_.looping = false;
        timer_.start();
      } else {
        setSize(std::max(w, 1), std::max(h, 1));
      }
      break;
    }
    case XGChipConfig::kText: {
      const auto& c = static_cast<const XGChipConfig::TextConfig&>(*parts);
      kind_ = kText;
      textParams_.size = c.fontSize;
      textSize_ = c.fontSize;
      textParams_.color = static_cast<int32_t>(c.color & 0xFFFFFFu);
      textParams_.font = c.font;
      edgeColor_ = 0;
      configWidth_ = w;
      configHeight_ = h;
      setString(c.text);
      break;
    }
    case XGChipConfig::kTouchmap: {
      const auto& c = static_cast<const XGChipConfig::TouchmapConfig&>(*parts);
      kind_ = kTouchmap;
      map_ = std::make_unique<HitTestMap>(c);
      if (w >= 0 && h >= 0) {
        setSize(w, h);
      } else {
        map_->getExtent(&sw, &sh);
        setSize(sw, sh);
      }
      break;
    }
    default:
      break;
  }
  markOwnPaint();
}

void XGChip::show(size_t index) {
  if (index >= images_.size()) return;
  markOwnPaint();
  image_ = images_[index];
  rect_ = index < rects_.size() ? rects_[index] : TexRect{};
  markOwnPaint();
}

void XGChip::setEventNumber(int32_t type, int32_t number) {
  if (type < 1 || type > 5) {
    LogWrite(LOG_WARN, u"XGChip::setEventNumber :不正なイベントタイプ(%d)\n", type);
    return;
  }
  events_[static_cast<size_t>(type - 1)] = number;
}

void XGChip::clearEventNumbers() {
  events_.fill(0);
  areaHit_ = -1;
  areaHovered_ = -1;
}

void XGChip::setAlpha(int32_t alpha) {
  alpha = std::clamp(alpha, 0, 255);
  if (alpha == alpha_) return;
  markOwnPaint();
  alpha_ = alpha;
  markOwnPaint();
}

void XGChip::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (kind_ == kButton) show(enabled ? kNormal : kDisabled);
}

void XGChip::setAnimationCode(int32_t code) {
  if (kind_ != kAnimation || code < 0 || code > 3 || images_.empty()) return;
  timer_.stop();
  if (code & 2) frame_ = 0;
  frame_ = std::clamp<int32_t>(frame_, 0, static_cast<int32_t>(images_.size()) - 1);
  if (code & 1) {
    timer_.duration = durations_[static_cast<size_t>(frame_)];
    timer_.looping = false;
    timer_.start();
  }
  show(static_cast<size_t>(frame_));
}

void XGChip::onAnimationStep(float progress) {
  if (kind_ != kAnimation || images_.empty()) {
    timer_.stop();
    return;
  }
  if (progress < 1.0f) return;
  bool ended = false;
  if (++frame_ >= static_cast<int32_t>(images_.size())) {
    if (loop_) {
      frame_ = 0;
    } else {
      frame_ = static_cast<int32_t>(images_.size()) - 1;
      ended = true;
    }
  }
  show(static_cast<size_t>(frame_));
  if (ended) {
    timer_.stop();
  } else {
    timer_.duration = durations_[static_cast<size_t>(frame_)];
    timer_.looping = false;
    timer_.start();
  }
}

void XGChip::setImage(std::u16string_view path, int32_t sizeMode, const GDevArea& area) {
  if (kind_ != kImage) return;
  markOwnPaint();
  images_.assign(1, ZEPTextureRef{});
  rects_.assign(1, TexRect{});
  LoadPicture(path, -1, 0, 0, 0, &images_[0], &rects_[0]);
  image_ = images_[0];
  rect_ = rects_[0];
  if (sizeMode == 2) {
    if (image_) setSize(image_->width(), image_->height());
  } else {
    setSize(area.width, area.height);
  }
  markOwnPaint();
}

void XGChip::setString(std::u16string_view text) {
  text_ = text;
  if (kind_ == kText) renderText();
}

void XGChip::setTextColor(int32_t which, uint32_t color) {
  if (which == 0) textParams_.color = static_cast<int32_t>(color & 0xFFFFFFu);
  else if (which == 1) edgeColor_ = color;
  else return;
  if (kind_ == kText) renderText();
}

void XGChip::renderText() {
  images_.assign(1, ZEPTextureRef{});
  rects_.assign(1, TexRect{});
  if ((edgeColor_ >> 24) == 0 || text_.empty()) {
    RenderTextTexture(images_[0], textParams_, text_, 0);
  } else {
    RGBAImageRef glyphs;
    RenderTextImage(glyphs, textParams_, text_, 0);
    if (glyphs && glyphs->width > 0 && glyphs->height > 0) {
      RGBAImageRef outlined(RGBAImage(0, glyphs->width, glyphs->height));
      MakeEdgeImage(outlined, glyphs, (edgeColor_ >> 16) & 0xFF, (edgeColor_ >> 8) & 0xFF, edgeColor_ & 0xFF);
      BlendImageOver(outlined, glyphs);
      GetTextureManager().createFromImage(images_[0], outlined, 1, 3);
    }
  }
  const ZEPTextureRef& t = images_[0];
  int32_t th = t && t->height() > 0 ? t->height() : 32;
  int32_t w = 1;
  int32_t h = 1;
  if (configWidth_ >= 1 && configHeight_ >= 1) {
    w = configWidth_;
    h = configHeight_;
  } else if (t) {
    w = t->width();
    h = t->height();
  }
  // In 64 bits: sizes come from the configuration.
  auto scaled = [&](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v * textSize_ / th, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
  };
  // The whole text fills the box, stretched to a configured size.
  setSize(scaled(w), scaled(h));
  show(0);
}

void XGChip::setLabel(const std::vector<LineLayout>& lines, int32_t rubyPitch) {
  markOwnPaint();
  if (!label_) label_ = std::make_unique<Label>();
  label_->lines.clear();
  label_->tops.clear();
  int32_t y = 0;
  int32_t width = 0;
  for (const LineLayout& layout : lines) {
    auto line = std::make_unique<GUITextLine3>();
    line->setRubyPitch(rubyPitch);
    line->setLine(layout);
    int32_t gap = 0;
    const int32_t h = measureTextLines(layout, rubyPitch, &gap);
    label_->tops.push_back(y + gap);
    width = std::max(width, line->width());
    y += h;
    label_->lines.push_back(std::move(line));
  }
  setSize(width, y);
  markOwnPaint();
}

bool XGChip::isDrawable() {
  if (label_) {
    return std::any_of(label_->lines.begin(), label_->lines.end(),
                       [](const std::unique_ptr<GUITextLine3>& l) { return l->isDrawable(); });
  }
  return image_ && alpha_ >= 1;
}

bool XGChip::paintExtent(ScreenArea* area) {
  *area = ScreenArea{};
  if (!isDrawable()) return true;
  if (!label_) {
    *area = ScreenArea{offsetX_, offsetY_, offsetX_ + width(), offsetY_ + height()};
    return true;
  }
  for (size_t i = 0; i < label_->lines.size(); ++i) {
    ScreenArea line;
    if (!label_->lines[i]->paintExtent(&line)) return false;
    if (line.empty()) continue;
    line.y0 += label_->tops[i];
    line.y1 += label_->tops[i];
    *area = UnionOf(*area, line);
  }
  return true;
}

void XGChip::draw() {
  GDev* device = GDevFactory::device;
  if (label_) {
    for (size_t i = 0; i < label_->lines.size(); ++i) {
      if (device) {
        device->pushMatrix();
        device->translate(0.0f, static_cast<float>(label_->tops[i]), 0.0f);
      }
      label_->lines[i]->draw();
      if (device) device->popMatrix();
    }
    return;
  }
  ZEPTexture* texture = image_.get();
  if (!texture) return;
  GDevUV uv{0.0f, 0.0f, 1.0f, 1.0f};
  if (rect_.left >= 0.0f) uv = GDevUV{rect_.left, rect_.top, rect_.right, rect_.bottom};
  const GDevRect rect{offsetX_, offsetY_, offsetX_ + width(), offsetY_ + height()};
  if (alpha_ >= 255) {
    DrawTextureRectI(rect, uv, texture, GDEV_BLEND_NORMAL, 0, 0);
  } else {
    const float color[4] = {1.0f, 1.0f, 1.0f, static_cast<float>(alpha_) / 255.0f};
    DrawTextureRectColored(rect, uv, color, texture, GDEV_BLEND_NORMAL, 0, 0);
  }
}

bool XGChip::hitTestPrecise(int32_t x, int32_t y) {
  if (!enabled_) return false;
  if (kind_ == kButton) return true;
  if (kind_ != kTouchmap) return eventNumber(kHover) > 0;
  if (!map_ || std::all_of(events_.begin(), events_.end(), [](int32_t n) { return n == 0; })) return false;
  int32_t id = -1;
  if (!map_->hitTest(x, y, &id)) return false;
  areaHit_ = id;
  // Moving from one area into another keeps the chip hovered: the new area
  // is the one its events report.
  if (hovered_) areaHovered_ = id;
  return true;
}

int32_t XGChip::numberFor(int32_t type) const {
  const int32_t number = eventNumber(type);
  if (number <= 0) return 0;
  if (kind_ != kTouchmap) return number;
  // A touch map reports which area: nothing while none is hovered.
  return areaHovered_ >= 0 ? number + areaHovered_ : 0;
}

void XGChip::post(int32_t number) const {
  if (!enabled_ || number <= 0) return;
  PostEvent(std::make_unique<AppEvent>(AppEventCode::kChip, intToWString(number), 0));
}

void XGChip::onHover(const MouseEvent&, bool entered) {
  hovered_ = entered;
  if (entered && kind_ == kTouchmap) areaHovered_ = areaHit_;
  if (eventNumber(kHover) > 0) {
    onHoverChanged(entered);
    const int32_t number = numberFor(kHover);
    if (number > 0) post(number + (entered ? 0 : 1));
  }
  if (!entered && kind_ == kTouchmap) areaHovered_ = -1;
  if (kind_ == kButton && enabled_) {
    show(entered ? (GetMouseCapture() == this ? kPressed : kHovered) : kNormal);
  }
}

bool XGChip::onMouseButton(const MouseEvent& event, bool pressed) {
  if (kind_ != kButton && kind_ != kTouchmap) return false;
  if (event.button != MouseEvent::kLeft) return false;
  if (!enabled_) {
    if (GetMouseCapture() == this) SetMouseCapture(nullptr);
    return false;
  }
  if (pressed) {
    if (kind_ == kButton) show(kPressed);
    SetMouseCapture(this);
    post(numberFor(kPress));
  } else if (GetMouseCapture() == this) {
    SetMouseCapture(nullptr);
    int32_t x = event.x;
    int32_t y = event.y;
    toLocal(&x, &y);
    if (contains(x, y)) {
      post(numberFor(kRelease));
      onClicked();
      post(numberFor(kClick));
    }
    if (kind_ == kButton) show(hovered_ ? kHovered : kNormal);
  }
  return true;
}

void XGChip::onMouseMove(const MouseEvent&) {
  if (!enabled_ || eventNumber(kMove) < 1) return;
  post(numberFor(kMove));
}
