#include "framework/CComBSTR.h"
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include "LumoClient.h"
#include <gtest/gtest.h>
#include <oleauto.h>
#include <string>
#include <vector>

// The published type library, read back member by member and compared with its golden table. Each
// member is written as "<dispid> <kind> <name>(<type> <name> <flags>, ...)", kind being get, put,
// method, event (a void event) or hresult (an event declared as returning HRESULT).
namespace
{
// clang-format off
const char* const kCtrlMembers[] = {
    R"(1 get LumoAddress(BSTR* pVal out retval))",
    R"(1 put LumoAddress(BSTR newVal in))",
    R"(2 get Port(I2* pVal out retval))",
    R"(2 put Port(I2 newVal in))",
    R"(3 get ApplicationId(I4* pVal out retval))",
    R"(3 put ApplicationId(I4 newVal in))",
    R"(4 get JexConnectionState(ConnectionStates* pVal out retval))",
    R"(5 get LumoConnectionState(ConnectionStates* pVal out retval))",
    R"(6 get PauseReasonId(I4* pVal out retval))",
    R"(7 get AgentState(AgentStates* pVal out retval))",
    R"(8 get LogMode(LogModes* pVal out retval))",
    R"(8 put LogMode(LogModes newVal in))",
    R"(9 get IsPossibleMessageMaster(BOOL* pVal out retval))",
    R"(9 put IsPossibleMessageMaster(BOOL newVal in))",
    R"(10 get UTCShiftServer(I4* pVal out retval))",
    R"(11 get MasterVolume(I2* pVal out retval))",
    R"(11 put MasterVolume(I2 newVal in))",
    R"(12 get MicrophoneVolume(I2* pVal out retval))",
    R"(12 put MicrophoneVolume(I2 newVal in))",
    R"(13 get IsMasterMuted(BOOL* pVal out retval))",
    R"(13 put IsMasterMuted(BOOL newVal in))",
    R"(14 get IsMicrophoneMuted(BOOL* pVal out retval))",
    R"(14 put IsMicrophoneMuted(BOOL newVal in))",
    R"(15 get IsVoIP(BOOL* pVal out retval))",
    R"(20 method Init(BOOL* bResult out retval))",
    R"(21 method GetPauseList(ILumoClientMap* mapPauses in, I4* lReturnVal out retval))",
    R"(22 method RequestPauseList())",
    R"(23 method RequestStartPause(I4 lPauseReasonId in, StartPauseTypes enumStartPauseType in))",
    R"(24 method RequestStopPause())",
    R"(25 method ShowLumoClient(VisibleModes enumVisibleMode in))",
    R"(26 method GetAgentList(AgentListRequestTypes enumType in, ILumoClientMap* mapFirstNames in, ILumoClientMap* mapLastNames in, ILumoClientMap* mapUserNames in, I4* lReturnVal out retval))",
    R"(27 method RequestAgentList(AgentListRequestTypes enumType in))",
    R"(28 method DialNumber(BSTR strNumber in, BSTR strTag in opt=""))",
    R"(29 method EndTask(I4 lCallId in, I2 nCallResult in, I2 nCallSubResult in, ILumoClientMap* mapFields in))",
    R"(31 method AgentLogon(BSTR strUserName in, I4 lLocationId in, BSTR strPassword in, BOOL bPasswordAlreadyEncrypted in opt=-1, BOOL* nReturnVal out retval))",
    R"(32 method AgentLogonById(I4 lAgentId in, I4 lLocationId in, BSTR strPassword in, BOOL bPasswordAlreadyEncrypted in opt=-1, BOOL* nReturnVal out retval))",
    R"(33 method AgentLogOff())",
    R"(34 method DropCall(I4 lCallId in))",
    R"(35 method PutCallOnHold(I4 lCallId in))",
    R"(36 method TakeCallOnHold(I4 lCallId in))",
    R"(37 method RequestNextCall())",
    R"(38 method StartRecording(I4 lCallId in, RecordResultCodes* enumRecordResult out retval))",
    R"(39 method RequestStartRecording(I4 lCallId in))",
    R"(40 method StartTriggerPredictive(I4 lCallId in, I4 lType in))",
    R"(41 method StopTriggerPredictive(I4 lCallId in, I4 lType in))",
    R"(42 method StartQuestionRecording(I4 lCallId in, BSTR strFileName in, RecordResultCodes* nReturnVal out retval))",
    R"(43 method StopQuestionRecording(I4 lCallId in, BOOL* bResult out retval))",
    R"(44 method RequestStartQuestionRecording(I4 lCallId in, BSTR strFileName in))",
    R"(45 method RequestStopQuestionRecording(I4 lCallId in))",
    R"(46 method SendInterview(I4 lTaskId in, I4 lCallId in, VARIANT* pInterviewData none, UI4 lCheckSum in, BOOL* bResult out retval))",
    R"(47 method GetVersionInfoString(BSTR* lReturnVal out retval))",
    R"(48 method RequestTaskContents(I4 lTaskId in))",
    R"(49 method EndTaskAfterConnectionLost(ILumoClientMap* mapFields in))",
    R"(50 method Transfer(I4 lCallId in, I4 lCallId2 in))",
    R"(51 method TagCall(I4 lCallId in, BSTR strTag in))",
    R"(52 method StartPlaySound(I4 lCallId in, BSTR strFileName in, BOOL* bResult out retval))",
    R"(53 method StopPlaySound(I4 lCallId in, BOOL* bResult out retval))",
    R"(54 method RequestStartPlaySound(I4 lCallId in, BSTR strFileName in))",
    R"(55 method RequestStopPlaySound(I4 lCallId in))",
    R"(56 method RequestTaskResources(I4 lTaskId in, ILumoClientStringCollection* Ids in))",
    R"(57 method GetOutboundGroupList(ILumoClientMap* mapOutboundGroups in, I4* lResult out retval))",
    R"(58 method RequestOutboundGroupList())",
    R"(59 method GetLocationList(ILumoClientMap* mapNames in, ILumoClientMap* mapComputerNames in, I4* lReturnVal out retval))",
    R"(60 method RequestLocationList())",
    R"(61 method ChangeOutboundGroup(I4 lOutboundGroupId in))",
    R"(62 method GetAgentSetting(I4 lSettingId in, I4* lValue none, BSTR* strValue none, BOOL* bResult out retval))",
    R"(63 method SaveAgentSetting(I4 lSettingId in, BSTR strName in, I4 lValue in, BSTR strValue in))",
    R"(64 method SendMessageToSupervisor(ILumoClientMessage* toSend in))",
    R"(65 method SendEmail(I4 lCallId in, ILumoClientEmail* mailToSend in))",
    R"(66 method GetReplayMasterRole(BOOL allowOthersToTakeRole in, BOOL* retHasRole out retval))",
    R"(67 method ReleaseReplayMasterRole(BOOL* retHasRole out retval))",
    R"(68 method TakeCall(I4 lCallId in))",
    R"(69 method SendDTMF(I4 lCallId in, BSTR strDTMF in, BOOL bSilent in))",
    R"(70 method GetCallHistory(I4 lCallId in, ILumoClientCallCollection** arrCalls out, I4* lResult out retval))",
    R"(71 method RequestCallHistory(I4 lCallId in))",
    R"(72 method SendInterviewStatus(I4 lCallId in, BSTR strStatus in))",
    R"(73 method Uninit(BOOL* bResult out retval))",
    R"(74 method ChangeRecordingAnonymiseState(I4 lCallId in, BOOL bOnOff in))",
    R"(75 method CreateAnnotation(I4 lCallId in, INT nAnnotationType in, ILumoClientMap* mapArgs in))",
    R"(76 method UpdateAnnotation(I4 lCallId in, INT nAnnotationType in, I4 lAnnotationId in, ILumoClientMap* mapArgs in))",
    R"(101 method BrennStartIVR(BSTR strInterviewGuid in, I4 lCallId in, BSTR strNumber in))",
    R"(102 method BrennStartKeyIn(I4 lInterviewId in opt=0))",
    R"(103 method BrennEndKeyIn(I4 lCallId in))",
    R"(104 method BrennFindKeyInInterviews(ILumoClientMap* searchParameters in, ILumoClientStringCollection* arrReturnFields in))",
};
const char* const kEventsMembers[] = {
    R"(1 event PauseListReceived(ILumoClientMap* mapPauses in))",
    R"(2 event LumoConnectionChanged(ConnectionStates enumConnectionState in))",
    R"(3 event JexConnectionChanged(ConnectionStates enumConnectionState in))",
    R"(4 event AgentStateChanged(AgentStates enumAgentState in))",
    R"(5 event AgentListReceived(ILumoClientMap* mapFirstNames in, ILumoClientMap* mapLastNames in, ILumoClientMap* mapUserNames in))",
    R"(6 event DialNumberResultReceived(DialResults enumResult in))",
    R"(7 event EndTaskReceived(I4 lCallId in))",
    R"(8 event RecordResultReceived(RecordResultCodes enumRecordResultCode in))",
    R"(9 event StartQuestionRecordingResultReceived(I4 lCallId in, I2 nResult in))",
    R"(10 event StopQuestionRecordingResultReceived(I4 lCallId in, I2 nResult in))",
    R"(11 event SendInterviewConfirmationReceived(I4 lTaskId in, I4 lCallId in))",
    R"(12 event TaskContentsReceived(I4 lTaskId in, VARIANT* pTask in, UI4 lCheckSum in, ILumoClientMap* mapResources in))",
    R"(13 event StartPlaySoundResultReceived(I4 lCallId in, I2 nResult in))",
    R"(14 event StopPlaySoundResultReceived(I4 lCallId in, I2 nResult in))",
    R"(15 event TaskResourceReceived(I4 lTaskId in, I4 lResourceId in, VARIANT* pResource in, UI4 lCheckSum in))",
    R"(16 event OutboundGroupListReceived(ILumoClientMap* mapOutboundGroups in))",
    R"(17 event InterviewDataReceived(I4 lTaskId in, I4 lCallId in, VARIANT* pInterviewData in, UI4 lCheckSum in))",
    R"(18 event LocationListReceived(ILumoClientMap* mapLocationNames in, ILumoClientMap* mapLocationComputerNames in))",
    R"(19 event StartTaskEx(I2 nCallType in, I4 lCallId in, ILumoClientMap* mapFields in))",
    R"(20 event StatsReceived(BSTR strGroupName in, I4 lAvailableAgents in, I4 lNumberOfCalls in, I4 lWaitingTime in))",
    R"(21 event StartTask(I2 nCallType in, I4 lCallId in, ILumoClientMap* mapParameters in))",
    R"(22 event CallInfoReceived(I4 lCallId in, BSTR strGroupName in, I4 lTotalTime in, I4 QueueTime in, BSTR strSender in, BSTR strDestination in, I4 lCallType in, I4 lCallStatus in, BOOL IsInbound in, BOOL IsRecording in))",
    R"(23 hresult MessageReceived(BSTR strSenderAgentName in, ILumoClientMessage* Message in))",
    R"(24 event UTCShiftServerChanged(I4 lOldUTCShiftServer in, I4 lNewUTCShiftServer in))",
    R"(25 event MasterVolumeChanged(I2 sNewValue in))",
    R"(26 event MicrophoneVolumeChanged(I2 sNewValue in))",
    R"(27 event MasterMuteChanged(BOOL bNewValue in))",
    R"(28 event MicrophoneMuteChanged(BOOL bNewValue in))",
    R"(29 event VoipStateChanged(BOOL bNewValue in))",
    R"(30 event CallHistoryReceived(I4 lCallId in, ILumoClientCallCollection* arrCalls in))",
    R"(31 event AgentListReceivedEx(AgentListRequestTypes enumType in, ILumoClientMap* mapFirstNames in, ILumoClientMap* mapLastNames in, ILumoClientMap* mapUserNames in))",
    R"(32 event RecordingAnonymizationStateChanged(I4 lCallId in, INT nState in))",
    R"(33 event AnnotationChanged(I4 lCallId in, INT nResult in, INT nAnnotationType in, I4 lAnnotationId in))",
    R"(101 hresult BrennUpdateSemiOpensReceived(I4 lSurveyId in, ILumoClientStringCollection* arrSemiOpens in))",
    R"(102 event BrennAssignedToKeyIn(BOOL isKeyInOn in))",
    R"(103 event BrennStartKeyInResultReceived(I2 nResult in, I4 lCallId in, I4 lInterviewId in, ILumoClientMap* mapFields in))",
    R"(104 event BrennKeyInInterviewReceived(I4 lInterviewId in, ILumoClientMap* mapFields in))",
    R"(105 event BrennQuotaUpdateReceived(I4 lSurveyId in, I2 sUpdateType in, SAFEARRAY arrData in))",
    R"(200 event LumoClientError(BSTR strError in))",
};
const char* const kMapMembers[] = {
    R"(-4 get _NewEnum(IUnknown** ppUnk out retval))",
    R"(0 get Item(VARIANT Index in, VARIANT* pVal out retval))",
    R"(1 get Count(I4* pVal out retval))",
    R"(10 method Add(VARIANT Key in, VARIANT Item in))",
    R"(11 method Remove(VARIANT Index in))",
    R"(12 method Clear())",
    R"(13 method GetKeys(ILumoClientStringCollection** pVal out retval))",
    R"(14 method GetValues(ILumoClientStringCollection** pVal out retval))",
    R"(15 method ContainsKey(VARIANT Key in, BOOL* pVal out retval))",
};
const char* const kStringCollectionMembers[] = {
    R"(-4 get _NewEnum(IUnknown** ppUnk out retval))",
    R"(0 get Item(VARIANT Index in, VARIANT* pVal out retval))",
    R"(1 get Count(I4* pVal out retval))",
    R"(10 method Add(VARIANT Item in))",
    R"(11 method Remove(VARIANT Index in))",
    R"(12 method Clear())",
};
const char* const kMessageMembers[] = {
    R"(1 get From(I4* pVal out retval))",
    R"(1 put From(I4 newVal in))",
    R"(2 get To(I4* pVal out retval))",
    R"(2 put To(I4 newVal in))",
    R"(3 get Subject(BSTR* pVal out retval))",
    R"(3 put Subject(BSTR newVal in))",
    R"(4 get Message(BSTR* pVal out retval))",
    R"(4 put Message(BSTR newVal in))",
    R"(5 get Attachments(ILumoClientMap** pVal out retval))",
};
const char* const kEmailMembers[] = {
    R"(1 get To(ILumoClientStringCollection** pVal out retval))",
    R"(2 get Cc(ILumoClientStringCollection** pVal out retval))",
    R"(3 get Bcc(ILumoClientStringCollection** pVal out retval))",
    R"(4 get Subject(BSTR* pVal out retval))",
    R"(4 put Subject(BSTR newVal in))",
    R"(5 get From(BSTR* pVal out retval))",
    R"(5 put From(BSTR newVal in))",
    R"(6 get MailType(MailTypes* pVal out retval))",
    R"(6 put MailType(MailTypes newVal in))",
    R"(7 get Message(BSTR* pVal out retval))",
    R"(7 put Message(BSTR newVal in))",
    R"(8 get Attachments(ILumoClientMap** pVal out retval))",
};
const char* const kCallMembers[] = {
    R"(1 get CallId(I4* pVal out retval))",
    R"(2 get TelephoneNumber(BSTR* pVal out retval))",
    R"(3 get StartTimeUTC(DATE* pVal out retval))",
    R"(4 get UTCOffsetAgent(I4* pVal out retval))",
    R"(5 get UTCOffsetRespondent(I4* pVal out retval))",
    R"(6 get ShiftNr(I4* pVal out retval))",
    R"(7 get Result(I4* pVal out retval))",
    R"(8 get SubResult(I4* pVal out retval))",
    R"(9 get Derivation(I4* pVal out retval))",
    R"(10 get RecoverTimeUTC(DATE* pVal out retval))",
    R"(11 get AgentId(I4* pVal out retval))",
};
const char* const kCallCollectionMembers[] = {
    R"(-4 get _NewEnum(IUnknown** ppUnk out retval))",
    R"(0 get Item(VARIANT Index in, VARIANT* pVal out retval))",
    R"(1 get Count(I4* pVal out retval))",
};
// clang-format on

std::string Narrow(const wchar_t* text)
{
    std::string s;
    for (const wchar_t* p = text; p && *p; ++p)
        s += static_cast<char>(*p);
    return s;
}

std::string TypeName(ITypeInfo* pInfo, const TYPEDESC& type)
{
    switch (type.vt)
    {
    case VT_I2:
        return "I2";
    case VT_I4:
        return "I4";
    case VT_UI4:
        return "UI4";
    case VT_INT:
        return "INT";
    case VT_BOOL:
        return "BOOL";
    case VT_BSTR:
        return "BSTR";
    case VT_DATE:
        return "DATE";
    case VT_VARIANT:
        return "VARIANT";
    case VT_UNKNOWN:
        return "IUnknown*";
    case VT_DISPATCH:
        return "IDispatch*";
    case VT_VOID:
        return "void";
    case VT_HRESULT:
        return "HRESULT";
    case VT_PTR:
        return TypeName(pInfo, *type.lptdesc) + "*";
    case VT_SAFEARRAY:
        return "SAFEARRAY";
    case VT_USERDEFINED: {
        CComPtr<ITypeInfo> ref;
        CComBSTR name;
        if (FAILED(pInfo->GetRefTypeInfo(type.hreftype, &ref)) ||
            FAILED(ref->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
            return "?";
        return Narrow(name);
    }
    default:
        return "vt" + std::to_string(type.vt);
    }
}

std::string Flags(const PARAMDESC& param)
{
    std::string s;
    const auto add = [&s](const std::string& word) { s += (s.empty() ? "" : " ") + word; };
    if (param.wParamFlags & PARAMFLAG_FIN) add("in");
    if (param.wParamFlags & PARAMFLAG_FOUT) add("out");
    if (param.wParamFlags & PARAMFLAG_FRETVAL) add("retval");
    if (param.wParamFlags & PARAMFLAG_FOPT)
    {
        std::string value = "?";
        if ((param.wParamFlags & PARAMFLAG_FHASDEFAULT) && param.pparamdescex)
        {
            const VARIANT& v = param.pparamdescex->varDefaultValue;
            if (v.vt == VT_BSTR)
                value = "\"" + Narrow(v.bstrVal) + "\"";
            else if (v.vt == VT_BOOL)
                value = std::to_string(v.boolVal);
            else if (v.vt == VT_I4)
                value = std::to_string(v.lVal);
            else
                value = "vt" + std::to_string(v.vt);
        }
        add("opt=" + value);
    }
    return s.empty() ? "none" : s;
}

std::string Describe(ITypeInfo* pInfo, const FUNCDESC& func, bool event)
{
    std::string kind = func.invkind == INVOKE_PROPERTYGET         ? "get"
                       : func.invkind == INVOKE_PROPERTYPUT       ? "put"
                       : !event                                   ? "method"
                       : func.elemdescFunc.tdesc.vt == VT_HRESULT ? "hresult"
                                                                  : "event";
    std::vector<BSTR> names(func.cParams + 1, nullptr);
    UINT got = 0;
    pInfo->GetNames(func.memid, names.data(), static_cast<UINT>(names.size()), &got);
    std::string s = std::to_string(func.memid) + " " + kind + " " + Narrow(names[0]) + "(";
    for (SHORT i = 0; i < func.cParams; ++i)
    {
        const ELEMDESC& param = func.lprgelemdescParam[i];
        // A put shares its names with the get of its DISPID, so its value is written as newVal.
        const bool put = func.invkind == INVOKE_PROPERTYPUT;
        const std::string name = !put && i + 1 < static_cast<SHORT>(got) ? Narrow(names[i + 1]) : "newVal";
        s += (i ? ", " : "") + TypeName(pInfo, param.tdesc) + " " + name + " " + Flags(param.paramdesc);
    }
    for (BSTR name : names)
        ::SysFreeString(name);
    return s + ")";
}

class LumoClientTypeLib : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t path[MAX_PATH];
        ASSERT_NE(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
        ASSERT_EQ(::LoadTypeLibEx(path, REGKIND_NONE, &m_lib), S_OK);
    }
    CComPtr<ITypeInfo> InfoOf(REFGUID guid)
    {
        CComPtr<ITypeInfo> info;
        EXPECT_EQ(m_lib->GetTypeInfoOfGuid(guid, &info), S_OK);
        return info;
    }
    // The vtable interface of a dual interface; the dispinterface itself for the events.
    CComPtr<ITypeInfo> MembersOf(REFGUID guid)
    {
        CComPtr<ITypeInfo> info = InfoOf(guid);
        HREFTYPE ref = 0;
        CComPtr<ITypeInfo> vtable;
        if (info && SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, &vtable)))
            return vtable;
        return info;
    }
    CComPtr<ITypeLib> m_lib;
};

