#pragma once
#include "sessions/CJexPayloadReader.h"
#include "framework/CString.h"
#include "framework/CStringArray.h"

class CJexSocket;
class CObArray;
class CSessionCore;
class CWnd;
class IApplicationRelay;
class ILumoAppHost;

// What the desktop does with each command Jex sends on its own or in answer: the command's fields
// handed to the role that serves them, to the waiting window, to the session core or to the
// relays of the local applications. The command link owns this and dispatches its words here
// (its command table); the greeting and the log-on answers stay with the link's session.
class CJexCommands
{
public:
    // pCore may be null: then what would go to the session core or the applications goes nowhere.
    CJexCommands(CJexSocket& link, ILumoAppHost& app, CSessionCore* pCore);
    CJexCommands(const CJexCommands&) = delete;
    CJexCommands& operator=(const CJexCommands&) = delete;

    // Where Jex's answers for local applications go; null until the application ports exist.
    void SetApplicationRelay(IApplicationRelay* pRelay) { m_pRelay = pRelay; }

    void HandleAGASKI(CStringArray& arrFields);
    void HandleAGSTAT(CString strText);
    void HandleAVLOUT(CStringArray& arrFields);
    void HandleBLITRA(CString strText);
    void HandleCALACK(CStringArray& arrFields);
    void HandleCALINF(CString strText);
    void HandleCALLHY(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleCALRAC(CStringArray& arrFields);
    void HandleCHGPWD(CStringArray& arrFields);
    void HandleCONADD(CString strText);
    void HandleENDOUT(CStringArray& arrFields);
    void HandleFNDCON(CStringArray& arrFields);
    void HandleHTBEAT(CString strText);
    void HandleKYIINT(CStringArray& arrFields);
    void HandleLSTAGT(CStringArray& arrFields);
    void HandleLSTLOC(CStringArray& arrFields);
    void HandleLSTMIG(CString strText);
    void HandleLSTMOG(CString strText);
    void HandleLSTOGR(CStringArray& arrFields);
    void HandleLSTPAU(CStringArray& arrFields);
    void HandleLUMDIA(CStringArray& arrFields);
    void HandleMANDIA(CStringArray& arrFields);
    void HandleNEXCAL(CString strText);
    void HandleNORIGT(CString strText);
    void HandleNUMINF(CString strText);
    void HandleOKTRAN(CString strText);
    void HandleONHOLD(CString strText);
    void HandlePLSEND(CStringArray& arrFields);
    void HandlePLSSTA(CStringArray& arrFields);
    void HandleQREEND(CStringArray& arrFields);
    void HandleQRESTA(CStringArray& arrFields);
    void HandleQTAUPD(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleRECCAL(CStringArray& arrFields);
    void HandleREFNUM(CString strText);
    void HandleREQMAN(CString strText);
    void HandleSEEIN(CStringArray& arrFields);
    void HandleSELNMR(CString strText);
    void HandleSETPER(CStringArray& arrFields);
    void HandleSNDINT(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleSNDMSG(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleSTAKYI(CString strText);
    void HandleSTAQUE(CString strText);
    void HandleSTRTIN(CStringArray& arrFields);
    void HandleSTRTOU(CStringArray& arrFields);
    void HandleTAKBAC(CString strText);
    void HandleTAKCAL(CString strText);
    void HandleTRACAL(CString strText);
    void HandleTRAEND(CStringArray& arrFields);
    void HandleTRANIN(CStringArray& arrFields);
    void HandleTRANOU(CStringArray& arrFields);
    void HandleTRNSFR(CStringArray& arrFields);
    void HandleTSKRES(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleUPDALO(CStringArray& arrFields);
    void HandleUPDANO(CStringArray& arrFields);
    void HandleUPDASE(CStringArray& arrFields);
    void HandleUPDSFT(CStringArray& arrFields);
    void HandleUPDSMO(CString strText);
    void HandleUPDTSK(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleVOICIP(CStringArray& arrFields);

private:
    template <class Role> Role* Served(const char* pszCaller) const;
    CWnd* ReplyWindow() const; // the link's, read anew each time: a handler's message may change it
    CWnd* MainWindow() const;
    void RelayCallAnswer(int nKind, CStringArray& arrFields);
    void HandOnList(CStringArray& arrFields, CObArray& records, WPARAM nKind,
                    void (CSessionCore::*pfnRelay)(long, long, const CString&));
    void SendReplyText(WPARAM nKind, CString& strText);

    CJexSocket& m_link;
    ILumoAppHost& m_app;
    CSessionCore* m_pCore;
    IApplicationRelay* m_pRelay = nullptr;
    CJexPayloadReader m_payload;
};
