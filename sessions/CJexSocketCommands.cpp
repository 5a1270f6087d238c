// CJexSocket, its command table: the words Jex sends on its own or in answer, how each line is read
// and how many fields it must carry. What each word does is CJexCommands'; the greeting and the
// log-on answers are in CJexSocket.cpp.
#include "sessions/CJexSocket.h"

void CJexSocket::AddCommands(CSocketCommandMap& map)
{
    using C = CSocketCommand;
    using H = CJexCommands;
    auto fields = [&map](LPCWSTR pszWord, SOCKET_COMMAND_HANDLER handler, auto... counts) {
        map.Add(pszWord, new C(handler, C::modeFields, true, C::checkOneOf, 0, counts..., -1));
    };
    auto payload = [&map](LPCWSTR pszWord, SOCKET_COMMAND_HANDLER handler, auto... counts) {
        map.Add(pszWord, new C(handler, C::modeFieldsPayload, true, C::checkOneOf, 0, counts..., -1));
    };
    auto text = [&map](LPCWSTR pszWord, SOCKET_COMMAND_HANDLER handler) {
        map.Add(pszWord, new C(handler, C::modeText, true, C::checkNone, 0, -1));
    };
    fields(L"AGASKI", Via<&H::HandleAGASKI>(), 1);
    text(L"AGSTAT", Via<&H::HandleAGSTAT>());
    fields(L"AVLOUT", Via<&H::HandleAVLOUT>(), 1, 3);
    text(L"BLITRA", Via<&H::HandleBLITRA>());
    fields(L"CALACK", Via<&H::HandleCALACK>(), 2);
    text(L"CALINF", Via<&H::HandleCALINF>());
    payload(L"CALLHY", Via<&H::HandleCALLHY>(), 5);
    fields(L"CALRAC", Via<&H::HandleCALRAC>(), 2);
    fields(L"CHGPWD", Via<&H::HandleCHGPWD>(), 2);
    text(L"CONADD", Via<&H::HandleCONADD>());
    fields(L"ENDOUT", Via<&H::HandleENDOUT>(), 1);
    fields(L"FNDCON", Via<&H::HandleFNDCON>(), 1);
    text(L"HTBEAT", Via<&H::HandleHTBEAT>());
    fields(L"KYIINT", Via<&H::HandleKYIINT>(), 3);
    fields(L"LSTAGT", Via<&H::HandleLSTAGT>(), 4);
    fields(L"LSTLOC", Via<&H::HandleLSTLOC>(), 1, 3);
    text(L"LSTMIG", Via<&H::HandleLSTMIG>());
    text(L"LSTMOG", Via<&H::HandleLSTMOG>());
    fields(L"LSTOGR", Via<&H::HandleLSTOGR>(), 3);
    fields(L"LSTPAU", Via<&H::HandleLSTPAU>(), 3);
    fields(L"LUMDIA", Via<&H::HandleLUMDIA>(), 1);
    fields(L"MANDIA", Via<&H::HandleMANDIA>(), 1);
    text(L"NEXCAL", Via<&H::HandleNEXCAL>());
    text(L"NORIGT", Via<&H::HandleNORIGT>());
    text(L"NUMINF", Via<&H::HandleNUMINF>());
    text(L"OKTRAN", Via<&H::HandleOKTRAN>());
    text(L"ONHOLD", Via<&H::HandleONHOLD>());
    fields(L"PLSEND", Via<&H::HandlePLSEND>(), 3);
    fields(L"PLSSTA", Via<&H::HandlePLSSTA>(), 3);
    fields(L"QREEND", Via<&H::HandleQREEND>(), 3);
    fields(L"QRESTA", Via<&H::HandleQRESTA>(), 3);
    payload(L"QTAUPD", Via<&H::HandleQTAUPD>(), 3);
    fields(L"RECCAL", Via<&H::HandleRECCAL>(), 2);
    text(L"REFNUM", Via<&H::HandleREFNUM>());
    text(L"REQMAN", Via<&H::HandleREQMAN>());
    fields(L"SEE-IN", Via<&H::HandleSEEIN>(), 3);
    text(L"SELNMR", Via<&H::HandleSELNMR>());
    fields(L"SETPER", Via<&H::HandleSETPER>(), 1);
    payload(L"SNDINT", Via<&H::HandleSNDINT>(), 4, 6);
    payload(L"SNDMSG", Via<&H::HandleSNDMSG>(), 3);
    text(L"STAKYI", Via<&H::HandleSTAKYI>());
    text(L"STAQUE", Via<&H::HandleSTAQUE>());
    fields(L"STRTIN", Via<&H::HandleSTRTIN>(), 1);
    fields(L"STRTOU", Via<&H::HandleSTRTOU>(), 1);
    text(L"TAKBAC", Via<&H::HandleTAKBAC>());
    text(L"TAKCAL", Via<&H::HandleTAKCAL>());
    text(L"TRACAL", Via<&H::HandleTRACAL>());
    fields(L"TRAEND", Via<&H::HandleTRAEND>(), 1);
    fields(L"TRANIN", Via<&H::HandleTRANIN>(), 1);
    fields(L"TRANOU", Via<&H::HandleTRANOU>(), 1);
    fields(L"TRNSFR", Via<&H::HandleTRNSFR>(), 1);
    payload(L"TSKRES", Via<&H::HandleTSKRES>(), 2, 5);
    fields(L"UPDALO", Via<&H::HandleUPDALO>(), 1);
    fields(L"UPDANO", Via<&H::HandleUPDANO>(), 5);
    fields(L"UPDASE", Via<&H::HandleUPDASE>(), 2);
    fields(L"UPDSFT", Via<&H::HandleUPDSFT>(), 1);
    text(L"UPDSMO", Via<&H::HandleUPDSMO>());
    payload(L"UPDTSK", Via<&H::HandleUPDTSK>(), 5);
    fields(L"VOICIP", Via<&H::HandleVOICIP>(), 2);
}
