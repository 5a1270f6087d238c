// CListCtrlEdit: opening editors over cells, the parent's answers, the end of an edit, moving the
// editor with the keyboard and deleting rows.
#include "uikit/CListCtrlEdit.h"
#include "framework/CComboBox.h"
#include "framework/CDateTimeCtrl.h"
#include "uikit/CEditorWatcher.h"
#include "uikit/CInPlaceCombobox.h"
#include "uikit/CInPlaceEdit.h"
#include "uikit/DELETEROWQUERY.h"
#include "uikit/EDITCELLQUERY.h"
#include "uikit/EDITCELLRESULT.h"
#include "uikit/FILLCOMBOREQUEST.h"
#include "uikit/REOPENEDITREQUEST.h"
#include "uikit/UikitMessages.h"
#include <vector>

IMPLEMENT_DYNAMIC(CListCtrlEdit, CListCtrlEx)

// EN_CHANGE is 0x0300: from the combos' id it never comes (a combo reports its edit's changes as
// CBN_EDITCHANGE), so typing in an editable combo reports nothing while the edit is open.
BEGIN_MESSAGE_MAP(CListCtrlEdit, CListCtrlEx)
ON_CONTROL(EN_CHANGE, kEditId, &CListCtrlEdit::OnEditorChange)
ON_CONTROL(EN_CHANGE, kComboId, &CListCtrlEdit::OnEditorChange)
ON_CONTROL(CBN_SELENDOK, kComboId, &CListCtrlEdit::OnComboSelEndOk)
ON_CONTROL(CBN_SELENDCANCEL, kComboId, &CListCtrlEdit::OnComboSelEndCancel)
ON_NOTIFY_REFLECT(LVN_ENDLABELEDITW, &CListCtrlEdit::OnEndEdit)
ON_MESSAGE(WM_LISTEDIT_REOPEN, &CListCtrlEdit::OnReopen)
ON_WM_DESTROY()
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_WM_MOUSEWHEEL()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

namespace
{
// The pickers' fixed formats, by editor type.
LPCWSTR PickerFormat(int nType)
{
    switch (nType)
    {
    case CListCtrlEdit::kEditorDate:
        return L"d/MM/yyyy";
    case CListCtrlEdit::kEditorTime:
        return L"H:mm";
    default:
        return L"d/MM/yyyy H:mm";
    }
}
} // namespace

CListCtrlEdit::CListCtrlEdit(int nStartMode) : m_nStartMode(nStartMode) {}

CListCtrlEdit::~CListCtrlEdit()
{
    // While the object is whole: WM_DESTROY must reach the handler that frees pending reopens.
    if (m_hWnd) DestroyWindow();
}

