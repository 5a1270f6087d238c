#include "clientctl/tests/LumoClientCtrlTestSupport.h"
#include "core/CStaticTools.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/ModuleExport.h"
#include <cstring>
#include <winsock2.h>

const CLSID kCtrl = {0x1A733E11, 0x6AAE, 0x4E30, {0x80, 0x34, 0xF4, 0x4B, 0x2B, 0x2B, 0xF6, 0x6D}};
const IID kEvents = {0x7AB3C932, 0x6BC6, 0x4128, {0xBB, 0xF3, 0xB3, 0xDB, 0xC3, 0xED, 0x98, 0xB3}};

namespace
{
std::wstring Number(long n)
{
    return std::to_wstring(n);
}

std::wstring ObjectText(IDispatch* pObject)
{
    if (!pObject) return L"null";
    CComVariant keys;
    if (SUCCEEDED(InvokeMember(pObject, 13, DISPATCH_METHOD, {}, &keys)) && keys.vt == VT_DISPATCH)
    {
        // A map: key=value in the map's order.
        CComVariant count;
        InvokeMember(keys.pdispVal, 1, DISPATCH_PROPERTYGET, {}, &count);
        std::wstring text = L"{";
        for (long i = 0; count.vt == VT_I4 && i < count.lVal; ++i)
        {
            CComVariant key, item;
            InvokeMember(keys.pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET, {CComVariant(i)}, &key);
            InvokeMember(pObject, DISPID_VALUE, DISPATCH_PROPERTYGET, {key}, &item);
            text += (i ? L"," : L"") + Text(key) + L"=" + Text(item);
        }
        return text + L"}";
    }
    CComVariant attachments;
    if (SUCCEEDED(InvokeMember(pObject, 5, DISPATCH_PROPERTYGET, {}, &attachments)))
    {
        // A message: From, Subject, Message and its attachments.
        CComVariant from, subject, message;
        InvokeMember(pObject, 1, DISPATCH_PROPERTYGET, {}, &from);
        InvokeMember(pObject, 3, DISPATCH_PROPERTYGET, {}, &subject);
        InvokeMember(pObject, 4, DISPATCH_PROPERTYGET, {}, &message);
        return L"msg(" + Text(from) + L"," + Text(subject) + L"," + Text(message) + L"," + Text(attachments) + L")";
    }
    // A collection: its items in order.
    CComVariant count;
    if (FAILED(InvokeMember(pObject, 1, DISPATCH_PROPERTYGET, {}, &count)) || count.vt != VT_I4) return L"?";
    std::wstring text = L"[";
    for (long i = 0; i < count.lVal; ++i)
    {
        CComVariant item;
        InvokeMember(pObject, DISPID_VALUE, DISPATCH_PROPERTYGET, {CComVariant(i)}, &item);
        text += (i ? L"," : L"") + Text(item);
    }
    return text + L"]";
}
} // namespace

std::wstring BytesText(const std::vector<BYTE>& bytes)
{
    return L"bytes:" + std::to_wstring(bytes.size()) + L"/" +
           std::to_wstring(CStaticTools::GetChecksumForMemory(bytes.data(), static_cast<unsigned long>(bytes.size())));
}

std::wstring Text(const VARIANT& value)
{
    switch (value.vt)
    {
    case VT_I4:
        return Number(value.lVal);
    case VT_I2:
        return Number(value.iVal) + L"s";
    case VT_UI4:
        return std::to_wstring(value.ulVal) + L"u";
    case VT_BOOL:
        return Number(value.boolVal) + L"b";
    case VT_BSTR:
        return L"'" + std::wstring(value.bstrVal ? value.bstrVal : L"") + L"'";
    case VT_DISPATCH:
        return ObjectText(value.pdispVal);
    case VT_ARRAY | VT_UI1: {
        std::vector<BYTE> bytes(value.parray->rgsabound[0].cElements);
        if (!bytes.empty()) std::memcpy(bytes.data(), value.parray->pvData, bytes.size());
        return BytesText(bytes);
    }
    default:
        return L"vt" + Number(value.vt);
    }
}

// An event as "DISPID(arg,arg,...)", the arguments in declared order.
std::wstring EventText(const CRecordingSink::Call& call)
{
    std::wstring text = Number(call.dispId) + L"(";
    for (size_t i = call.args.size(); i-- > 0;)
    {
        const CRecordingSink::Argument& arg = call.args[i];
        text += arg.vt == (VT_BYREF | VT_VARIANT) ? BytesText(arg.bytes) : Text(arg.value);
        if (i) text += L",";
    }
    return text + L")";
}

// A port on 127.0.0.1 where nobody listens: bound once, then let go.
USHORT FreePort()
{
    CSocketHandle probe(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int nLength = sizeof(address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &nLength);
    return ntohs(address.sin_port);
}

CComVariant ByRef(LONG* p)
{
    CComVariant v;
    v.vt = VT_BYREF | VT_I4;
    v.plVal = p;
    return v;
}
CComVariant ByRef(BSTR* p)
{
    CComVariant v;
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = p;
    return v;
}
CComVariant ByRef(IDispatch** p)
{
    CComVariant v;
    v.vt = VT_BYREF | VT_DISPATCH;
    v.ppdispVal = p;
    return v;
}

HRESULT LibraryCanUnload()
{
    HMODULE hLibrary = ::GetModuleHandleW(L"LumoClient.ocx");
    if (!hLibrary) return E_FAIL;
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto pfn = ModuleExport<CanUnload>(hLibrary, "DllCanUnloadNow");
    return pfn ? pfn() : E_FAIL;
}

std::vector<BYTE> Pattern(size_t n)
{
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = PatternByte(i);
    return bytes;
}
