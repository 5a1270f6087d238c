#pragma once
#include "framework/CStatic.h"
#include "uikit/CLumoDialog.h"
#include <string>
#include <vector>
// The toolkit's message box, a CLumoDialog sized from its texts. Over the system message box it
// adds further button sets, a check box whose answer is remembered in the application profile
// (section "MessageBoxes") and returned without showing the box next time, a countdown that
// blocks the buttons or presses the default one, right-aligned buttons and no beep on request.
// Its template (101) and texts come from uikit/res/LumoMessageBox.rc.
constexpr UINT MBF_DONTSHOWAGAIN = 0x01000000;
constexpr UINT MBF_NOQUESTIONAGAIN = 0x02000000;
constexpr UINT MBF_YESTOALL = 0x04000000;
constexpr UINT MBF_NOTOALL = 0x08000000;
constexpr UINT MBF_BUTTONSRIGHT = 0x10000000;
constexpr UINT MBF_NOBEEP = 0x20000000;
constexpr UINT IDMB_YESTOALL = 14;
constexpr UINT IDMB_NOTOALL = 15;
constexpr UINT IDMB_SKIP = 16;
constexpr UINT IDMB_SKIPALL = 17;
constexpr UINT IDMB_IGNOREALL = 18;
constexpr UINT IDMB_REMEMBER = 19; // the check box

struct tagMSGBOXBTN
{
    UINT nID;
    UINT nCaption; // string id
};

class CLumoMessageBox : public CLumoDialog
{
public:
    CLumoMessageBox(CWnd* pParent, UINT nTextId, UINT nCaptionId = 0, UINT nFlags = MB_OK, UINT nId = 0);
    CLumoMessageBox(CWnd* pParent, LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nFlags = MB_OK, UINT nId = 0);
    ~CLumoMessageBox() override;

    // Buttons of the caller come first and end the box with their id.
    void AddButton(UINT nID, UINT nCaption, BOOL bIsDefault = FALSE, BOOL bIsEscape = FALSE);
    void SetCountdown(UINT nSeconds, BOOL bBlock);
    void SetIcon(HICON hIcon); // the box takes it over
    void SetAnswerKey(LPCWSTR lpszKey) { m_strAnswerKey = lpszKey ? lpszKey : L""; }
    const CString& GetAnswerKey();

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    static constexpr UINT_PTR kCountdownTimer = 2201;
    // Replaces MessageBeep (null: the system's). Tests only.
    using MessageBeepFunction = BOOL(WINAPI*)(UINT);
    static void SetMessageBeepFunction(MessageBeepFunction pfn);

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnTimer(UINT_PTR nIDEvent);
    DECLARE_MESSAGE_MAP()

private:
    void BuildButtons();
    bool IsButtonId(int nId) const;
    bool IsBlocked() const { return m_nCountdown > 0 && m_bBlockDuringCountdown; }
    bool RemembersAnswers() const { return (m_nFlags & (MBF_DONTSHOWAGAIN | MBF_NOQUESTIONAGAIN)) != 0; }
    // bUserChose: a button or Enter; only those answers are remembered.
    void EndWith(int nResult, bool bUserChose);
    void EnableControls(BOOL bEnable);
    CString ButtonCaption(size_t index, UINT nSecondsLeft) const;
    int DX(int n) const { return m_nUnitX * n / 1000; }
    int DY(int n) const { return m_nUnitY * n / 1000; }
    void Layout();

    CString m_strText;
    CString m_strCaption;
    UINT m_nFlags;
    UINT m_nId;
    CIconHandle m_hIcon;
    UINT m_nCountdown = 0;
    BOOL m_bBlockDuringCountdown = FALSE;
    UINT_PTR m_nTimer = 0;
    CString m_strAnswerKey;
    std::vector<tagMSGBOXBTN> m_buttons;
    int m_nDefaultButton = -1;
    int m_nEscapeButton = -1;
    CStatic m_stcIcon;
    CStatic m_stcText;
    int m_nUnitX = 0, m_nUnitY = 0; // pixels of 1000 dialog units
    int m_nIconWidth = 0, m_nIconHeight = 0;
    int m_nTextWidth = 0, m_nTextHeight = 0;
    int m_nCheckWidth = 0, m_nCheckHeight = 0;
    int m_nButtonWidth = 0, m_nButtonHeight = 0;
    bool m_bButtonsBuilt = false;
    int m_nCallerButtons = 0;
};

// Deletes every remembered answer of the application (nothing without an application object or
// in standalone mode).
void ResetMessageBoxAnswers();
