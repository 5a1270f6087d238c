#include "framework/CDataExchange.h"
#include "framework/AfxMessageBox.h"
#include "framework/CException.h"
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <type_traits>

HWND AfxSetLockoutNotifyWindow(HWND hWnd); // CWndMessages.cpp

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    // The control notifications the exchange itself causes are not dispatched (CWnd::OnCommand).
    struct Lockout
    {
        HWND hPrevious;
        ~Lockout() { AfxSetLockoutNotifyWindow(hPrevious); }
    } lockout{AfxSetLockoutNotifyWindow(m_hWnd)};
    try
    {
        DoDataExchange(&dx);
        return TRUE;
    }
    catch (CUserException* e)
    {
        e->Delete(); // the user has been told already
        return FALSE;
    }
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWnd = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (!hWnd) throw new CNotSupportedException; // the template and the code disagree: a program fault
    m_hWndLastControl = hWnd;
    m_bEditLastControl = FALSE;
    return hWnd;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC)
{
    HWND hWnd = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return hWnd;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_hWndLastControl)
    {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl) ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw new CUserException;
}

namespace
{
CString WindowText(HWND hWnd)
{
    CString text;
    const int length = ::GetWindowTextLengthW(hWnd);
    ::GetWindowTextW(hWnd, text.GetBufferSetLength(length), length + 1);
    text.ReleaseBuffer();
    return text;
}

[[noreturn]] void Refuse(CDataExchange* pDX, LPCWSTR lpszText)
{
    AfxMessageBox(lpszText, MB_ICONEXCLAMATION);
    pDX->Fail();
}

// Whole text an integer (blanks around it allowed) in the range of T.
template <class T> bool ParseInteger(const CString& text, T& value)
{
    const wchar_t* p = text.GetString();
    while (iswspace(*p))
        ++p;
    if (!*p) return false;
    wchar_t* end = nullptr;
    errno = 0;
    if constexpr (std::is_signed_v<T>)
    {
        const long long v = wcstoll(p, &end, 10);
        if (errno || v < static_cast<long long>(std::numeric_limits<T>::min()) ||
            v > static_cast<long long>(std::numeric_limits<T>::max()))
            return false;
        value = static_cast<T>(v);
    }
    else
    {
        if (*p == L'-') return false;
        const unsigned long long v = wcstoull(p, &end, 10);
        if (errno || v > static_cast<unsigned long long>(std::numeric_limits<T>::max())) return false;
        value = static_cast<T>(v);
    }
    while (iswspace(*end))
        ++end;
    return *end == L'\0';
}

template <class T> void ExchangeInteger(CDataExchange* pDX, int nIDC, T& value, LPCWSTR lpszFormat)
{
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
    {
        T parsed{};
        if (!ParseInteger(WindowText(hWnd), parsed)) Refuse(pDX, L"Please enter an integer.");
        value = parsed;
    }
    else
    {
        CString text;
        text.Format(lpszFormat, value);
        ::SetWindowTextW(hWnd, text);
    }
}
} // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = WindowText(hWnd);
    else
        ::SetWindowTextW(hWnd, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    ExchangeInteger(pDX, nIDC, value, L"%d");
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value)
{
    ExchangeInteger(pDX, nIDC, value, L"%u");
}

void DDX_Text(CDataExchange* pDX, int nIDC, long& value)
{
    ExchangeInteger(pDX, nIDC, value, L"%ld");
}

void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value)
{
    ExchangeInteger(pDX, nIDC, value, L"%lu");
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value)
{
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
    {
        const CString text = WindowText(hWnd);
        const wchar_t* p = text.GetString();
        while (iswspace(*p))
            ++p;
        wchar_t* end = nullptr;
        errno = 0;
        const double v = *p ? wcstod(p, &end) : 0.0;
        if (end)
            while (iswspace(*end))
                ++end;
        if (!*p || errno || !end || *end) Refuse(pDX, L"Please enter a number.");
        value = v;
    }
    else
    {
        CString text;
        text.Format(L"%.*g", 15, value);
        ::SetWindowTextW(hWnd, text);
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(hWnd, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(hWnd, BM_SETCHECK, value >= BST_UNCHECKED && value <= BST_INDETERMINATE ? value : BST_UNCHECKED,
                       0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) value = -1;
    // The group: this button and its siblings up to the next one with WS_GROUP.
    int index = 0;
    do
    {
        if (::SendMessageW(hWnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
        {
            if (pDX->m_bSaveAndValidate)
            {
                if (::SendMessageW(hWnd, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
            }
            else
                ::SendMessageW(hWnd, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            ++index;
        }
        hWnd = ::GetWindow(hWnd, GW_HWNDNEXT);
    } while (hWnd && !(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_GROUP));
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd) return; // bound at the first exchange
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWnd)) throw new CNotSupportedException;
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(hWnd, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
    {
        // A drop-down list's window text is its selected item; an editable one's is its edit.
        value = WindowText(hWnd);
        return;
    }
    const bool editable = (::GetWindowLongPtrW(hWnd, GWL_STYLE) & 0x3) != CBS_DROPDOWNLIST;
    if (::SendMessageW(hWnd, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(value.GetString())) ==
            CB_ERR &&
        editable)
        ::SetWindowTextW(hWnd, value);
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars)
{
    if (pDX->m_bSaveAndValidate)
    {
        if (value.GetLength() > nChars)
        {
            CString text;
            text.Format(L"Enter no more than %d characters.", nChars);
            Refuse(pDX, text);
        }
    }
    else if (pDX->m_hWndLastControl && pDX->m_bEditLastControl)
        ::SendMessageW(pDX->m_hWndLastControl, EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    CString text;
    text.Format(L"Please enter an integer between %d and %d.", minVal, maxVal);
    Refuse(pDX, text);
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    CString text;
    text.Format(L"Please enter an integer between %u and %u.", minVal, maxVal);
    Refuse(pDX, text);
}
