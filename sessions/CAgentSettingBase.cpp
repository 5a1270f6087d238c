#include "sessions/CAgentSettingBase.h"
#include <algorithm>
#include <iterator>

IMPLEMENT_DYNCREATE(CAgentSettingBase, CSettingBase)

namespace
{
struct AgentSettingDefaults
{
    int32_t nId;
    const wchar_t* pszKey;
    int32_t nType;
    int32_t nDefault;
    int32_t nMaximum; // read for number settings only; yes/no settings keep theirs
};

constexpr int32_t kColorLimit = 0x1000000;

constexpr AgentSettingDefaults kAgentSettings[] = {
    {1, L"SettingsImportedInDB", 1, 0, 0},
    {500, L"Options_MDISnapActive", 1, 1, 0},
    {501, L"Options_MDISnapWidth", 2, 15, 100},
    {502, L"Options_MDISnapOnByDefault", 1, 1, 0},
    {525, L"Alarms_ShowTrayIcon", 1, 1, 0},
    {650, L"MessagesView_ViewTop", 1, 1, 0},
    {651, L"MessagesView_ViewLimit", 2, 100, 10000},
    {700, L"OverviewColor_InboundGroup", 2, 0xFF80FF, kColorLimit},
    {701, L"OverviewColor_ExternalNumber", 2, 0x808040, kColorLimit},
    {702, L"OverviewColor_Project", 2, 0x80FF80, kColorLimit},
    {703, L"OverviewColor_Agent", 2, 0x80FFFF, kColorLimit},
    {704, L"OverviewColor_Location", 2, 0x0080FF, kColorLimit},
    {705, L"OverviewColor_Exit", 2, 0x2040FF, kColorLimit},
    {706, L"OverviewColor_NotAllowedToView", 2, 0x20392F, kColorLimit},
    {750, L"QueueChartColor_Available", 2, 0x00C000, kColorLimit},
    {751, L"QueueChartColor_Pause", 2, 0x00FFFF, kColorLimit},
    {752, L"QueueChartColor_Busy", 2, 0x0000FF, kColorLimit},
    {753, L"QueueChartColor_Othergroup", 2, 0x3399FF, kColorLimit},
    {754, L"QueueChartColor_Outbound", 2, 0xFF0000, kColorLimit},
    {755, L"QueueChartColor_Inactive", 2, 0xC0C0C0, kColorLimit},
    {756, L"QueueChartColor_Occupied", 2, 0x0000FF, kColorLimit},
    {757, L"QueueChartColor_Empty", 2, 0xE1E1E1, kColorLimit},
    {800, L"Settings_AppointmentSpan", 2, 30, 10000000},
    {1000, L"Settings_ToolbarOnTop", 1, 0, 0},
};
} // namespace

CAgentSettingBase::CAgentSettingBase() : CSettingBase(-1, -1) {}

CAgentSettingBase::CAgentSettingBase(int32_t nId) : CSettingBase(-1, nId)
{
    InitDefaults();
}

CAgentSettingBase::CAgentSettingBase(const CAgentSettingBase& other) : CSettingBase(other) {}

void CAgentSettingBase::Assign(const CJexObject& other)
{
    if (&other != this && other.IsKindOf(RUNTIME_CLASS(CAgentSettingBase)))
        CopySetting(static_cast<const CAgentSettingBase&>(other));
}

CAgentSettingBase& CAgentSettingBase::operator=(const CAgentSettingBase& other)
{
    if (&other != this) CopySetting(other);
    return *this;
}

BOOL CAgentSettingBase::IsEqual(const CAgentSettingBase& other) const
{
    return CSettingBase::IsEqual(other);
}

BOOL CAgentSettingBase::InitDefaults()
{
    m_bInitialising = true;
    m_bFlag2 = false;
    const auto it = std::find_if(std::begin(kAgentSettings), std::end(kAgentSettings),
                                 [this](const AgentSettingDefaults& entry) { return entry.nId == m_nId; });
    if (it == std::end(kAgentSettings))
    {
        m_nType = typeUnknown; // the received name stays
        m_bInitialising = false;
        return FALSE;
    }
    m_strName = it->pszKey;
    m_nType = it->nType;
    m_nDefaultValue = it->nDefault;
    if (m_nType == typeNumber) m_nMaximum = it->nMaximum;
    m_bInitialising = false;
    return TRUE;
}