LRESULT CListCtrlEdit::NotifyEndEdit(CWnd& editor, int nItem, int nColumn, LPCWSTR lpszText, LPARAM lParam)
{
    const HWND hList = ::GetParent(editor.m_hWnd);
    const HWND hParent = hList ? ::GetParent(hList) : nullptr;
    if (!hParent) return 0;
    NMLVDISPINFOW info{};
    info.hdr.hwndFrom = hList;
    info.hdr.idFrom = static_cast<UINT_PTR>(editor.GetDlgCtrlID());
    info.hdr.code = LVN_ENDLABELEDITW;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = nItem;
    info.item.iSubItem = nColumn;
    info.item.pszText = const_cast<LPWSTR>(lpszText);
    info.item.cchTextMax = lpszText ? ::lstrlenW(lpszText) : 0;
    info.item.lParam = lParam;
    return ::SendMessageW(hParent, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
}

// ---- asking the parent ----------------------------------------------------------------------

BOOL CListCtrlEdit::QueryCell(int nItem, int nColumn, int& nEditorType, CString& strText, COleDateTime& dateTime,
                              int& nComboSel)
{
    if (m_bEditing) return FALSE;
    EDITCELLQUERY query;
    query.m_nItem = nItem;
    query.m_nColumn = nColumn;
    query.m_strText = GetItemText(nItem, nColumn);
    ::SendMessageW(::GetParent(m_hWnd), WM_LISTEDIT_QUERY, static_cast<WPARAM>(GetDlgCtrlID()),
                   reinterpret_cast<LPARAM>(&query));
    nEditorType = query.m_nEditorType;
    strText = query.m_strText;
    dateTime = query.m_dateTime;
    nComboSel = query.m_nComboSel;
    return query.m_bAllow;
}

void CListCtrlEdit::FillCombo(int nItem, int nColumn, CComboBox& combo)
{
    FILLCOMBOREQUEST request;
    request.m_nItem = nItem;
    request.m_nColumn = nColumn;
    request.m_pCombo = &combo;
    ::SendMessageW(::GetParent(m_hWnd), WM_LISTEDIT_FILLCOMBO, static_cast<WPARAM>(GetDlgCtrlID()),
                   reinterpret_cast<LPARAM>(&request));
}

// ---- opening an editor ----------------------------------------------------------------------

CWnd* CListCtrlEdit::EditCellAt(CPoint point)
{
    int column = 0;
    const int item = HitTestEx(point, &column);
    if (item < 0 || column < 0) return nullptr;
    return EditCell(item, column);
}

CWnd* CListCtrlEdit::EditCell(int nItem, int nColumn, LPCWSTR lpszReopenText)
{
    int type = kEditorEdit;
    CString text;
    COleDateTime dateTime;
    int comboSel = -1;
    if (!QueryCell(nItem, nColumn, type, text, dateTime, comboSel)) return nullptr;
    if (!EnsureVisible(nItem, TRUE)) return nullptr;
    SelectRowAlone(nItem);
    // A column out of the control has no cell to edit over (and the control's width 0).
    if (!IsColumnInControl(nColumn) || GetColumnWidth(nColumn) <= 4) return nullptr;
    // An edit recorded without an editor would refuse every later one.
    if (type < kEditorEdit || type > kEditorDateTime || (type == kEditorFindCombo && !m_findComboFactory))
        return nullptr;
    ScrollCellIntoView(nItem, nColumn);
    CRect rect;
    if (!GetCellRect(nItem, nColumn, LVIR_LABEL, rect)) return nullptr;
    if (lpszReopenText)
    {
        // The user goes on from what was rejected, not from the cell's old text.
        text = lpszReopenText;
        comboSel = -1;
    }
    m_bLastEditRejected = false;
    CWnd* pEditor = CreateEditor(type, nItem, nColumn, rect, text, dateTime, comboSel);
    if (!pEditor) return nullptr;
    m_bEditing = true;
    m_editState.m_nItem = nItem;
    m_editState.m_nColumn = nColumn;
    m_editState.m_nEditorType = type;
    m_editState.m_strReopenText = lpszReopenText ? lpszReopenText : L"";
    m_editState.m_strText = text;
    m_editState.m_pEditor = pEditor;
    return pEditor;
}

void CListCtrlEdit::SelectRowAlone(int nItem)
{
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&state));
}

void CListCtrlEdit::ScrollCellIntoView(int nItem, int nColumn)
{
    // The cell's own bounds: hidden columns and the display order are taken into account.
    CRect bounds, client;
    if (!GetCellRect(nItem, nColumn, LVIR_BOUNDS, bounds)) return;
    GetClientRect(&client);
    if (bounds.left < 0 || bounds.left > client.right) Scroll(CSize(bounds.left, 0));
}

