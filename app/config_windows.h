// Configuration records of ":color-table", ":select-window",
// ":message-window" and ":menu", their parsers, and the post-load passes
// that bind the parts named by menus and message windows to the part
// configurations of ":parts".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/chip_config.h"
#include "app/shared_ref.h"
#include "script/cell.h"

class GameEnvironment;

namespace Config {

// ARGB colours indexed from 0.
using ColorTable = std::vector<uint32_t>;

// One interactive part placed on a message window or a menu.
struct ControlPointConfig {
  int32_t offsetX = -9999;
  int32_t offsetY = -1;
  int32_t partsNo = -1;                       // a number of ":parts"
  SharedRef<XGChipConfig::ConfigBase> parts;  // bound after loading
  std::u16string event;                       // the command word it raises
};

// One numbered choice window: 26 integers, addressed by Field.
struct SelectWindow {
  enum Field : size_t {
    kWindowX,
    kWindowY,
    kWindowWidth,
    kWindowHeightBase,
    kUnnamed4,  // no key
    kWindowColorR,
    kWindowColorG,
    kWindowColorB,
    kWindowColorA,
    kCursorColorR,
    kCursorColorG,
    kCursorColorB,
    kCursorColorA,
    kItemWidth,
    kItemHeight,
    kItemHeightGap,
    kItemOffsetX,
    kItemOffsetY,
    kItemTextColorR,
    kItemTextColorG,
    kItemTextColorB,
    kItemTextAlpha,  // no key
    kItemTextEdgeColorR,
    kItemTextEdgeColorG,
    kItemTextEdgeColorB,
    kItemTextEdgeColorA,
    kFieldCount,
  };

  SelectWindow();

  int32_t& operator[](size_t field) { return fields[field]; }
  int32_t operator[](size_t field) const { return fields[field]; }

  std::array<int32_t, kFieldCount> fields;
};

using SelectWindowTable = std::map<int32_t, SelectWindow>;

struct ColorQuad {
  int32_t r;
  int32_t g;
  int32_t b;
  int32_t a;
};

// One numbered message window.
struct MessageWindowConfig {
  int32_t windowX = -1;
  int32_t windowY = -1;
  int32_t windowWidth = -1;
  int32_t windowHeight = -1;
  std::u16string bgImageUrl;
  // Preset positions; entry 0 is the window position once loaded.
  std::vector<std::pair<int32_t, int32_t>> presets;
  int32_t taOffsetX = -1;
  int32_t taOffsetY = -1;
  int32_t taWidth = -1;
  int32_t taHeight = -1;
  bool taBgAmikake = false;
  ColorQuad taBgColor{0, 0, 0, 255};
  int32_t taFont = 0;
  int32_t taFontSize = 32;
  std::u16string taFontColor;
  int32_t taLinePitch = 0;
  int32_t taCharGap = 0;
  int32_t taLineNum = 4;
  int32_t taCharsPerLine = 46;
  ColorQuad taFontEdgeColor{0, 0, 0, 255};
  int32_t taRubyFont = 0;
  int32_t taRubyFontSize = 12;
  ColorQuad taRubyTextColor{255, 255, 255, 255};
  ColorQuad taRubyEdgeColor{0, 0, 0, 255};
  int32_t taRubyLinePitch = 0;
  std::array<int32_t, 2> keywaitIcon{0, 0};  // parts numbers
  int32_t displaySpeedLow = 100;
  int32_t displaySpeedMiddle = 30;
  int32_t displaySpeedHigh = 10;
  std::array<SharedRef<XGChipConfig::ConfigBase>, 2> keywaitIconParts;  // bound after loading
  int32_t keywaitIconPosX = 0;
  int32_t keywaitIconPosY = 0;
  std::vector<ControlPointConfig> controlPoints;        // "cp-0-..." .. "cp-5-..."
  std::vector<ControlPointConfig> hiddenControlPoints;  // "cp-c0-0-..." .. "cp-c0-6-..."
  // The window's colour codes; not read from the configuration file.
  std::vector<uint32_t> colorTable;
};

using MessageWindowTable = std::map<int32_t, MessageWindowConfig>;

// One numbered pop-up menu.
struct MenuConfigEntry {
  enum Position : int32_t { kLeft = 0, kRight = 1, kTop = 2, kBottom = 3 };

  int32_t position = kRight;
  int32_t menuWidth = 128;
  int32_t sensorWidth = 48;
  int32_t extra = 0;  // no key
  std::u16string bgImageUrl;
  std::vector<ControlPointConfig> controlPoints;  // "cp-0-..." .. "cp-15-..."
  // Background colour, 0..255 each; no key sets it (alpha 0: none).
  ColorQuad bgColor{0, 0, 0, 0};
};

using MenuTable = std::map<int32_t, MenuConfigEntry>;
using MenuConfig = MenuTable;

// The position of preset n: the window position for n = 0 or an undefined
// preset, else preset n. A negative n writes nothing.
void GetRange(const MessageWindowConfig& config, int32_t n, int32_t* x, int32_t* y);

}  // namespace Config

bool ParseColorTable(Config::ColorTable* table, tokenizer::Cell* section);
bool ParseSelectWindowSection(Config::SelectWindowTable* table, tokenizer::Cell* section);
bool ParseMessageWindowSection(Config::MessageWindowTable* table, tokenizer::Cell* section);
bool ParseMenuSection(Config::MenuTable* table, tokenizer::Cell* section);
// Read the pair entries of one window or menu into a record at its defaults.
bool ParseMessageWindowEntry(Config::MessageWindowConfig* config, tokenizer::Cell* entries);
bool ParseMenuEntry(Config::MenuConfigEntry* entry, tokenizer::Cell* entries);
// Post-load passes: bind the part numbers named by menus and message windows
// to the part configurations of ":parts".
void ResolveMenuParts(GameEnvironment* environment);
void ResolveMenuEntryParts(GameEnvironment* environment, Config::MenuConfigEntry* entry);
void ResolveMessageWindowParts(GameEnvironment* environment);
