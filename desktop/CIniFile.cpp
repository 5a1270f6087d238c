#include "desktop/CIniFile.h"
#include <climits>

namespace
{
constexpr wchar_t kSection[] = L"Settings";

enum class Kind
{
    Text,
    Flag,
    Number,
};

struct Setting
{
    LPCWSTR name;
    Kind kind;
    int nDefault; // flags and numbers; every text defaults to empty
    int nMin;
    int nMax;
    BOOL bWriteBack;
};

// clang-format off
constexpr Setting kRemoteHost                  {L"RemoteHost",                  Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kRemotePortNr                {L"RemotePortNr",                Kind::Number, 0,    0,  65535,   FALSE};
constexpr Setting kUseEncryption               {L"UseEncryption",               Kind::Flag,   0,    0,  0,       FALSE};
constexpr Setting kRemotePortEncrypted         {L"RemotePortEncrypted",         Kind::Number, 1901, 1,  65535,   FALSE};
constexpr Setting kRemotePort                  {L"RemotePort",                  Kind::Number, 901,  1,  65535,   FALSE};
constexpr Setting kApplicationPort             {L"ApplicationPort",             Kind::Number, 905,  0,  INT_MAX, TRUE};
constexpr Setting kAppPort                     {L"AppPort",                     Kind::Number, 1905, 0,  INT_MAX, TRUE};
constexpr Setting kLocation                    {L"Location",                    Kind::Number, 0,    -1, INT_MAX, TRUE};
constexpr Setting kUseAuthentication           {L"UseAuthentication",           Kind::Flag,   0,    0,  0,       TRUE};
constexpr Setting kLatestInstalledSetup        {L"LatestInstalledSetup",        Kind::Text,   0,    0,  0,       FALSE};
constexpr Setting kAgentMonitorPath            {L"AgentMonitorPath",            Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kBrennPath                   {L"BrennPath",                   Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kBrennPathStartupDir         {L"BrennPathStartupDir",         Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kQuillanPath                 {L"QuillanPath",                 Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kDebugBrennClient            {L"DebugBrennClient",            Kind::Flag,   0,    0,  0,       TRUE};
constexpr Setting kDebugQuillan                {L"DebugQuillan",                Kind::Flag,   0,    0,  0,       TRUE};
constexpr Setting kLoginScriptId               {L"LoginScriptId",               Kind::Number, 0,    0,  INT_MAX, TRUE};
constexpr Setting kStatisticsView              {L"StatisticsView",              Kind::Flag,   1,    0,  0,       TRUE};
constexpr Setting kExtendedView                {L"ExtendedView",                Kind::Flag,   1,    0,  0,       TRUE};
constexpr Setting kCallInfoWindow              {L"CallInfoWindow",              Kind::Flag,   1,    0,  0,       TRUE};
constexpr Setting kMultiCallButtons            {L"MultiCallButtons",            Kind::Flag,   1,    0,  0,       TRUE};
constexpr Setting kIsToolbarOnTop              {L"IsToolbarOnTop",              Kind::Number, 1,    0,  INT_MAX, TRUE};
constexpr Setting kAllowBlindTransfer          {L"AllowBlindTransfer",          Kind::Flag,   0,    0,  0,       TRUE};
constexpr Setting kAllowConference             {L"AllowConference",             Kind::Flag,   0,    0,  0,       TRUE};
constexpr Setting kExtraMessageForIncomingCall {L"ExtraMessageForIncomingCall", Kind::Flag,   0,    0,  0,       TRUE};
constexpr Setting kInputNumberList             {L"InputNumberList",             Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kMessageListFile             {L"MessageListFile",             Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kVOIPGateWay                 {L"VOIPGateWay",                 Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kVOIPSilenceDetection        {L"VOIPSilenceDetection",        Kind::Flag,   0,    0,  0,       TRUE};
constexpr Setting kVOIPErrorsToSuppress        {L"VOIPErrorsToSuppress",        Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kH323ErrorsToSuppress        {L"H323ErrorsToSuppress",        Kind::Text,   0,    0,  0,       FALSE};
constexpr Setting kLogFileLocation             {L"LogFileLocation",             Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kInputTracePath              {L"InputTracePath",              Kind::Text,   0,    0,  0,       TRUE};
constexpr Setting kOutputTracePath             {L"OutputTracePath",             Kind::Text,   0,    0,  0,       TRUE};
// clang-format on

CString ReadText(const Setting& setting, LPCWSTR pszDefault = L"")
{
    return CIniFileBase::GetString(kSection, setting.name, pszDefault, setting.bWriteBack);
}

bool ReadFlag(const Setting& setting)
{
    return CIniFileBase::GetBool(kSection, setting.name, setting.nDefault != 0, setting.bWriteBack);
}

// The base gives the default on the call that finds a number out of range and stores the nearer
// bound for later calls. That bound is what the value means from now on, so it is used at once:
// the same stored value then reads the same on every run.
int ReadNumber(const Setting& setting)
{
    const int nValue =
        CIniFileBase::GetInt(kSection, setting.name, setting.nDefault, setting.nMin, setting.nMax, setting.bWriteBack);
    int nStored = 0;
    if (CIniFileBase::ReadInt(CIniFileBase::GetUserKey(), kSection, setting.name, nStored) && nStored >= setting.nMin &&
        nStored <= setting.nMax)
        return nStored;
    return nValue;
}

// Ports travel as unsigned 16-bit numbers; anything else would be cut to another port.
int ReadPort(const Setting& setting)
{
    const int nPort = ReadNumber(setting);
    return nPort >= 1 && nPort <= 65535 ? nPort : setting.nDefault;
}
} // namespace

CString CIniFile::GetRemoteHost()
{
    return ReadText(kRemoteHost);
}

int CIniFile::GetRemotePort()
{
    int nPort = ReadNumber(kRemotePortNr);
    if (nPort != 0) return nPort;
    nPort = ReadNumber(ReadFlag(kUseEncryption) ? kRemotePortEncrypted : kRemotePort);
    // Kept whatever the write-back switch says: the choice is made once, later changes of
    // UseEncryption only count after RemotePortNr is set back to 0.
    SetInt(kSection, kRemotePortNr.name, nPort);
    return nPort;
}

int CIniFile::GetApplicationPort()
{
    return ReadPort(kApplicationPort);
}

int CIniFile::GetAppPort()
{
    return ReadPort(kAppPort);
}

int CIniFile::GetLocation()
{
    return ReadNumber(kLocation);
}

bool CIniFile::GetUseAuthentication()
{
    return ReadFlag(kUseAuthentication);
}

CString CIniFile::GetLatestInstalledSetup()
{
    CString version;
    if (!ReadString(GetMachineKey(), kSection, kLatestInstalledSetup.name, version)) version.Empty();
    return version;
}

CString CIniFile::GetAgentMonitorPath()
{
    return ReadText(kAgentMonitorPath);
}

CString CIniFile::GetBrennPath()
{
    return ReadText(kBrennPath);
}

CString CIniFile::GetBrennPathStartupDir()
{
    return ReadText(kBrennPathStartupDir);
}

CString CIniFile::GetQuillanPath()
{
    return ReadText(kQuillanPath);
}

bool CIniFile::GetDebugBrennClient()
{
    return ReadFlag(kDebugBrennClient);
}

bool CIniFile::GetDebugQuillan()
{
    return ReadFlag(kDebugQuillan);
}

int CIniFile::GetLoginScriptId()
{
    return ReadNumber(kLoginScriptId);
}

bool CIniFile::GetStatisticsView()
{
    return ReadFlag(kStatisticsView);
}

bool CIniFile::GetExtendedView()
{
    return ReadFlag(kExtendedView);
}

bool CIniFile::GetCallInfoWindow()
{
    return ReadFlag(kCallInfoWindow);
}

bool CIniFile::GetMultiCallButtons()
{
    return GetExtendedView() && ReadFlag(kMultiCallButtons);
}

bool CIniFile::GetIsToolbarOnTop()
{
    return ReadNumber(kIsToolbarOnTop) != 0;
}

bool CIniFile::GetAllowBlindTransfer()
{
    return ReadFlag(kAllowBlindTransfer);
}

bool CIniFile::GetAllowConference()
{
    return ReadFlag(kAllowConference);
}

bool CIniFile::GetExtraMessageForIncomingCall()
{
    return ReadFlag(kExtraMessageForIncomingCall);
}

CString CIniFile::GetInputNumberList()
{
    return ReadText(kInputNumberList);
}

CString CIniFile::GetMessageListFile()
{
    return ReadText(kMessageListFile);
}

CString CIniFile::GetVOIPGateWay()
{
    return ReadText(kVOIPGateWay);
}

bool CIniFile::GetVOIPSilenceDetection()
{
    return ReadFlag(kVOIPSilenceDetection);
}

CString CIniFile::GetVOIPErrorsToSuppress()
{
    return ReadText(kVOIPErrorsToSuppress, ReadText(kH323ErrorsToSuppress));
}

CString CIniFile::GetLogFileLocation()
{
    return ReadText(kLogFileLocation);
}

CString CIniFile::GetInputTracePath()
{
    return ReadText(kInputTracePath);
}

CString CIniFile::GetOutputTracePath()
{
    return ReadText(kOutputTracePath);
}
