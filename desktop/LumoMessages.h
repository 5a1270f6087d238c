#pragma once
#include "framework/Platform.h"
// Private messages of the agent desktop.

// A thread message to the GUI thread, from any component that finds the headset's devices stuck.
// wParam, lParam: unused.
constexpr UINT WM_HEADSETSTUCK = WM_USER + 1000;

// The update progress window has closed; to its owner, the connection dialog.
// wParam: the window's result (1 closed with OK, 2 cancelled); lParam: unused.
constexpr UINT WM_PROGRESSCLOSED = WM_USER + 1;
