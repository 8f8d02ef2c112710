#include "scene/xg_msg.h"

#include "scene/message_window.h"

XG_Msg::XG_Msg(int32_t width, int32_t height) {
  setBounds(0, 0, width, height);
  window_ = new MessageWindow3(this);
  image_ = new ImageWindow(this);
  image_->setBounds(0, 0, width, height);
  addChild(window_);
  addChild(image_);
  window_->setConfig(nullptr);
}

void XG_Msg::setConfig(const Config::MessageWindowConfig* config) {
  if (window_) window_->setConfig(config);
}

void XG_Msg::onChildRemoved(GUIComponent* child) {
  if (child == window_) window_ = nullptr;
  if (child == image_) image_ = nullptr;
}
