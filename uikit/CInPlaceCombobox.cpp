#include "uikit/CInPlaceCombobox.h"
#include "framework/CClientDC.h"
#include "framework/CSelectObject.h"
#include "uikit/CListCtrlEdit.h"
#include "uikit/CListEditCounters.h"

BEGIN_MESSAGE_MAP(CInPlaceCombobox, CComboBox)
ON_WM_CREATE()
END_MESSAGE_MAP()

CInPlaceCombobox::CInPlaceCombobox(int nItem, int nColumn) : m_nItem(nItem), m_nColumn(nColumn)
{
    ++CListEditCounters::s_nEditors;
}

CInPlaceCombobox::~CInPlaceCombobox()
{
    if (m_pDeleted) *m_pDeleted = true;
    --CListEditCounters::s_nEditors;
}

CInPlaceCombobox* CInPlaceCombobox::Open(CWnd* pList, const RECT& rect, DWORD dwStyle, UINT nID, int nItem, int nColumn)
{
    auto* pCombo = new CInPlaceCombobox(nItem, nColumn);
    bool deleted = false;
    pCombo->m_pDeleted = &deleted;
    if (!pCombo->Create(dwStyle, rect, pList, nID))
    {
        if (!deleted) delete pCombo;
        return nullptr;
    }
    pCombo->m_pDeleted = nullptr;
    return pCombo;
}

BOOL CInPlaceCombobox::PreCreateWindow(CREATESTRUCTW& cs)
{
    cs.style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
    return CComboBox::PreCreateWindow(cs);
}

int CInPlaceCombobox::OnCreate(LPCREATESTRUCTW lpCreateStruct)
{
    if (CComboBox::OnCreate(lpCreateStruct) == -1) return -1;
    SetFontHandle(GetListFont());
    return 0;
}

HFONT CInPlaceCombobox::GetListFont() const
{
    HWND hList = ::GetParent(m_hWnd);
    return hList ? reinterpret_cast<HFONT>(::SendMessageW(hList, WM_GETFONT, 0, 0)) : nullptr;
}

CString CInPlaceCombobox::MainText(const CString& strEntry)
{
    const int tab = strEntry.Find(L'\t');
    return tab < 0 ? strEntry : strEntry.Left(tab);
}

void CInPlaceCombobox::SelectOrAdd(LPCWSTR lpszText)
{
    const CString text(lpszText ? lpszText : L"");
    SetWindowText(text);
    if ((GetStyle() & CBS_DROPDOWNLIST) == CBS_DROPDOWNLIST)
    {
        int found = CB_ERR;
        const int count = GetCount();
        for (int i = 0; i < count && found == CB_ERR; ++i)
        {
            CString entry;
            GetLBText(i, entry);
            if (MainText(entry).CompareNoCase(text) == 0) found = i;
        }
        if (found == CB_ERR) found = AddString(text);
        SetCurSel(found);
    }
    SetFocus();
    SetEditSel(0, -1);
}

void CInPlaceCombobox::TakeText(const CString& strValue)
{
    // Case counts: a change of case is a change of the value.
    if (strValue.Compare(m_strText) == 0) return;
    m_strText = strValue;
    m_bChanged = true;
}

void CInPlaceCombobox::TakeSelectedText()
{
    const int selected = GetCurSel();
    if (selected != CB_ERR)
    {
        CString entry;
        GetLBText(selected, entry);
        TakeText(MainText(entry));
    }
    SetWindowText(m_strText);
}

BOOL CInPlaceCombobox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
    {
        switch (HIWORD(wParam))
        {
        case CBN_KILLFOCUS:
            EndEdit(); // the window and this object are gone
            return TRUE;
        case CBN_EDITUPDATE: {
            CString text;
            GetWindowText(text);
            TakeText(MainText(text));
            return FALSE;
        }
        case CBN_SELENDOK:
        case CBN_SELENDCANCEL:
            TakeSelectedText();
            return FALSE;
        default:
            break;
        }
    }
    return CComboBox::OnChildNotify(message, wParam, lParam, pResult);
}

void CInPlaceCombobox::EndEdit()
{
    const bool report = !m_bCancelled && m_bChanged;
    CListCtrlEdit::NotifyEndEdit(*this, m_nItem, m_nColumn, report ? m_strText.GetString() : nullptr);
    DestroyWindow(); // deletes this
}

void CInPlaceCombobox::GiveFocusToList()
{
    if (HWND hList = ::GetParent(m_hWnd)) ::SetFocus(hList);
}

