// The word tables that turn configuration words into numbers: system
// command words (":key" event names, chip events) and key names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "qload" 15, "qsave" 14, "load" 3, "save" 2, "backlog" 10, "config" 4,
// "quit" 6, "erasewin" 5, "skipmsg" 1, "automsg" 29, "restart" 7,
// "flowmode" 9 (exact match); 0 for any other word.
int32_t systemCommandFromName(std::u16string_view name);
// The word of a system command number ("qsave" for 14); empty for a number
// that is none.
std::u16string_view systemCommandName(int32_t number);

// "F1" .. "F12" give the virtual-key codes 112 .. 123; any other name 0.
int32_t keyCodeFromName(std::u16string_view name);
// How messages name a key: "F1" .. "F12" for the codes 112 .. 123, any
// other code in decimal.
std::u16string keyNameFromCode(int32_t code);
