#pragma once
#include "framework/CDialog.h"
#include "framework/CFont.h"
#include "framework/CRgn.h"
// The base of the desktop's dialogs. Over the framework dialog it adds: dragging by the bare
// background; hidden mode (while the desktop runs hidden no dialog becomes visible, and a refused
// show is carried out by the first position change once the desktop is visible again); typed
// telephone keys offered to the host first; and a few resources and metrics for subclasses.
// The host (IDialogHost) is asked at every position change and every typed character.
class CLumoDialog : public CDialog
{
    DECLARE_DYNAMIC(CLumoDialog)

public:
    CLumoDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CLumoDialog() override;

    BOOL OnInitDialog() override;                 // the framework's, then InitCaptionMetrics; TRUE
    BOOL PreTranslateMessage(MSG* pMsg) override; // dial keys first when forwarding is on
    BOOL InitCaptionMetrics();                    // caption height = SM_CYCAPTION - SM_CYBORDER
    // Grows the restored rectangle by nPixels (negative shrinks); bHide also hides the window
    // through its placement. Repaints even when the placement cannot be read.
    void ExtendHeight(int nPixels, BOOL bHide);
    // A hide request: it clears a pending refused show, since what the program hid stays hidden
    // when the desktop comes back. ShowWindow(SW_HIDE) on an invisible window reaches no window
    // procedure, so the flag is cleared here, before the base's call. Works only through this type.
    BOOL ShowWindow(int nCmdShow);
    // Hands the region slot to the window (SetWindowRgn). On success the window owns the region
    // and the slot is left empty, so the destructor never deletes what the window holds.
    BOOL ApplyWindowRegion(BOOL bRedraw = TRUE);

    UINT GetTemplateId() const noexcept { return m_nTemplateId; }
    bool IsShowRefused() const noexcept { return m_bShowRefused; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // The placement read of ExtendHeight; a seam for a failing read.
    virtual BOOL ReadPlacement(WINDOWPLACEMENT* pPlacement) const;

    LRESULT OnNcHitTest(CPoint point);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);

    int m_nCaptionHeight = 0;
    CGdiHandle<HRGN> m_hExtraRgn; // a second region a subclass may keep
    UINT m_nTemplateId = 0;
    CFont m_font; // "Westminster", 12 pixels, for subclasses
    CRgn m_rgn;   // window region slot for subclasses
    bool m_bShowRefused = false;
    bool m_bForwardDialKeys = false;

    DECLARE_MESSAGE_MAP()
};
