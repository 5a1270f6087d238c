#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoClientCallCollection.h"
#include "clientctl/CLumoClientMap.h"
#include "clientctl/CLumoClientMessage.h"
#include "clientctl/CLumoClientStringCollection.h"
#include "clientctl/CPayloadArray.h"
#include "clientctl/CLumoSocket.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "core/CVersionInfo.h"
#include "framework/AfxMessageBox.h"
#include "framework/CFile.h"
#include "framework/CHandleOwner.h"
#include <vector>

namespace
{
// The error sink's log file; its address also names this module to the version check.
constexpr const wchar_t* kLogFile = CLumoClientErrorSink::kLogFile;
} // namespace

CLumoClientCtrl::~CLumoClientCtrl()
{
    // FinalRelease normally released the link; an object that never finished construction did not.
    if (m_pLink)
    {
        m_pLink->SetControl(nullptr);
        m_pLink->SafeDelete();
    }
}

void CLumoClientCtrl::FinalRelease() noexcept
{
    try
    {
        Uninit(nullptr);
    }
    catch (...)
    {
        // The object goes away regardless; there is no caller to tell.
    }
}

// ---------------------------------------------------------------------------------------------
// Properties and the connection

STDMETHODIMP CLumoClientCtrl::get_LumoAddress(BSTR* pVal)
{
    if (!pVal) return E_POINTER;
    return m_strLumoAddress.CopyTo(pVal);
}

