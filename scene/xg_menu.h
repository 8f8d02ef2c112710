// XG_Menu: the menu layer, the topmost of the root's fixed children. It
// keeps the menu configuration in force and forwards to its one child, the
// menu window. Main thread.
#pragma once

#include <cstdint>

#include "app/config_windows.h"
#include "scene/gui_component.h"
#include "scene/xg_base.h"

class MenuWindow;

class XG_Menu : public XGBase, public GUIComposite {
 public:
  // The slides of the scene's show command take this long.
  static constexpr int32_t kShowSlideMs = 250;

  // Covers (0, 0, width, height) with the default menu, hidden.
  XG_Menu(int32_t width, int32_t height);

  GUIComponent* getComponent() override { return this; }
  // Copies the entry (null: the default menu) and lays the window out over
  // the layer; the menu is hidden afterwards.
  void setConfig(const Config::MenuConfigEntry* entry);
  void setAutoHide(bool on);
  void show(bool visible, bool animated, bool byAutoHide);
  void setChipEventEnabled(int32_t code, bool on);

  const Config::MenuConfigEntry& config() const { return config_; }
  MenuWindow* window() const { return window_; }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  Config::MenuConfigEntry config_;
  MenuWindow* window_;
};