CWnd* CListCtrlEdit::CreateEditor(int nType, int nItem, int nColumn, const CRect& rect, const CString& strText,
                                  const COleDateTime& dateTime, int nComboSel)
{
    switch (nType)
    {
    case kEditorEdit: {
        DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
        const int justify = GetColumnFormat(nColumn) & LVCFMT_JUSTIFYMASK;
        if (justify == LVCFMT_RIGHT)
            style |= ES_RIGHT;
        else if (justify == LVCFMT_CENTER)
            style |= ES_CENTER;
        return CInPlaceEdit::Open(this, rect, style, kEditId, nItem, nColumn, strText);
    }
    case kEditorDescribedList:
    case kEditorDescribedCombo: {
        const DWORD style =
            WS_CHILD | WS_VISIBLE | CBS_AUTOHSCROLL | (nType == kEditorDescribedList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
        CInPlaceCombobox* pCombo = CInPlaceCombobox::Open(this, rect, style, kComboId, nItem, nColumn);
        if (!pCombo) return nullptr;
        FillCombo(nItem, nColumn, *pCombo);
        pCombo->SelectOrAdd(strText);
        return pCombo;
    }
    case kEditorCombo:
    case kEditorFindCombo:
        return CreatePlainCombo(nType, nItem, nColumn, rect, strText, nComboSel);
    default:
        return CreatePicker(nType, nItem, nColumn, rect, dateTime);
    }
}

CWnd* CListCtrlEdit::CreatePlainCombo(int nType, int nItem, int nColumn, const CRect& rect, const CString& strText,
                                      int nComboSel)
{
    const DWORD style = WS_CHILD | WS_VSCROLL | WS_BORDER | CBS_DROPDOWNLIST;
    CComboBox* pCombo = nullptr;
    if (nType == kEditorFindCombo)
    {
        std::unique_ptr<IListFindCombo> find = m_findComboFactory();
        if (!find) return nullptr;
        find->SetEditTarget(GetParent(), nItem, nColumn);
        if (!find->CreateCombo(style, rect, this, kComboId)) return nullptr;
        IListFindCombo* pFind = find.release(); // owns itself from its creation on
        pCombo = pFind->GetComboBox();
        pCombo->SetFontHandle(GetFontHandle());
        FillCombo(nItem, nColumn, *pCombo);
        pFind->SetText(strText);
    }
    else
    {
        auto combo = std::make_unique<CComboBox>();
        if (!combo->Create(style, rect, this, kComboId)) return nullptr;
        pCombo = combo.get();
        pCombo->SetFontHandle(GetFontHandle());
        FillCombo(nItem, nColumn, *pCombo);
        pCombo->SetCurSel(nComboSel >= 0 ? nComboSel : pCombo->FindStringExact(-1, strText));
        if (!CEditorWatcher::Watch(std::move(combo), kEditorCombo, nItem, nColumn)) return nullptr;
    }
    pCombo->SetWindowPos(nullptr, 0, 0, rect.Width(), rect.Height() + 300, SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
    pCombo->ShowDropDown(TRUE);
    pCombo->SetFocus();
    return pCombo;
}

CWnd* CListCtrlEdit::CreatePicker(int nType, int nItem, int nColumn, const CRect& rect, const COleDateTime& dateTime)
{
    auto picker = std::make_unique<CDateTimeCtrl>();
    CRect area = rect;
    area.bottom += 1;
    if (!picker->Create(WS_CHILD | WS_VISIBLE | DTS_UPDOWN, area, this, kPickerId)) return nullptr;
    if (dateTime.GetStatus() == COleDateTime::valid) picker->SetTime(dateTime);
    picker->SetFormat(PickerFormat(nType));
    picker->SetFontHandle(GetFontHandle());
    CDateTimeCtrl* pPicker = picker.get();
    if (!CEditorWatcher::Watch(std::move(picker), nType, nItem, nColumn)) return nullptr;
    pPicker->SetFocus();
    return pPicker;
}

// ---- while editing --------------------------------------------------------------------------

void CListCtrlEdit::OnEditorChange()
{
    if (!m_bEditing || !m_editState.m_pEditor) return;
    m_editState.m_pEditor->GetWindowText(m_editState.m_strText);
    ::SendMessageW(::GetParent(m_hWnd), WM_LISTEDIT_CHANGE, static_cast<WPARAM>(GetDlgCtrlID()),
                   reinterpret_cast<LPARAM>(&m_editState));
}

bool CListCtrlEdit::IsPlainComboEditor() const
{
    return m_bEditing && (m_editState.m_nEditorType == kEditorCombo || m_editState.m_nEditorType == kEditorFindCombo);
}

void CListCtrlEdit::SelectCellTextInCombo()
{
    if (!IsPlainComboEditor() || !m_editState.m_pEditor) return;
    const CString text = GetItemText(m_editState.m_nItem, m_editState.m_nColumn);
    const HWND hCombo = m_editState.m_pEditor->m_hWnd;
    const LRESULT index =
        ::SendMessageW(hCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.GetString()));
    ::SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CListCtrlEdit::TakeFocusToEndEdit()
{
    SetFocus();
}

void CListCtrlEdit::OnComboSelEndOk()
{
    // The described combos keep their own value; a plain combo ends with the entry chosen.
    if (IsPlainComboEditor()) TakeFocusToEndEdit();
}

void CListCtrlEdit::OnComboSelEndCancel()
{
    if (!IsPlainComboEditor()) return;
    SelectCellTextInCombo();
    TakeFocusToEndEdit();
}

BOOL CListCtrlEdit::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN || !m_bEditing) return CListCtrlEx::PreTranslateMessage(pMsg);
    const auto key = static_cast<UINT>(pMsg->wParam);
    if (key != VK_TAB && key != VK_UP && key != VK_DOWN) return CListCtrlEx::PreTranslateMessage(pMsg);
    if (IsPlainComboEditor())
    {
        if (key != VK_TAB) return CListCtrlEx::PreTranslateMessage(pMsg); // the combo's own keys
        SelectCellTextInCombo();
    }
    const int item = m_editState.m_nItem;
    const int column = m_editState.m_nColumn;
    const bool backwards = key == VK_TAB && ::GetKeyState(VK_SHIFT) < 0;
    TakeFocusToEndEdit();
    // A rejected edit opens again where it was: the keys move nothing then.
    if (!m_bEditing && !m_bLastEditRejected) MoveEditor(key, backwards, item, column);
    return TRUE;
}

