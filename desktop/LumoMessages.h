#pragma once
#include "framework/Platform.h"
// Private messages of the agent desktop. The Jex link's own (WM_JEXREPLY, WM_JEXCLOSED,
// WM_CALLACKREQUEST, WM_CALLACKREMOVE) are declared with it, in sessions/CJexSocket.h.

// A thread message to the GUI thread, from any component that finds the headset's devices stuck.
// wParam, lParam: unused. The main window's own entry for the number does nothing.
constexpr UINT WM_HEADSETSTUCK = WM_USER + 1000;

// The update progress window has closed; to its owner, the connection dialog.
// wParam: the window's result (1 closed with OK, 2 cancelled); lParam: unused.
constexpr UINT WM_PROGRESSCLOSED = WM_USER + 1;

// ---- to the main window ----
// Sent by the main window to itself after a reconnect. wParam: 1 log on again, 0 failed; lParam: 0.
constexpr UINT WM_LOGONRESULT = WM_USER + 102;
// Posted when the desktop is to end. wParam, lParam: 0.
constexpr UINT WM_CLOSELUMO = WM_USER + 103;
// Posted by the softphone's event sink. wParam: 0, 1 or 2; lParam: a new CString, the receiver deletes it.
constexpr UINT WM_SOFTPHONEEVENT = WM_USER + 104;
// Posted by the softphone's event sink. wParam: the error number; lParam: a new CString, the receiver deletes it.
constexpr UINT WM_SOFTPHONEERROR = WM_USER + 107;
// Posted after a change of the system clock or time zone. wParam, lParam: as the notifier posts them.
constexpr UINT WM_SYSTEMTIMECHANGED = WM_USER + 108;
// Posted by the softphone's event sink. wParam: 1 alarm on, 0 off; lParam: 0.
constexpr UINT WM_SOFTPHONEALARM = WM_USER + 109;
// Posted by the main window to itself: a message box for someone who cannot wait for its answer.
// wParam: 0; lParam: a new CString with the text, the receiver deletes it.
constexpr UINT WM_POSTEDMESSAGEBOX = WM_USER + 110;
