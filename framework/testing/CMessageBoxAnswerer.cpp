#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/AfxMessageBox.h"
#include <algorithm>

CMessageBoxAnswerer::CMessageBoxAnswerer(int nDefaultAnswer) : m_nDefault(nDefaultAnswer)
{
    m_pfnPrev = AfxSetMessageBoxHook(&CMessageBoxAnswerer::Hook, this, &m_pPrevContext);
}

CMessageBoxAnswerer::~CMessageBoxAnswerer()
{
    AfxSetMessageBoxHook(m_pfnPrev, m_pPrevContext);
}

int CMessageBoxAnswerer::Hook(void* pContext, HWND, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType)
{
    auto* self = static_cast<CMessageBoxAnswerer*>(pContext);
    self->m_boxes.push_back({CString(lpszText ? lpszText : L""), CString(lpszCaption ? lpszCaption : L""), nType});
    if (self->m_bPump)
    {
        ++self->m_nDepth;
        self->m_nMaxDepth = std::max(self->m_nMaxDepth, self->m_nDepth);
        // Bounded: a box must not wait for messages that keep coming.
        MSG msg;
        for (int i = 0; i < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        --self->m_nDepth;
    }
    if (self->m_answers.empty()) return self->m_nDefault;
    const int answer = self->m_answers.front();
    self->m_answers.pop_front();
    return answer;
}
