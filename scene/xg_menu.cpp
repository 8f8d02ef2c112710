// XG_Menu: the menu layer forwarding to its window. Main thread.
#include "scene/xg_menu.h"

#include "scene/menu_window.h"

XG_Menu::XG_Menu(int32_t width, int32_t height) {
  setBounds(0, 0, width, height);
  window_ = new MenuWindow(this);
  addChild(window_);
  setConfig(nullptr);
}

void XG_Menu::setConfig(const Config::MenuConfigEntry* entry) {
  config_ = entry ? *entry : Config::MenuConfigEntry{};
  if (window_) window_->setConfig(width(), height(), config_);
}

void XG_Menu::setAutoHide(bool on) {
  if (window_) window_->setAutoHide(on);
}

void XG_Menu::show(bool visible, bool animated, bool byAutoHide) {
  if (window_) window_->show(visible, animated, byAutoHide, kShowSlideMs);
}

void XG_Menu::setChipEventEnabled(int32_t code, bool on) {
  if (window_) window_->setChipEventEnabled(code, on);
}

void XG_Menu::onChildRemoved(GUIComponent* child) {
  if (child == window_) window_ = nullptr;
}
