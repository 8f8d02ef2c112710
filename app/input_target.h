// The three input-target slots the GUI root routes input through: mouse
// capture, the hovered component and the key listener. The slots do not own
// the components; every component clears itself from them when destroyed.
// Main thread only.
#pragma once

class GUIComponent;

// Clears every slot that points to the component.
void ForgetInputTarget(const GUIComponent* component);

// The capture component when set, else the hovered component (may be null).
GUIComponent* GetMouseTarget();

void SetMouseCapture(GUIComponent* component);
GUIComponent* GetMouseCapture();
void SetHoveredComponent(GUIComponent* component);
GUIComponent* GetHoveredComponent();
void SetKeyListener(GUIComponent* component);
GUIComponent* GetKeyListener();
