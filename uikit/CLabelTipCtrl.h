#pragma once
#include "framework/CToolTipCtrl.h"
#include <string>
class CListBase;
// The label tip of an extended list: a borderless tip without drop shadow that lies exactly over
// a cell whose text does not fit and shows the whole text, for as long as the cursor rests on
// that label. The list drives it from its mouse moves; the tip places itself over the list's tip
// cell whenever the tool-tip control shows or moves it, and never times out.
class CLabelTipCtrl : public CToolTipCtrl
{
public:
    explicit CLabelTipCtrl(CListBase* pOwner) : m_pOwner(pOwner) {}
    ~CLabelTipCtrl() override;

    // The tip window for the list; FALSE when it cannot be created (the list then has no label tip).
    BOOL Create(CWnd* pList);
    const std::wstring& GetClassName() const { return m_strClassName; }
    int GetVerticalLift() const { return m_nVerticalLift; }

    static constexpr LPCWSTR kPlainClass = TOOLTIPS_CLASSW;
    static constexpr LPCWSTR kShadowlessClass = L"tooltips_class32_without_shadows";

protected:
    // Registers the copy of the tool-tip class; a seam for tests that need the registration to fail.
    virtual ATOM RegisterClassCopy(const WNDCLASSEXW& windowClass);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    void OnTimer(UINT_PTR nIDEvent);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnMouseLeave();
    DECLARE_MESSAGE_MAP()

private:
    LPCWSTR ChooseClass();
    void PlaceOverTipCell(WINDOWPOS* lpwndpos);
    void SetCellMargins(bool bLabelCell);

    std::wstring m_strClassName; // the class copy this tip registered, unregistered with it
    RECT m_rcInitialMargins{};
    int m_nVerticalLift = 0;
    int m_nReserved = 0;
    CListBase* m_pOwner;
    BYTE m_bMarginsWidened = FALSE;
    CPoint m_ptLast{-1, -1};
    BYTE m_bMouseTracked = FALSE;
    BYTE m_bFirstPopSeen = FALSE;
    CPoint m_lastCell{-1, -1}; // row, column
};
