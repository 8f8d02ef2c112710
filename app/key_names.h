// The word tables that turn configuration words into numbers: system
// command words (":key" event names, chip events) and key names.
#pragma once

#include <cstdint>
#include <string_view>

// "qload" 15, "qsave" 14, "load" 3, "save" 2, "backlog" 10, "config" 4,
// "quit" 6, "erasewin" 5, "skipmsg" 1, "automsg" 29, "restart" 7,
// "flowmode" 9 (exact match); 0 for any other word.
int32_t systemCommandFromName(std::u16string_view name);

// "F1" .. "F12" give the virtual-key codes 112 .. 123; any other name 0.
int32_t keyCodeFromName(std::u16string_view name);