struct InterfaceCase
{
    const IID* iid;
    const char* name;
    const char* const* members;
    size_t count;
    bool events;
};
#define LUMO_CASE(iid, name, table, events)                                                                            \
    {                                                                                                                  \
        &iid, name, table, std::size(table), events                                                                    \
    }
const InterfaceCase kInterfaces[] = {
    LUMO_CASE(IID_ILumoClientCtrl, "ILumoClientCtrl", kCtrlMembers, false),
    LUMO_CASE(DIID__ILumoClientEvents, "_ILumoClientEvents", kEventsMembers, true),
    LUMO_CASE(IID_ILumoClientMap, "ILumoClientMap", kMapMembers, false),
    LUMO_CASE(IID_ILumoClientStringCollection, "ILumoClientStringCollection", kStringCollectionMembers, false),
    LUMO_CASE(IID_ILumoClientMessage, "ILumoClientMessage", kMessageMembers, false),
    LUMO_CASE(IID_ILumoClientEmail, "ILumoClientEmail", kEmailMembers, false),
    LUMO_CASE(IID_ILumoClientCall, "ILumoClientCall", kCallMembers, false),
    LUMO_CASE(IID_ILumoClientCallCollection, "ILumoClientCallCollection", kCallCollectionMembers, false),
};
#undef LUMO_CASE
} // namespace

