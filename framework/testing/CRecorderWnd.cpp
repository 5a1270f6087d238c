#include "framework/testing/CRecorderWnd.h"

namespace
{
constexpr wchar_t kClassName[] = L"LumoTestRecorderWnd";
}

CRecorderWnd::CRecorderWnd(UINT nFirstRecorded) : m_nFirstRecorded(nFirstRecorded)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc); // fails harmlessly from the second recorder on: the class stays registered
    m_hWnd.Attach(::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK CRecorderWnd::Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (auto* self = reinterpret_cast<CRecorderWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA)))
        if (message >= self->m_nFirstRecorded)
        {
            self->m_seen.push_back({message, wParam, lParam, ::GetTickCount64()});
            if (self->m_onMessage) self->m_onMessage();
        }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}
