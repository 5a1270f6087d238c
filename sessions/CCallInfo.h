#pragma once
#include "sessions/CSmartObject.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include <memory>

class CStringArray;

// What the agent desktop knows of one call or task. Shared by counted references (CSmartObject):
// the main window's call map holds one, every look-up hands out another, and the last holder to
// let go deletes the record, from whichever thread. Apart from the count, fields are used on the
// main thread only.
class CCallInfo : public CObject, public CSmartObject
{
public:
    explicit CCallInfo(BOOL bInformation);
    ~CCallInfo() override; // frees held interview data

    // Stores the state; the states an application must hear of also become the reported state.
    void SetCallState(long nState);
    bool IsInbound() const { return m_nCallKind == 1 || m_nCallKind == 3; }

    // The call-information text for applications on the current port.
    CString Format() const;
    // The same for the old port, which shows the display texts of the call type and state.
    CString FormatOldDialect(LPCWSTR pszCallTypeText, LPCWSTR pszCallStateText) const;

    // Jex's call information is colon-separated: call id, group name, total time, queue time,
    // sender, destination, call type, inbound value, call state, recording value and a further
    // flag. Splits the text into fields; FALSE when it has fewer than the ten that are used.
    static BOOL SplitJexCallInfo(LPCWSTR pszText, CStringArray& fields);
    // Stores times, call type, sender, destination, group name and state (SetCallState) from
    // fields that SplitJexCallInfo accepted.
    void ApplyJexCallInfo(const CStringArray& fields);
    // What is relayed to applications: the first six fields as received, then call type and
    // state as numbers (current port) or as the given display texts (old port), then the inbound
    // and recording values as received.
    static CString FormatRelayText(const CStringArray& fields);
    static CString FormatOldRelayText(const CStringArray& fields, LPCWSTR pszCallTypeText, LPCWSTR pszCallStateText);

    long m_nCallId = -1;
    long m_nTotalTime = 0; // seconds
    long m_nQueueTime = 0; // seconds
    long m_nCallType = -1; // -1 until Jex's call information has arrived
    long m_nCallKind = -1; // 1 inbound, 2 outbound, 3 inbound transferred, 4 outbound transferred
    long m_nCallState = 0;
    long m_nApplicationId = -1; // the application whose task the call is
    long m_nSurveyId = 0;       // of held interview data
    CString m_strMarker;        // the main window's state marker, for example "onhold"
    CString m_strTask;          // the task's property-list text, sent when the task starts
    CString m_strSender;
    CString m_strDestination;
    CString m_strGroupName;
    BYTE m_bEnded = 0; // ended calls are skipped when an application registers
    BYTE m_bRecording = 0;
    long m_nConferenceId = -1; // kept for the main window
    long m_nReportedState = 0;
    BYTE m_bInformation = 0;     // Jex's call information has been applied
    CString m_strStereoFolder;   // kept for the main window
    CString m_strStereoFileName; // kept for the main window
    long m_nStereoState = -1;    // kept for the main window
    // Interview data waiting for the owning application; sent again at each of its registrations.
    DWORD m_nHeldDataCrc = 0;
    DWORD m_nHeldDataLength = 0;
    std::unique_ptr<BYTE[]> m_pHeldData;
};
