#pragma once
#include "framework/CString.h"
#include <deque>
#include <vector>
// Answers the program's message boxes (AfxMessageBox, CWnd::MessageBox) while it lives, without
// showing them: each box takes the next queued answer, or the default answer when none is left,
// and its text and type are recorded.
class CMessageBoxAnswerer
{
public:
    explicit CMessageBoxAnswerer(int nDefaultAnswer = IDOK);
    ~CMessageBoxAnswerer(); // puts back the hook that was there before
    CMessageBoxAnswerer(const CMessageBoxAnswerer&) = delete;
    CMessageBoxAnswerer& operator=(const CMessageBoxAnswerer&) = delete;

    void Answer(int nAnswer) { m_answers.push_back(nAnswer); }
    // A real box runs a message loop until it is closed: with this on, each box first dispatches
    // the thread's waiting messages, so a box shown from one of them opens inside this one.
    void PumpWhileShown(bool bPump) { m_bPump = bPump; }
    int MaxDepth() const { return m_nMaxDepth; } // the most boxes that were open at once
    struct Box
    {
        CString text;
        CString caption;
        UINT type;
    };
    const std::vector<Box>& Boxes() const { return m_boxes; }

private:
    static int Hook(void* pContext, HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType);
    int m_nDefault;
    bool m_bPump = false;
    int m_nDepth = 0;
    int m_nMaxDepth = 0;
    std::deque<int> m_answers;
    std::vector<Box> m_boxes;
    void* m_pPrevContext = nullptr;
    int (*m_pfnPrev)(void*, HWND, LPCWSTR, LPCWSTR, UINT) = nullptr;
};
