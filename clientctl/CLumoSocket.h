#pragma once
#include "clientctl/CCall.h"
#include "clientctl/CSyncSocketEx.h"

class ILumoSocketCallbacks;

// The control's connection to Lumo's application port: the connection sequence (greeting, version check,
// APLGIN) and the commands Lumo sends without being waited for, each passed on to the control.
class CLumoSocket : public CSyncSocketEx
{
public:
    explicit CLumoSocket(ILumoSocketCallbacks* pControl);

    // TCP connect and greeting, the version comparison, then the registration with APLGIN.
    BOOL Connect(LPCWSTR pszAddress, short nPort, long nApplicationId, BOOL bPossibleMessageMaster);

    // The control's Uninit clears it: nothing reaches the control afterwards.
    void SetControl(ILumoSocketCallbacks* pControl) { m_pControl = pControl; }
    ILumoSocketCallbacks* GetControl() const { return m_pControl; }

    // The version this library compares with Lumo's; by default the file version of the module it is
    // linked into.
    void SetOwnVersion(const CString& strVersion) { m_strOwnVersion = strVersion; }
    const CString& GetOwnVersion() const { return m_strOwnVersion; }
    // Versions match when they agree, without regard to case, up to their last dot.
    static bool IsSameVersion(const CString& strOwn, const CString& strLumo);

    void OnDisconnected(int nErrorCode) override;
    CSyncSocketCommandMap* GetCommandMap() override;
    void InitCommandMap() override;
    void OnServerTime(const CString& strClock) override;
    void OnLinkError(const CString& strText) override;

protected:
    BOOL ProcessCommandAGSTAT(CStringArray& arrFields);
    BOOL ProcessCommandLSTPAU(CStringArray& arrFields);
    BOOL ProcessCommandLSTAGT(CStringArray& arrFields);
    BOOL ProcessCommandMANDIA(CStringArray& arrFields);
    BOOL ProcessCommandENDTSK(CStringArray& arrFields);
    BOOL ProcessCommandJEXSTA(CStringArray& arrFields);
    BOOL ProcessCommandRECCAL(CStringArray& arrFields);
    BOOL ProcessCommandQRESTA(CStringArray& arrFields);
    BOOL ProcessCommandQRESTO(CStringArray& arrFields);
    BOOL ProcessCommandSNDINT(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandUPDTSK(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandPLSSTA(CStringArray& arrFields);
    BOOL ProcessCommandPLSSTO(CStringArray& arrFields);
    BOOL ProcessCommandTSKRES(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandLSTOGR(CStringArray& arrFields);
    BOOL ProcessCommandLSTLOC(CStringArray& arrFields);
    BOOL ProcessCommandSTAKYI(CStringArray& arrFields);
    BOOL ProcessCommandSTACAL(CStringArray& arrFields);
    BOOL ProcessCommandSTAQUE(CStringArray& arrFields);
    BOOL ProcessCommandCALINF(CStringArray& arrFields);
    BOOL ProcessCommandSNDMSG(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandASSKYI(CStringArray& arrFields);
    BOOL ProcessCommandUPDSMO(CStringArray& arrFields);
    BOOL ProcessCommandKYIINT(CStringArray& arrFields);
    BOOL ProcessCommandQTAUPD(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandAUVLME(CStringArray& arrFields);
    BOOL ProcessCommandAUMUTE(CStringArray& arrFields);
    BOOL ProcessCommandVOIRDY(CStringArray& arrFields);
    BOOL ProcessCommandCALLHY(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandUPDANO(CStringArray& arrFields);

    // The history of a CALLHY payload; FALSE when the archive was corrupt (the array holds what was read).
    static BOOL ReadCallHistory(BYTE* pData, DWORD nLength, CCallArray& arrCalls);

    static CSyncSocketCommandMap s_mapCommands;

private:
    static CString ReadModuleVersion();

    ILumoSocketCallbacks* m_pControl;
    CString m_strOwnVersion;
};