void CInPlaceCombobox::MoveSelection(int nStep)
{
    const int count = GetCount();
    if (count <= 0) return;
    const int selected = GetCurSel();
    int next = selected == CB_ERR ? (nStep > 0 ? 0 : count - 1) : selected + nStep;
    if (next < 0) next = count - 1;
    if (next >= count) next = 0;
    SetCurSel(next);
}

BOOL CInPlaceCombobox::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN) return CComboBox::PreTranslateMessage(pMsg);
    switch (pMsg->wParam)
    {
    case VK_RETURN:
        if (GetDroppedState())
            ShowDropDown(FALSE);
        else
            GiveFocusToList();
        return TRUE;
    case VK_ESCAPE:
        m_bCancelled = true;
        GiveFocusToList();
        return TRUE;
    case VK_UP:
    case VK_DOWN:
        // A closed list leaves them to the editable list, which moves to another cell.
        if (!GetDroppedState()) return FALSE;
        MoveSelection(pMsg->wParam == VK_DOWN ? 1 : -1);
        return TRUE;
    default:
        return CComboBox::PreTranslateMessage(pMsg);
    }
}

void CInPlaceCombobox::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    // The first request arrives while the window is being created: the list's font, not ours yet.
    HWND hList = m_hWnd ? ::GetParent(m_hWnd) : nullptr;
    CReleasedDCHandle dc({hList, ::GetDC(hList)});
    TEXTMETRICW metrics{};
    if (dc.Get().hDC)
    {
        CSelectObject font(dc.Get().hDC,
                           hList ? reinterpret_cast<HGDIOBJ>(::SendMessageW(hList, WM_GETFONT, 0, 0)) : nullptr);
        ::GetTextMetricsW(dc.Get().hDC, &metrics);
    }
    UINT height = static_cast<UINT>(metrics.tmHeight);
    if (lpMeasureItemStruct->itemID == static_cast<UINT>(-1)) height += 2 * ::GetSystemMetrics(SM_CYBORDER);
    lpMeasureItemStruct->itemHeight = height;
}

void CInPlaceCombobox::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    const HDC hDC = lpDrawItemStruct->hDC;
    const CRect rect(lpDrawItemStruct->rcItem);
    const int index = static_cast<int>(lpDrawItemStruct->itemID);
    const bool enabled = IsWindowEnabled() != FALSE;
    const bool selected = (lpDrawItemStruct->itemState & ODS_SELECTED) != 0 && enabled;
    const COLORREF text =
        selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : ::GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    const COLORREF back = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    const UINT action = lpDrawItemStruct->itemAction;
    if (index >= 0 && (action & (ODA_DRAWENTIRE | ODA_SELECT)))
    {
        const COLORREF oldText = ::SetTextColor(hDC, text);
        const COLORREF oldBack = ::SetBkColor(hDC, back);
        CString entry;
        GetLBText(index, entry);
        const CString main = MainText(entry);
        ::ExtTextOutW(hDC, rect.left + 2, rect.top + 2, ETO_OPAQUE, &rect, main, main.GetLength(), nullptr);
        CString description = entry.GetLength() > main.GetLength() ? entry.Mid(main.GetLength() + 1) : CString();
        if (!description.Trim().IsEmpty())
        {
            SIZE extent{};
            ::GetTextExtentPoint32W(hDC, main, main.GetLength(), &extent);
            const CString shown = L" - " + CString(entry.Mid(main.GetLength() + 1));
            ::SetTextColor(hDC, ::GetSysColor(COLOR_GRAYTEXT));
            ::ExtTextOutW(hDC, rect.left + 2 + extent.cx, rect.top + 2, ETO_CLIPPED, &rect, shown, shown.GetLength(),
                          nullptr);
        }
        ::SetTextColor(hDC, oldText);
        ::SetBkColor(hDC, oldBack);
    }
    else if (index < 0 && (action & (ODA_DRAWENTIRE | ODA_SELECT)))
    {
        const COLORREF oldText = ::SetTextColor(hDC, selected ? text : ::GetSysColor(COLOR_WINDOWTEXT));
        const COLORREF oldBack = ::SetBkColor(hDC, back);
        CString shown;
        GetWindowText(shown);
        ::ExtTextOutW(hDC, rect.left + 2, rect.top + 2, ETO_OPAQUE, &rect, shown, shown.GetLength(), nullptr);
        ::SetTextColor(hDC, oldText);
        ::SetBkColor(hDC, oldBack);
    }
    if (action & ODA_FOCUS) ::DrawFocusRect(hDC, &rect);
}

void CInPlaceCombobox::PostNcDestroy()
{
    delete this;
}
