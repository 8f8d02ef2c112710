// XG_Msg: the message layer, one of the root's fixed children. It holds the
// message window and, above it, an image window. Main thread.
#pragma once

#include "scene/gui_component.h"
#include "scene/gui_image.h"
#include "scene/xg_base.h"

class MessageWindow3;

namespace Config {
struct MessageWindowConfig;
}  // namespace Config

class XG_Msg : public XGBase, public GUIComposite {
 public:
  // A picture over the whole layer, drawn stretched; none at first.
  class ImageWindow : public GUIImage {
   public:
    explicit ImageWindow(XG_Msg* owner) : owner_(owner) {}
    XG_Msg* owner() const { return owner_; }

   private:
    XG_Msg* owner_;
  };

  // Covers (0, 0, width, height).
  XG_Msg(int32_t width, int32_t height);

  GUIComponent* getComponent() override { return this; }
  // A null configuration builds the window from the default one.
  void setConfig(const Config::MessageWindowConfig* config);

  MessageWindow3* window() const { return window_; }
  ImageWindow* imageWindow() const { return image_; }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  MessageWindow3* window_;
  ImageWindow* image_;
};
