#pragma once
#include "framework/Platform.h"
// Message boxes of the program. Every box goes through one place, so that a test can answer
// boxes without a person: a hook, when set, is asked first and its answer is the box's result.

// Returns the answer (IDOK, IDYES, ...) or 0 to let the box be shown.
using AFX_MESSAGEBOX_HOOK = int (*)(void* pContext, HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType);

// Sets the hook of the process (null removes it) and returns the previous one with its context.
AFX_MESSAGEBOX_HOOK AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK pfnHook, void* pContext, void** ppPrevContext = nullptr);

// The application's box (CWinApp::DoMessageBox) with the application's name as caption.
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// The text from the string table.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
// A box owned by a given window, with an explicit caption (CWnd::MessageBox).
int AfxMessageBoxFor(HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType);