TEST_F(LumoClientTypeLib, LibraryAttributesAreThePublishedOnes)
{
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_lib->GetLibAttr(&attr), S_OK);
    // The published LIBID, not whatever the IDL compiler wrote: registry scripts and manifest name it.
    EXPECT_TRUE(
        ::IsEqualGUID(attr->guid, GUID{0x2DB51A0F, 0xE82B, 0x4C20, {0x87, 0xF1, 0x9C, 0xAB, 0xC2, 0x91, 0x59, 0xD5}}));
    EXPECT_TRUE(::IsEqualGUID(attr->guid, LIBID_LumoClientLib));
    EXPECT_EQ(attr->lcid, 0x0409u);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    m_lib->ReleaseTLibAttr(attr);
    CComBSTR name, doc, help;
    ASSERT_EQ(m_lib->GetDocumentation(-1, &name, &doc, nullptr, &help), S_OK);
    EXPECT_STREQ(name, L"LumoClientLib");
    EXPECT_EQ(doc.Length(), 0u);
    EXPECT_EQ(help.Length(), 0u);
    EXPECT_EQ(m_lib->GetTypeInfoCount(), 24u);
}

TEST_F(LumoClientTypeLib, EveryMemberMatchesTheGoldenTable)
{
    for (const auto& c : kInterfaces)
    {
        SCOPED_TRACE(c.name);
        CComPtr<ITypeInfo> info = MembersOf(*c.iid);
        ASSERT_TRUE(info);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        const UINT count = attr->cFuncs;
        const TYPEKIND kind = attr->typekind;
        const WORD flags = attr->wTypeFlags;
        info->ReleaseTypeAttr(attr);
        ASSERT_EQ(count, c.count);
        const WORD dual = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
        EXPECT_EQ(kind, c.events ? TKIND_DISPATCH : TKIND_INTERFACE);
        EXPECT_EQ(flags & dual, c.events ? 0 : dual);
        SHORT lastOffset = 0;
        for (UINT i = 0; i < count; ++i)
        {
            FUNCDESC* func = nullptr;
            ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
            EXPECT_EQ(Describe(info, *func, c.events), c.members[i]) << "member " << i;
            if (c.events)
            {
                EXPECT_EQ(func->funckind, FUNC_DISPATCH);
            }
            else
            {
                // The vtable follows the table's order right after IUnknown's and IDispatch's 7 slots.
                EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL);
                EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
                EXPECT_GT(func->oVft, lastOffset);
                lastOffset = func->oVft;
                EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
            }
            info->ReleaseFuncDesc(func);
        }
    }
}

