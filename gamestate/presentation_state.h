// PresentationState: what a save keeps of the screen and the speakers (menu
// and message-window settings, background picture, foreground cells, parts,
// fader, pointer, music channels, volumes, the script's saved counters and
// strings, the script layers). Built-ins record their changes here through
// the StateMgr; plain values with a deep copy. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scene/layer_table.h"
#include "script/ap_value.h"

namespace tokenizer {
class Cell;
class Tokenizer;
}  // namespace tokenizer

struct SavedCell {
  APValue picno = APValue(false);
  int32_t switchNo = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;
  int32_t tx = -1, ty = 0, tw = 0, th = 0;
  int32_t opacity = 255;
  int32_t zorder = 0;
};

struct SavedParts {
  int32_t partsNo = -1;  // configuration number in ":parts"
  int32_t visible = 0;
  int32_t x = 0, y = 0;
  int32_t opacity = 255;
  int32_t zorder = 0;
  int32_t keyorder = 0;
  int32_t enable = 1;
  APValue w = APValue(false);
  APValue h = APValue(false);
  APValue animationCode = APValue(false);
  APValue text = APValue(false);
  std::map<int32_t, int32_t> eventno;  // event kind -> event number
  std::map<int32_t, int32_t> color;    // colour kind -> 0xAARRGGBB
};

// One music (stream) channel: what it plays and how.
struct MusicChannelRecord {
  APValue music = APValue(false);  // number or file name; false when none
  int32_t volume = 100;
  int32_t startposition = 0;
  int32_t loopsetting = 0;
  int32_t loopstart = 0;
  int32_t loopend = 0;
  int32_t loopnum = 0;
};

inline constexpr int kMusicChannels = 4;

struct PresentationState {
  struct Menu {
    int32_t cfgno = -1;
    uint8_t enable = 0;
    uint8_t autohide = 0;
    uint8_t show = 0;
  };
  struct Msgwin {
    int32_t cfgno = 0;
    uint8_t visible = 1;
    std::u16string text;   // the page's texts joined, as older saves keep it
    int32_t keywait = -1;  // key-wait icon kind, -1 none
    int32_t posIndex = 0;
    int32_t posX = 0;
    int32_t posY = 0;
    // The same texts one by one, as they were shown; a save without them
    // (or whose texts do not join into text) shows text as one.
    std::vector<std::u16string> texts;
  };
  struct Picture {
    APValue picno = APValue(false);
    int32_t tx = -1, ty = 0, tw = 0, th = 0;
  };
  struct Fader {
    int32_t r = -1, g = -1, b = -1, a = -1;  // -1: no fader
  };
  struct Mouse {
    int32_t showflag = 2;
    APValue cursor = APValue(-1);
  };

  PresentationState() : music(kMusicChannels) {}

  // Every field back to its initial value; exactly 4 default music records.
  void reset() { *this = PresentationState(); }

  // The record as a save-data tree, its entries from "pls" down to "menu"
  // (the layer table through LayerStateWriter). Null when the tokenizer runs
  // out of memory.
  tokenizer::Cell* toTree(tokenizer::Tokenizer& tk) const;
  // Fills the fields the tree's entries name: the menu, message window,
  // picture, fader, pointer and volumes in place; the cells, parts, music,
  // counters, strings and voice volumes cleared and refilled; the layer table
  // cleared and read by LayerStateReader. A broken element ends its list and
  // reading goes on. False when an element of the list itself is not an
  // entry with a symbol key (reading stops there, what was read stays) or
  // when the layer state does not read.
  // Either way the music ends with exactly 4 records. Never logs.
  bool fromTree(const tokenizer::Cell* list);

  Menu menu;
  Msgwin msgwin;
  Picture picture;
  std::map<int32_t, SavedCell> cell;
  std::map<int32_t, SavedParts> parts;
  Fader fader;
  Mouse mouse;
  std::vector<MusicChannelRecord> music;
  int32_t soundVolume = 100;
  std::map<int32_t, int32_t> voiceVolume;  // character -> volume; absent reads 100
  std::map<int32_t, int32_t> plf;          // saved counters
  std::map<int32_t, std::u16string> pls;   // saved strings
  // The script layers; copies of a presentation never touch the screen.
  LayerTable layers;
};
