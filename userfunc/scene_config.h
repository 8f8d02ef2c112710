// Configuration switches of the scene's windows that built-ins and the
// controller share: the menu and the message window take a numbered entry of
// the configuration, and the choice list is cleared. Main thread.
#pragma once

#include <cstdint>

namespace Config {
struct MessageWindowConfig;
}  // namespace Config

// Entry n of ":message-window", or null when it has none (or there is no
// environment).
const Config::MessageWindowConfig* findMsgwinConfig(int32_t n);
// Entry n of ":menu"; n < 0 or an undefined number gives the default menu.
// Then the application-event mask is applied to the menu's buttons again.
bool setMenuConfig(int32_t n);
// Entry n of ":message-window"; n < 0 takes entry 0 when there is one, else
// the lowest-numbered entry. An empty table gives the window its default
// record (null); an undefined n >= 0 keeps the window's configuration and
// is logged at WARN. Then the application-event mask is applied to the
// window's buttons again. False only when the number was refused.
bool setMsgwinConfig(int32_t n);
// Empties and hides choice list 0; the GUI root takes the keys again.
bool clearSelect();
