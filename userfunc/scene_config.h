// Configuration switches of the scene's windows that built-ins and the
// controller share: the menu and the message window take a numbered entry of
// the configuration, and the choice list is cleared. Main thread.
#pragma once

#include <cstdint>

// Entry n of ":menu"; n < 0 or an undefined number gives the default menu.
// Then the application-event mask is applied to the menu's buttons again.
bool setMenuConfig(int32_t n);
// Entry n of ":message-window"; n < 0 takes entry 0 when there is one, else
// the lowest-numbered entry, and no entry when the table is empty. Then the
// application-event mask is applied to the window's buttons again.
bool setMsgwinConfig(int32_t n);
// Empties and hides choice list 0; the GUI root takes the keys again.
bool clearSelect();
