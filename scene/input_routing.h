// Routing window input through the component tree: mouse events by hit
// test with hover, capture and bubbling to the parents; key events to the
// key listener, then the fixed keys and the key map. The window's input
// dispatch calls these after the scene's own handler declined the event.
// Main thread.
#pragma once

class GUIComponent;
class KeyEvent;
class MouseEvent;

// How many rounds of hover changes one mouse event may cause before it is
// handed to whatever is hovered then (ordinary input needs three).
constexpr int kMouseRoutePasses = 8;

// start: the component whose coordinates equal the event's screen
// coordinates (the GUI root, or a full-screen modal layer).
void RouteMouseEvent(GUIComponent* start, const MouseEvent& event);
void RouteKeyEvent(const KeyEvent& event);