void CListCtrlEdit::MoveEditor(UINT nKey, bool bBackwards, int nItem, int nColumn)
{
    const int columns = GetColumnCount();
    const int rows = GetItemCount();
    if (columns <= 0) return;
    int item = nItem;
    int column = nColumn;
    for (;;)
    {
        if (nKey == VK_TAB && !bBackwards && ++column >= columns)
        {
            column = 0;
            ++item;
        }
        else if (nKey == VK_TAB && bBackwards && --column < 0)
        {
            column = columns - 1;
            --item;
        }
        else if (nKey == VK_DOWN)
            ++item;
        else if (nKey == VK_UP)
            --item;
        if (item < 0 || item >= rows) return;
        // Columns the user does not see are passed over.
        if (!IsColumnInControl(column)) continue;
        int type = kEditorEdit;
        CString text;
        COleDateTime dateTime;
        int comboSel = -1;
        if (QueryCell(item, column, type, text, dateTime, comboSel))
        {
            EditCell(item, column);
            return;
        }
    }
}

// ---- the end of an edit ---------------------------------------------------------------------

void CListCtrlEdit::OnEndEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    const auto* pInfo = reinterpret_cast<const NMLVDISPINFOW*>(pNMHDR);
    const LVITEMW& item = pInfo->item;
    const int type = m_bEditing ? m_editState.m_nEditorType : -1;
    EDITCELLRESULT result;
    result.m_nItem = item.iItem;
    result.m_nColumn = item.iSubItem;
    result.m_strOldText = GetItemText(item.iItem, item.iSubItem);
    result.m_strNewText = item.pszText ? CString(item.pszText) : result.m_strOldText;
    if (type == kEditorCombo) result.m_nComboSel = static_cast<int>(item.lParam);
    // Only the pickers' watcher sends a date value; it is freed here, whatever the parent does.
    if (type >= kEditorDate && type <= kEditorDateTime && pNMHDR->idFrom == kPickerId && item.lParam)
        result.m_dateTime = CEditorWatcher::TakeDateValue(item.lParam);
    result.m_pEditor = GetDlgItem(static_cast<int>(pNMHDR->idFrom));
    ::SendMessageW(::GetParent(m_hWnd), WM_LISTEDIT_END, static_cast<WPARAM>(GetDlgCtrlID()),
                   reinterpret_cast<LPARAM>(&result));

    m_bEditing = false;
    m_editState.m_nEditorType = -1;
    m_editState.m_pEditor = nullptr;
    if (result.m_bAccept)
    {
        if (result.m_bWriteCell && item.pszText) SetItemText(item.iItem, item.iSubItem, item.pszText);
        return;
    }
    m_bLastEditRejected = true;
    auto* pRequest = new REOPENEDITREQUEST(item.iItem, item.iSubItem, item.pszText);
    if (!PostMessage(WM_LISTEDIT_REOPEN, 0, reinterpret_cast<LPARAM>(pRequest))) delete pRequest;
}

