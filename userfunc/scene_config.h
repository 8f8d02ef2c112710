// Configuration switches of the scene's windows that built-ins and the
// controller share: the menu and the message window take a numbered entry of
// the configuration, and choice list 0 is filled from a select-window entry,
// shown and cleared. Main thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/config_windows.h"

// Entry n of ":message-window", or null when it has none (or there is no
// environment).
const Config::MessageWindowConfig* findMsgwinConfig(int32_t n);
// Entry n of ":menu", or null when it has none (or there is no environment).
const Config::MenuConfigEntry* findMenuConfig(int32_t n);
// Entry n of ":menu"; n < 0 or an undefined number gives the default menu.
// Then the application-event mask is applied to the menu's buttons again.
bool setMenuConfig(int32_t n);
// Entry n of ":message-window"; n < 0 takes entry 0 when there is one, else
// the lowest-numbered entry. No entry (an empty table, or an undefined
// n >= 0, which is logged at WARN) gives the window its default record
// (null). Then the application-event mask is applied to the window's
// buttons again. Always true.
bool setMsgwinConfig(int32_t n);
// Empties and hides choice list 0; the GUI root takes the keys again.
bool clearSelect();

// Copies entry n of ":select-window" into out; false (out untouched) when
// there is no such entry or no environment.
bool findSelectWindowConfig(int32_t n, Config::SelectWindow* out);
// Entry n of ":select-window", or the built-in list: a 700-pixel window at
// (50, 100) in translucent teal, with items of 680 x 32.
Config::SelectWindow getSelectWindowConfig(int32_t n);
// Fills choice list 0 from select-window configuration configNumber with one
// item for each bit i (0..7) of mask that the lists reach: identifier the
// decimal label number i, text texts[i]. The list keeps the flag and allows
// a cancel when it is 1, is shown and takes the keys. Item numbers are
// accepted for the callers' sake; the list has no use for them.
bool showSelect(int32_t configNumber, int32_t mask, std::span<const int32_t> labelNumbers,
                std::span<const std::u16string> texts, std::span<const int32_t> itemNumbers, int32_t flag);
