// Input tests shared by the wait checkers: whether an event handed to a
// wait is a press or a release of a key or mouse button, and the number a
// chip or choice event carries.
#pragma once

#include <cstdint>
#include <string_view>

#include "script/vm_event.h"

// The number a chip or choice event carries as decimal text, read as "%d"
// reads it (blanks, a sign, digits); 0 when the text holds none.
// Out-of-range values saturate.
int32_t numberInText(std::u16string_view text);

// A key press, or a mouse event whose action has the press bit.
bool isInputDown(const VMEvent& event);
// A key event that is not a press (also one without key data), or a mouse
// event whose action has the release bit.
bool isInputUp(const VMEvent& event);
// The parameter of the event (of a synthetic one: its first parameter).
int32_t parameterOf(const VMEvent& event);