LRESULT CListCtrlEdit::OnReopen(WPARAM, LPARAM lParam)
{
    std::unique_ptr<REOPENEDITREQUEST> request(reinterpret_cast<REOPENEDITREQUEST*>(lParam));
    if (request)
        EditCell(request->m_nItem, request->m_nColumn, request->m_bHasText ? request->m_strText.GetString() : nullptr);
    return 0;
}

void CListCtrlEdit::RemovePendingReopens()
{
    MSG msg;
    while (::PeekMessageW(&msg, m_hWnd, WM_LISTEDIT_REOPEN, WM_LISTEDIT_REOPEN, PM_REMOVE))
        delete reinterpret_cast<REOPENEDITREQUEST*>(msg.lParam);
}

void CListCtrlEdit::OnDestroy()
{
    RemovePendingReopens();
    CListCtrlEx::OnDestroy();
}

// ---- input ----------------------------------------------------------------------------------

void CListCtrlEdit::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
{
    // Taking the focus ends an open edit before its cell moves away.
    if (::GetFocus() != m_hWnd) SetFocus();
    CListCtrlEx::OnHScroll(nSBCode, nPos, pScrollBar);
}

void CListCtrlEdit::OnVScroll(UINT, UINT, CScrollBar*)
{
    if (::GetFocus() != m_hWnd) SetFocus();
    Default();
}

BOOL CListCtrlEdit::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt)
{
    if (::GetFocus() != m_hWnd) SetFocus();
    return CListCtrlEx::OnMouseWheel(nFlags, zDelta, pt);
}

void CListCtrlEdit::OnLButtonDown(UINT nFlags, CPoint point)
{
    if (m_nStartMode == 0 && EditCellAt(point)) return; // the click stays away from the control
    if (m_bEditing) SetFocus();
    CListCtrlEx::OnLButtonDown(nFlags, point);
}

void CListCtrlEdit::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    if (m_nStartMode == 1 && EditCellAt(point)) return;
    CListCtrlEx::OnLButtonDblClk(nFlags, point);
}

void CListCtrlEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_DELETE)
    {
        DeleteSelectedRows();
        return;
    }
    CListCtrlEx::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CListCtrlEdit::DeleteSelectedRows()
{
    std::vector<int> rows;
    for (int row = GetNextItem(-1, LVNI_SELECTED); row >= 0; row = GetNextItem(row, LVNI_SELECTED))
        rows.push_back(row);
    int deleted = 0;
    for (int row : rows)
    {
        // The parent sees each row by its index at the time it is asked.
        DELETEROWQUERY query;
        query.m_nItem = row - deleted;
        ::SendMessageW(::GetParent(m_hWnd), WM_LISTEDIT_DELETE, static_cast<WPARAM>(GetDlgCtrlID()),
                       reinterpret_cast<LPARAM>(&query));
        if (query.m_bAllow && DeleteItem(query.m_nItem)) ++deleted;
    }
}