namespace
{
struct EnumCase
{
    const char* name;
    GUID guid;
    std::vector<std::pair<const char*, LONG>> values;
};
const EnumCase kEnums[] = {
    {"ConnectionStates",
     {0x084EB934, 0xB5D2, 0x4DF7, {0x80, 0x80, 0x44, 0xAE, 0x54, 0xE6, 0x75, 0x4F}},
     {{"connection_Disconnected", 0},
      {"connection_Connected", 1},
      {"connection_Pending", 2},
      {"connection_Unknown", 3}}},
    {"AgentStates",
     {0x05C601A5, 0x4BB2, 0x46B5, {0x9B, 0xE2, 0x4D, 0xF9, 0x2C, 0xAC, 0xC6, 0xAA}},
     {{"agentstate_LoggedOff", 0},
      {"agentstate_Ready", 1},
      {"agentstate_Pause", 2},
      {"agentstate_InboundCall", 3},
      {"agentstate_OutboundCall", 4},
      {"agentstate_ManualCall", 5},
      {"agentstate_InboundClerical", 6},
      {"agentstate_OutboundClerical", 7},
      {"agentstate_EmailProcessing", 8},
      {"agentstate_FaxProcessing", 9},
      {"agentstate_VoicemailProcessing", 10},
      {"agentstate_chatProcessing", 11},
      {"agentstate_OffHook", 12},
      {"agentstate_CallMe", 13},
      {"agentstate_KeyIn", 14},
      {"agentstate_CapiConnection", 15},
      {"agentstate_Selecting", 16},
      {"agentstate_Brief", 17},
      {"agentstate_UnKnown", 18}}},
    {"DialResults",
     {0x3F06FEDD, 0x22BB, 0x42D3, {0xB8, 0xFF, 0x2E, 0x4E, 0x58, 0xD5, 0x70, 0x4E}},
     {{"dialResult_Unknown", -1},
      {"dialResult_Succes", 0},
      {"dialResult_Ringing", 1},
      {"dialResult_NoRing", 2},
      {"dialResult_Busy", 3},
      {"dialResult_NoAnswer", 4},
      {"dialResult_NoFreeChannelAvailable", 5},
      {"dialResult_AgentNotLoggedOn", 6},
      {"dialResult_Disconnected", 7},
      {"dialResult_AgentNotLoggedOn2", 8},
      {"dialResult_StillConnected", 9},
      {"dialResult_NoOutboundCallsAllowed", 10},
      {"dialResult_NoVoiceResources", 11},
      {"dialResult_NetworkError", 12},
      {"dialResult_WrongNumber", 13},
      {"dialResult_NextCallMaxExceeded", 14}}},
    {"RecordResultCodes",
     {0x0792021C, 0xD0D2, 0x480A, {0xB3, 0xAF, 0x21, 0x1E, 0x35, 0x60, 0xB5, 0xB9}},
     {{"recordrslt_RequestFailed", -1},
      {"recordrslt_RecStarted", 0},
      {"recordrslt_NotFound", 1},
      {"recordrslt_NoConversation", 2},
      {"recordrslt_NoSpeech", 3}}},
    {"AgentListRequestTypes",
     {0x7E60FF0C, 0x7FF0, 0x4A5B, {0x8C, 0x03, 0x7E, 0xD1, 0xA5, 0xE3, 0x46, 0xD5}},
     {{"agentlst_OfflineLumoAgents", 0},
      {"agentlst_OnlineLumoAgents", 1},
      {"agentlst_OnlineAllowedSupervisors", 2},
      {"agentlst_AllAllowedSupervisors", 3},
      {"agentlst_AllAllowedLumoAgents", 4}}},
    {"LogModes",
     {0x4360D1B2, 0x4999, 0x4F38, {0x9B, 0x7D, 0x58, 0xA6, 0x3C, 0xAC, 0x9D, 0xF5}},
     {{"logMode_Off", 0}, {"logMode_Verbose", 1}, {"logMode_Event", 2}, {"logMode_File", 3}}},
    {"StartPauseTypes",
     {0x03CA8EAE, 0x22F8, 0x47D1, {0xAC, 0xCF, 0xEC, 0x68, 0x7C, 0x63, 0x67, 0x74}},
     {{"pause_AsSoonAsPossible", 0}, {"pause_OnEndTask", 1}}},
    {"VisibleModes",
     {0x57D3C465, 0xFBB3, 0x4539, {0x93, 0x94, 0xBB, 0xF3, 0x4E, 0x92, 0x1D, 0x5F}},
     {{"mode_Hide", 0}, {"mode_Restore", 1}, {"mode_Minimize", 2}}},
    {"MailTypes",
     {0xF5496F5C, 0xB364, 0x4000, {0x86, 0x4F, 0x91, 0xD5, 0x08, 0x46, 0x73, 0xF9}},
     {{"mailType_PlainText", 0}, {"mailType_HTML", 1}}},
};

struct CoclassCase
{
    const char* name;
    const CLSID* clsid;
    const IID* defaultInterface;
    WORD flags;
};
const CoclassCase kCoclasses[] = {
    {"LumoClientCtrl", &CLSID_LumoClientCtrl, &IID_ILumoClientCtrl, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL},
    {"LumoClientMap", &CLSID_LumoClientMap, &IID_ILumoClientMap, TYPEFLAG_FCANCREATE},
    {"LumoClientStringCollection", &CLSID_LumoClientStringCollection, &IID_ILumoClientStringCollection,
     TYPEFLAG_FCANCREATE},
    {"LumoClientMessage", &CLSID_LumoClientMessage, &IID_ILumoClientMessage, TYPEFLAG_FCANCREATE},
    {"LumoClientEmail", &CLSID_LumoClientEmail, &IID_ILumoClientEmail, TYPEFLAG_FCANCREATE},
    {"LumoClientCall", &CLSID_LumoClientCall, &IID_ILumoClientCall, TYPEFLAG_FCANCREATE},
    {"LumoClientCallCollection", &CLSID_LumoClientCallCollection, &IID_ILumoClientCallCollection, TYPEFLAG_FCANCREATE},
};

const GUID kPublishedCtrlClsid = {0x1A733E11, 0x6AAE, 0x4E30, {0x80, 0x34, 0xF4, 0x4B, 0x2B, 0x2B, 0xF6, 0x6D}};
} // namespace

