// XG_Select: a choice list, one of the root's two choice layers. It shows a
// column of choices in a coloured window, follows the keyboard and the
// pointer, and reports the choice taken as a SelectedEvent with the item's
// identifier, or a cancel as AppEvent 18; then it hides itself and hands
// the keys back to the root. Hidden until a built-in fills and shows it.
// Main thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/config_windows.h"
#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/xg_base.h"

class GUITextLine;

class XG_Select : public XGBase, public GUIComposite, public XG_Select_Config {
 public:
  // What buildItems shows: the identifier the choice reports, and its text.
  struct Choice {
    std::u16string identifier;
    std::u16string text;
  };

  class Item : public GUIComposite {
   public:
    // With an empty text line child.
    Item(XG_Select* owner, std::u16string identifier);

    bool isDrawable() override { return true; }
    // The owner's cursor colour when highlighted, the picture when set; the
    // text line draws after.
    void draw() override;
    bool paintExtent(ScreenArea* area) override { return extentIsOwnRect(area); }
    bool hitTestPrecise(int32_t, int32_t) override { return true; }
    void onHover(const MouseEvent& event, bool entered) override;
    bool onMouseButton(const MouseEvent& event, bool pressed) override;

    // The text at font size `size`, in the item's colours.
    void setText(std::u16string_view text, int32_t size);
    // Text colour (r, g, b, a) and edge colour (r, g, b, a), each 0..255.
    void setColors(const std::array<int32_t, 4>& text, const std::array<int32_t, 4>& edge);
    void setHighlighted(bool on);

    const std::u16string& identifier() const { return identifier_; }
    bool highlighted() const { return highlighted_; }
    const std::u16string& text() const { return text_; }
    GUITextLine* textLine() const { return line_; }

   protected:
    void onChildRemoved(GUIComponent* child) override;

   private:
    // Hands the text, its size and the colours to the text line.
    void renderText();

    XG_Select* owner_;
    std::u16string identifier_;
    bool highlighted_ = false;
    std::u16string text_;
    int32_t size_ = 0;
    ZEPTextureRef picture_;
    GUITextLine* line_;
    std::array<int32_t, 4> textColor_{255, 255, 255, 255};
    std::array<int32_t, 4> edgeColor_{0, 0, 0, 0};
  };

  // Puts the pointer at a logical screen point when the keyboard moves the
  // selection. The scene set-up installs the main window's; with none (null)
  // the pointer stays where it is. Returns the previous one.
  using PointerWarp = void (*)(int32_t x, int32_t y);
  static PointerWarp setPointerWarp(PointerWarp warp);

  // Choice layer `which` (0 or 1) over (0, 0, width, height); hidden.
  XG_Select(int32_t which, int32_t width, int32_t height);
  ~XG_Select() override;

  GUIComponent* getComponent() override { return this; }
  bool isDrawable() override { return true; }
  // Fills the window box with the window colour.
  void draw() override;
  bool paintExtent(ScreenArea* area) override;
  void onKey(const KeyEvent& event, bool pressed) override;

  // Replaces the items with one per choice, laid out from the configuration.
  void buildItems(const Config::SelectWindow& config, const std::vector<Choice>& choices, bool cancelAllowed);
  void clearItems();
  // Item index (held to -1 .. n - 1) becomes current; from the keyboard the
  // pointer moves onto it.
  void selectIndex(int32_t index, bool byPointer);
  // The next (forward) or previous item, without wrapping.
  void moveSelection(bool forward);
  // The first item with exactly this identifier becomes current.
  void selectById(std::u16string_view identifier, bool byPointer);
  // Cancel (when allowed): AppEvent 18; else the current item's
  // SelectedEvent. Either posted: the layer hides and the root takes the keys.
  void decide(bool cancel);

  int32_t which() const { return which_; }
  int32_t flag() const { return flag_; }
  void setFlag(int32_t flag) { flag_ = flag; }
  const std::vector<Item*>& items() const { return items_; }
  Item* currentItem() const { return current_; }
  struct Box {
    int32_t x, y, width, height;
  };
  const Box& windowBox() const { return box_; }
  bool cancelAllowed() const { return cancelAllowed_; }
  const float* cursorColor() const { return cursorColor_; }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  int32_t which_;
  int32_t flag_ = 1;  // set to 1 when made; kept, not read
  Box box_{0, 0, 1, 1};
  bool cancelAllowed_ = false;
  std::vector<Item*> items_;
  Item* current_ = nullptr;
  float windowColor_[4] = {0.0f, 0.0f, 0.0f, 0.5f};
  float cursorColor_[4] = {1.0f, 1.0f, 1.0f, 0.5f};
};