STDMETHODIMP CLumoClientCtrl::put_LumoAddress(BSTR newVal)
{
    try
    {
        m_strLumoAddress = newVal;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_Port(SHORT* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nPort;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::put_Port(SHORT newVal)
{
    m_nPort = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_ApplicationId(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nApplicationId;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::put_ApplicationId(LONG newVal)
{
    m_nApplicationId = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_JexConnectionState(ConnectionStates* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nJexConnectionState;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_LumoConnectionState(ConnectionStates* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nLumoConnectionState;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_PauseReasonId(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nPauseReasonId;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_AgentState(AgentStates* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nAgentState;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_LogMode(LogModes* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nLogMode;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::put_LogMode(LogModes newVal)
{
    m_nLogMode = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_UTCShiftServer(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = CTimeTools::m_nUTCShift_sec;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::Init(VARIANT_BOOL* bResult)
{
    if (!bResult) return E_POINTER;
    try
    {
        if (m_nLumoConnectionState == connection_Connected && m_pLink)
        {
            *bResult = VARIANT_TRUE;
            return S_OK;
        }
        *bResult = VARIANT_FALSE;
        CSelfReference keepAlive(*this);
        ReleaseLink();
        m_pLink = new CLumoSocket(this);
        // The port travels as a signed 16-bit number; ports above 32767 arrive negative.
        const short nPort = m_nPort;
        CLumoSocket* pLink = m_pLink;
        const BOOL bConnected = pLink->Connect(m_strLumoAddress.m_str ? m_strLumoAddress.m_str : L"", nPort,
                                               m_nApplicationId, m_bPossibleMessageMaster);
        // The wait pumped: the link may have been lost, or the control uninitialised, meanwhile.
        if (bConnected && m_pLink == pLink)
        {
            m_nLumoConnectionState = connection_Connected;
            *bResult = VARIANT_TRUE;
            Fire_LumoConnectionChanged(connection_Connected);
        }
        else
        {
            m_nLumoConnectionState = connection_Disconnected;
            Fire_LumoConnectionChanged(connection_Disconnected);
        }
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::GetVersionInfoString(BSTR* lReturnVal)
{
    if (!lReturnVal) return S_OK;
    try
    {
        CVersionInfo version;
        // Any address of this library names the module it is linked into.
        const CString strVersion = version.ReadFromAddress(kLogFile) ? version.m_strVersion : CString();
        *lReturnVal = ::SysAllocString(strVersion.GetString());
        if (!*lReturnVal) return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::Uninit(VARIANT_BOOL* bResult)
{
    if (bResult) *bResult = VARIANT_FALSE;
    if (!m_pLink) return S_OK;
    if (bResult) *bResult = VARIANT_TRUE;
    m_pLink->Disconnect();
    ReleaseLink();
    m_nLumoConnectionState = connection_Disconnected;
    m_nJexConnectionState = connection_Unknown;
    m_nAgentState = agentstate_UnKnown;
    return S_OK;
}

// Detached first: a close the socket thread reports later reaches nobody.
void CLumoClientCtrl::ReleaseLink()
{
    CLumoSocket* pLink = m_pLink;
    if (!pLink) return;
    m_pLink = nullptr;
    pLink->SetControl(nullptr);
    pLink->SafeDelete();
}

// ---------------------------------------------------------------------------------------------
// Drawing

HRESULT CLumoClientCtrl::OnDraw(ATL_DRAWINFO& di)
{
    const RECT& rc = *reinterpret_cast<const RECT*>(di.prcBounds);
    const HDC hdc = di.hdcDraw;
    CGdiHandle<HRGN> oldClip(::CreateRectRgn(0, 0, 0, 0));
    if (!oldClip.IsValid()) return E_OUTOFMEMORY;
    const bool bHadClip = ::GetClipRgn(hdc, oldClip) == 1;
    // Within whatever the container clipped to already, in the DC's own coordinates.
    ::IntersectClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
    ::Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
    const UINT nOldAlign = ::SetTextAlign(hdc, TA_CENTER | TA_BASELINE);
    static const wchar_t kText[] = L"LumoClientCtrl";
    ::TextOutW(hdc, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, kText, static_cast<int>(wcslen(kText)));
    ::SetTextAlign(hdc, nOldAlign);
    ::SelectClipRgn(hdc, bHadClip ? static_cast<HRGN>(oldClip) : nullptr);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The error sink

void CLumoClientCtrl::LogError(const CString& strText)
{
    m_errorSink.Report(m_nLogMode, strText);
}

void CLumoClientCtrl::ShowErrorBox(const CString& strText)
{
    CSelfReference keepAlive(*this); // the box pumps
    AfxMessageBox(strText.GetString(), MB_OK, 0);
}

void CLumoClientCtrl::FireErrorEvent(const CString& strText)
{
    CComBSTR text(strText.GetString());
    Fire_LumoClientError(text);
}

void CLumoClientCtrl::OnError(const CString& strText)
{
    LogError(strText);
}

// ---------------------------------------------------------------------------------------------
// State reported by the link

void CLumoClientCtrl::OnLumoConnectionPending()
{
    CSelfReference keepAlive(*this);
    m_nLumoConnectionState = connection_Pending;
    Fire_LumoConnectionChanged(connection_Pending);
}

void CLumoClientCtrl::OnJexConnectionChanged(BOOL bConnected)
{
    CSelfReference keepAlive(*this);
    m_nJexConnectionState = bConnected ? connection_Connected : connection_Disconnected;
    Fire_JexConnectionChanged(m_nJexConnectionState);
}

void CLumoClientCtrl::OnAgentStateChanged(short nAgentState)
{
    CSelfReference keepAlive(*this);
    m_nAgentState = static_cast<AgentStates>(nAgentState);
    Fire_AgentStateChanged(m_nAgentState);
}

void CLumoClientCtrl::OnDisconnected(int /*nErrorCode*/)
{
    CSelfReference keepAlive(*this);
    ReleaseLink();
    m_nJexConnectionState = connection_Unknown;
    Fire_JexConnectionChanged(connection_Unknown);
    m_nAgentState = agentstate_UnKnown;
    Fire_AgentStateChanged(agentstate_UnKnown);
    m_nLumoConnectionState = connection_Disconnected;
    Fire_LumoConnectionChanged(connection_Disconnected);
}

void CLumoClientCtrl::OnUTCShiftServerChanged(long nOldShift, long nNewShift)
{
    CSelfReference keepAlive(*this);
    Fire_UTCShiftServerChanged(nOldShift, nNewShift);
}

// The link has compared the payload's CRC-32 with the checksum and reported a mismatch itself.
// ---------------------------------------------------------------------------------------------
// Conversions (the argument helper's work; the members stay the control's)

long CLumoClientCtrl::ParsePropertyListToLumoClientMap(const CPropertyList& list, ILumoClientMap* pMap)
{
    return m_arguments.ParsePropertyListToLumoClientMap(list, pMap);
}

long CLumoClientCtrl::ParsePropertyListToIdMap(const CPropertyList& list, ILumoClientMap* pMap)
{
    return m_arguments.ParsePropertyListToIdMap(list, pMap);
}

long CLumoClientCtrl::ParseAgentList(const CPropertyList& list, ILumoClientMap* pFirstNames, ILumoClientMap* pLastNames,
                                     ILumoClientMap* pUserNames)
{
    return m_arguments.ParseAgentList(list, pFirstNames, pLastNames, pUserNames);
}

long CLumoClientCtrl::ParseLocationList(const CPropertyList& list, ILumoClientMap* pNames,
                                        ILumoClientMap* pComputerNames)
{
    return m_arguments.ParseLocationList(list, pNames, pComputerNames);
}

BOOL CLumoClientCtrl::ParseLumoClientMapToPropertyList(ILumoClientMap* pMap, CPropertyList& list)
{
    return m_arguments.ParseLumoClientMapToPropertyList(pMap, list);
}

BOOL CLumoClientCtrl::ParseLumoClientStringCollectionToCStringArray(ILumoClientStringCollection* pCollection,
                                                                    CStringArray& arr)
{
    return m_arguments.ParseLumoClientStringCollectionToCStringArray(pCollection, arr);
}

BOOL CLumoClientCtrl::ParseLumoClientStringCollectionToLongList(ILumoClientStringCollection* pCollection,
                                                                CList<long, long>& list)
{
    return m_arguments.ParseLumoClientStringCollectionToLongList(pCollection, list);
}

BOOL CLumoClientCtrl::ParseAttachmentsMap(ILumoClientMap* pMap, CMessage& message)
{
    return m_arguments.ParseAttachmentsMap(pMap, message);
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientCtrl, CLumoClientCtrl)
