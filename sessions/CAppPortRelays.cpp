#include "sessions/CAppPortRelays.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CJexSocket.h"
#include "sessions/CSessionCore.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CException.h"
#include "framework/CStdioFile.h"
#include <algorithm>

namespace
{
struct BuiltInSetting
{
    long nId;
    LPCWSTR pszName;
    int nPermissionBit;
    bool bOnOldPort; // the first interface knew only the first two
};
// Switches of Jex's permission bits that BrennClient and Quillan read as settings.
constexpr BuiltInSetting kBuiltInSettings[] = {
    {-1, L"OrvialFullScreen", 5, true},
    {-2, L"OrvialHideLumo", 6, true},
    {-3, L"IsAllowStartRecording", 9, false},
};

void (*g_pfnUtcNow)(SYSTEMTIME&) = nullptr;
bool g_bZonePinned = false;
TIME_ZONE_INFORMATION g_zone{};

CString FormatLogPrefix()
{
    SYSTEMTIME utc{};
    if (g_pfnUtcNow)
        g_pfnUtcNow(utc);
    else
        ::GetSystemTime(&utc);
    SYSTEMTIME local{};
    if (!::SystemTimeToTzSpecificLocalTime(g_bZonePinned ? &g_zone : nullptr, &utc, &local))
    {
        // Without the zone no time of day can be told; the UTC date is the best there is.
        CString strPrefix;
        strPrefix.Format(L"%02d:%02d:%02d  %02hu-%02hu-%04hu ", -1, -1, -1, utc.wDay, utc.wMonth, utc.wYear);
        return strPrefix;
    }
    CString strPrefix;
    strPrefix.Format(L"%02d:%02d:%02d  %02hu-%02hu-%04hu ", static_cast<int>(local.wHour),
                     static_cast<int>(local.wMinute), static_cast<int>(local.wSecond), local.wDay, local.wMonth,
                     local.wYear);
    return strPrefix;
}
} // namespace

BOOL CAppPortRelays::RelayInterviewData(CJexSocket* pJex, long nSurveyId, long nCallId, const BYTE* pData,
                                        DWORD nLength, DWORD nCrc, BOOL bCurrentPort, const CString& strLogFile)
{
    const DWORD nComputed = CStaticTools::GetChecksumForMemory(pData, nLength);
    if (nComputed != nCrc)
    {
        WriteLogLine(strLogFile, FormatRefusal(nSurveyId, nCallId, nComputed, nCrc, bCurrentPort));
        return FALSE;
    }
    if (!pJex) return FALSE;
    return pJex->SendInterviewData(nSurveyId, nCallId, pData, nLength, nCrc, bCurrentPort);
}

CString CAppPortRelays::FormatRefusal(long nSurveyId, long nCallId, DWORD nComputed, DWORD nReceived, BOOL bCurrentPort)
{
    CString strText;
    strText.Format(bCurrentPort ? L"Not relaying interview data for Survey <%ld>, Call <%ld> to Jex: Invalid Checksum "
                                  L"when data was received (Calculated %lu - should be %lu)"
                                : L"Not relaying interview data for Survey <%lu>, Call <%lu> to Jex: Invalid Checksum "
                                  L"when data was received (Calculated %lu - should be %lu)",
                   nSurveyId, nCallId, static_cast<unsigned long>(nComputed), static_cast<unsigned long>(nReceived));
    return strText;
}

BOOL CAppPortRelays::WriteLogLine(const CString& strLogFile, const CString& strText)
{
    if (strLogFile.IsEmpty()) return FALSE;
    const CString strLine = FormatLogPrefix() + strText + L"\n";
    try
    {
        CStdioFile file;
        if (!file.Open(strLogFile, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite |
                                       CFile::shareDenyWrite | CFile::typeText))
            return FALSE;
        file.SeekToEnd();
        file.WriteString(strLine);
        file.Close();
        return TRUE;
    }
    catch (CException* pError)
    {
        pError->Delete(); // a full disk loses the line, not the relay
        return FALSE;
    }
}

void CAppPortRelays::SetClock(void (*pfnUtcNow)(SYSTEMTIME&), const TIME_ZONE_INFORMATION* pZone)
{
    g_pfnUtcNow = pfnUtcNow;
    g_bZonePinned = pZone != nullptr;
    if (pZone) g_zone = *pZone;
}

CAgentSetting CAppPortRelays::MakeApplicationSetting(long nSettingId, const CString& strName, long nNumber,
                                                     const CString& strText)
{
    CAgentSetting setting;
    setting.m_nId = nSettingId;
    setting.m_strName = strName;
    setting.m_nType = CSettingBase::typeNumberAndText;
    setting.SetValue(nNumber); // widens the limits to the whole range and clears the default mark
    setting.m_strValue = strText;
    setting.m_bIsDefaultValue = false;
    return setting;
}

CPropertyList CAppPortRelays::MakeSettingAnswer(const std::shared_ptr<const CAgentSetting>& pSetting)
{
    CPropertyList answer;
    if (!pSetting) return answer;
    const CAgentSetting& setting = *pSetting;
    const int32_t nValue = setting.m_bIsDefaultValue ? setting.m_nDefaultValue : setting.m_nValue;
    // A wrong pair of limits would make clamp undefined: the value then stays as it is.
    const int32_t nLimited =
        setting.m_nMinimum <= setting.m_nMaximum ? std::clamp(nValue, setting.m_nMinimum, setting.m_nMaximum) : nValue;
    answer.SetProperty(L"Id", static_cast<long>(setting.m_nId));
    answer.SetProperty(L"Name", setting.m_strName);
    answer.SetProperty(L"Del", setting.m_bDeleted ? 1L : 0L);
    answer.SetProperty(L"lValue", static_cast<long>(nLimited));
    answer.SetProperty(L"strValue", setting.m_bIsDefaultValue ? setting.m_strDefault : setting.m_strValue);
    return answer;
}

CPropertyList CAppPortRelays::AnswerSettingRequest(CSessionCore& core, long nApplicationId, long nSettingId,
                                                   BOOL bCurrentPort)
{
    const bool bBrennClient = nApplicationId == CSessionCore::kBrennClientId;
    const bool bForProgram = bBrennClient || (bCurrentPort && nApplicationId == CSessionCore::kQuillanId);
    for (const BuiltInSetting& builtIn : kBuiltInSettings)
    {
        if (builtIn.nId != nSettingId || !bForProgram || (!bCurrentPort && !builtIn.bOnOldPort)) continue;
        CPropertyList answer;
        answer.SetProperty(L"Id", builtIn.nId);
        answer.SetProperty(L"Name", builtIn.pszName);
        answer.SetProperty(L"Del", 0L);
        // Without the switches, bit 9's stays on as it is until the first SETPER.
        IPermissionSwitches* pSwitches = core.Roles().Find<IPermissionSwitches>(__func__);
        const BOOL bOn = pSwitches ? pSwitches->IsPermissionOn(builtIn.nPermissionBit) : builtIn.nPermissionBit == 9;
        answer.SetProperty(L"lValue", bOn ? 1L : 0L);
        answer.SetProperty(L"strValue", builtIn.pszName);
        return answer;
    }
    return MakeSettingAnswer(core.GetApplicationSetting(nApplicationId, nSettingId));
}
