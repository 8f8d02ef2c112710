#include "app/input_target.h"

namespace {
GUIComponent* g_capture = nullptr;
GUIComponent* g_hovered = nullptr;
GUIComponent* g_keyListener = nullptr;
}  // namespace

void ForgetInputTarget(const GUIComponent* component) {
  if (!component) return;
  if (g_capture == component) g_capture = nullptr;
  if (g_hovered == component) g_hovered = nullptr;
  if (g_keyListener == component) g_keyListener = nullptr;
}

GUIComponent* GetMouseTarget() { return g_capture ? g_capture : g_hovered; }

void SetMouseCapture(GUIComponent* component) { g_capture = component; }
GUIComponent* GetMouseCapture() { return g_capture; }
void SetHoveredComponent(GUIComponent* component) { g_hovered = component; }
GUIComponent* GetHoveredComponent() { return g_hovered; }
void SetKeyListener(GUIComponent* component) { g_keyListener = component; }
GUIComponent* GetKeyListener() { return g_keyListener; }
