#pragma once
#include "framework/Platform.h"
// The private messages of the control library's link to Lumo. Every heap object a message carries is
// allocated by the poster and freed by the receiver (also when posting fails: then by the poster).

// To the owner's hidden window, from the socket thread.
constexpr UINT WM_SYNCSOCKETEX_COMMAND = WM_USER;        // wParam: CSyncSocketExThread::CRequest*; lParam: unused
constexpr UINT WM_SYNCSOCKETEX_CLOSED = WM_USER + 1;     // wParam: socket error code; lParam: unused
constexpr UINT WM_SYNCSOCKETEX_SERVERTIME = WM_USER + 2; // wParam: CString* with the peer's clock; lParam: unused
constexpr UINT WM_SYNCSOCKETEX_ERROR = WM_USER + 3;      // wParam: CString* with a text for the owner; lParam: unused

// To the socket thread, from the owner.
constexpr UINT WM_SYNCSOCKETEX_SEND = WM_USER + 110;     // wParam: CString* with the line; lParam: unused
constexpr UINT WM_SYNCSOCKETEX_SENDDATA = WM_USER + 111; // wParam: CSyncSocketExThread::CSendData*; lParam: unused
constexpr UINT WM_SYNCSOCKETEX_CONNECT = WM_USER + 112;  // wParam: CString* with the address; lParam: the port
constexpr UINT WM_SYNCSOCKETEX_CLOSE = WM_USER + 113;    // wParam, lParam: unused
// The socket thread to itself: a protocol fault closes the link outside the receive pass.
constexpr UINT WM_SYNCSOCKETEX_DROP = WM_USER + 114; // wParam, lParam: unused