TEST_F(LumoClientTypeLib, EnumerationsCarryTheirGuidsHelpStringsAndValues)
{
    for (const auto& c : kEnums)
    {
        SCOPED_TRACE(c.name);
        CComPtr<ITypeInfo> info = InfoOf(c.guid);
        ASSERT_TRUE(info);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_ENUM);
        EXPECT_EQ(attr->cbSizeInstance, 4u);
        const UINT count = attr->cVars;
        info->ReleaseTypeAttr(attr);
        CComBSTR name, doc;
        ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
        EXPECT_EQ(Narrow(name), c.name);
        EXPECT_EQ(Narrow(doc), c.name);
        ASSERT_EQ(count, c.values.size());
        for (UINT i = 0; i < count; ++i)
        {
            VARDESC* var = nullptr;
            ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
            CComBSTR valueName;
            EXPECT_EQ(info->GetDocumentation(var->memid, &valueName, nullptr, nullptr, nullptr), S_OK);
            EXPECT_EQ(Narrow(valueName), c.values[i].first);
            ASSERT_EQ(var->varkind, VAR_CONST);
            CComVariant value;
            EXPECT_EQ(::VariantChangeType(&value, var->lpvarValue, 0, VT_I4), S_OK);
            EXPECT_EQ(value.lVal, c.values[i].second) << c.values[i].first;
            info->ReleaseVarDesc(var);
        }
    }
}

