#include "framework/AfxMessageBox.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include <mutex>

namespace
{
std::mutex g_hookLock;
AFX_MESSAGEBOX_HOOK g_pfnHook = nullptr;
void* g_pHookContext = nullptr;

bool AskHook(HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType, int* pAnswer)
{
    AFX_MESSAGEBOX_HOOK hook;
    void* context;
    {
        std::lock_guard<std::mutex> guard(g_hookLock);
        hook = g_pfnHook;
        context = g_pHookContext;
    }
    if (!hook) return false;
    *pAnswer = hook(context, hWndOwner, lpszText, lpszCaption, nType);
    return *pAnswer != 0;
}

HWND DefaultOwner()
{
    // As the framework does: the active window of this thread, else the main window.
    HWND hWnd = ::GetActiveWindow();
    if (!hWnd) hWnd = AfxGetSafeHwnd(AfxGetMainWnd());
    return hWnd ? ::GetAncestor(hWnd, GA_ROOT) : nullptr;
}
} // namespace

AFX_MESSAGEBOX_HOOK AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK pfnHook, void* pContext, void** ppPrevContext)
{
    std::lock_guard<std::mutex> guard(g_hookLock);
    AFX_MESSAGEBOX_HOOK prev = g_pfnHook;
    if (ppPrevContext) *ppPrevContext = g_pHookContext;
    g_pfnHook = pfnHook;
    g_pHookContext = pContext;
    return prev;
}

int AfxMessageBoxFor(HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType)
{
    if (!lpszCaption) lpszCaption = AfxGetAppName();
    int answer = 0;
    if (AskHook(hWndOwner, lpszText, lpszCaption, nType, &answer)) return answer;
    return ::MessageBoxW(hWndOwner, lpszText, lpszCaption, nType);
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT nIDHelp)
{
    int answer = 0;
    if (AskHook(DefaultOwner(), lpszText, AfxGetAppName(), nType, &answer)) return answer;
    if (CWinApp* pApp = AfxGetApp()) return pApp->DoMessageBox(lpszText, nType, nIDHelp);
    return ::MessageBoxW(DefaultOwner(), lpszText, AfxGetAppName(), nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    wchar_t text[1024] = L"";
    ::LoadStringW(AfxFindResourceHandle(MAKEINTRESOURCEW((nIDPrompt >> 4) + 1), RT_STRING), nIDPrompt, text, 1024);
    return AfxMessageBox(text, nType, nIDHelp == static_cast<UINT>(-1) ? nIDPrompt : nIDHelp);
}
