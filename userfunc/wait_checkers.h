// Input tests shared by the wait checkers: whether an event handed to a
// wait is a press or a release of a key or mouse button, and its parameter.
#pragma once

#include <cstdint>

#include "script/vm_event.h"

// A key press, or a mouse event whose action has the press bit.
bool isInputDown(const VMEvent& event);
// A key event that is not a press (also one without key data), or a mouse
// event whose action has the release bit.
bool isInputUp(const VMEvent& event);
// The parameter of the event (of a synthetic one: its first parameter).
int32_t parameterOf(const VMEvent& event);
