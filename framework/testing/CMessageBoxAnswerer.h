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
    std::deque<int> m_answers;
    std::vector<Box> m_boxes;
    void* m_pPrevContext = nullptr;
    int (*m_pfnPrev)(void*, HWND, LPCWSTR, LPCWSTR, UINT) = nullptr;
};
