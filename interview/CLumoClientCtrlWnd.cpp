#include "interview/CLumoClientCtrlWnd.h"
#include "framework/AfxEventSinkMap.h"
#include "framework/CRect.h"

namespace
{
namespace Id
{
constexpr DISPID kPort = 2, kApplicationId = 3, kUTCShiftServer = 10, kInit = 20, kShowLumoClient = 25,
                 kGetVersionInfoString = 47, kGetAgentSetting = 62;
}
} // namespace

// {1A733E11-6AAE-4E30-8034-F44B2B2BF66D}
const CLSID CLumoClientCtrlWnd::kClsid = {0x1A733E11, 0x6AAE, 0x4E30, {0x80, 0x34, 0xF4, 0x4B, 0x2B, 0x2B, 0xF6, 0x6D}};

BOOL CLumoClientCtrlWnd::Create(CWnd* pParentWnd, UINT nID)
{
    return CreateControl(kClsid, nullptr, WS_CHILD, CRect(0, 0, 0, 0), pParentWnd, nID);
}

void CLumoClientCtrlWnd::SetApplicationId(long nApplicationId)
{
    SetProperty(Id::kApplicationId, VT_I4, nApplicationId);
}

void CLumoClientCtrlWnd::SetPort(USHORT nPort)
{
    SetProperty(Id::kPort, VT_I2, static_cast<int>(static_cast<short>(nPort)));
}

BOOL CLumoClientCtrlWnd::Init()
{
    BOOL bResult = FALSE;
    InvokeHelper(Id::kInit, DISPATCH_METHOD, VT_BOOL, &bResult, nullptr);
    return bResult;
}

long CLumoClientCtrlWnd::GetUTCShiftServer() const
{
    long nShift = 0;
    GetProperty(Id::kUTCShiftServer, VT_I4, &nShift);
    return nShift;
}

BOOL CLumoClientCtrlWnd::GetAgentSetting(long nSettingId, long& nValue)
{
    static const BYTE kParams[] = VTS_I4 VTS_PI4 VTS_PBSTR;
    BSTR bstrText = nullptr;
    BOOL bFound = FALSE;
    try
    {
        InvokeHelper(Id::kGetAgentSetting, DISPATCH_METHOD, VT_BOOL, &bFound, kParams, nSettingId, &nValue, &bstrText);
    }
    catch (...)
    {
        ::SysFreeString(bstrText);
        throw;
    }
    ::SysFreeString(bstrText);
    return bFound;
}

CString CLumoClientCtrlWnd::GetVersionInfoString()
{
    CString version;
    InvokeHelper(Id::kGetVersionInfoString, DISPATCH_METHOD, VT_BSTR, &version, nullptr);
    return version;
}

void CLumoClientCtrlWnd::ShowLumoClient(short nMode)
{
    static const BYTE kParams[] = VTS_I2;
    InvokeHelper(Id::kShowLumoClient, DISPATCH_METHOD, VT_EMPTY, nullptr, kParams, static_cast<int>(nMode));
}