TEST_F(LumoClientTypeLib, CoclassesNameTheirDefaultInterfacesAndOnlyTheControlHasASource)
{
    EXPECT_TRUE(::IsEqualGUID(CLSID_LumoClientCtrl, kPublishedCtrlClsid));
    for (const auto& c : kCoclasses)
    {
        SCOPED_TRACE(c.name);
        CComPtr<ITypeInfo> info = InfoOf(*c.clsid);
        ASSERT_TRUE(info);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_COCLASS);
        EXPECT_EQ(attr->wTypeFlags, c.flags);
        const UINT implTypes = attr->cImplTypes;
        info->ReleaseTypeAttr(attr);
        CComBSTR name;
        ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(Narrow(name), c.name);
        const bool isControl = c.clsid == &CLSID_LumoClientCtrl;
        ASSERT_EQ(implTypes, isControl ? 2u : 1u);
        for (UINT i = 0; i < implTypes; ++i)
        {
            INT implFlags = 0;
            HREFTYPE ref = 0;
            CComPtr<ITypeInfo> impl;
            ASSERT_EQ(info->GetImplTypeFlags(i, &implFlags), S_OK);
            ASSERT_EQ(info->GetRefTypeOfImplType(i, &ref), S_OK);
            ASSERT_EQ(info->GetRefTypeInfo(ref, &impl), S_OK);
            TYPEATTR* implAttr = nullptr;
            ASSERT_EQ(impl->GetTypeAttr(&implAttr), S_OK);
            const IID iid = implAttr->guid;
            const WORD implTypeFlags = implAttr->wTypeFlags;
            impl->ReleaseTypeAttr(implAttr);
            if (implFlags & IMPLTYPEFLAG_FSOURCE)
            {
                EXPECT_TRUE(isControl);
                EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
                EXPECT_TRUE(::IsEqualGUID(iid, DIID__ILumoClientEvents));
                EXPECT_EQ(implTypeFlags & TYPEFLAG_FDUAL, 0);
            }
            else
            {
                EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
                EXPECT_TRUE(::IsEqualGUID(iid, *c.defaultInterface));
                EXPECT_EQ(implTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE),
                          TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);
            }
        }
    }
}

TEST_F(LumoClientTypeLib, NamesOfTheControlMapToTheirDispIds)
{
    CComPtr<ITypeInfo> info = InfoOf(IID_ILumoClientCtrl);
    ASSERT_TRUE(info);
    struct NameCase
    {
        const wchar_t* name;
        HRESULT hr;
        MEMBERID id;
    };
    const NameCase cases[] = {
        {L"AgentLogon", S_OK, 31},
        {L"BrennFindKeyInInterviews", S_OK, 104},
        {L"agentlogon", S_OK, 31}, // names are looked up without regard to case, as scripting clients expect
        {L"NoSuchMember", DISP_E_UNKNOWNNAME, MEMBERID_NIL},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.name));
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        MEMBERID id = MEMBERID_NIL;
        EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), c.hr);
        EXPECT_EQ(id, c.id);
    }
}
