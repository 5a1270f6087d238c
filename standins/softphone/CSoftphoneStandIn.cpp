#include "CSoftphoneStandIn.h"
#include "framework/CComPtr.h"
#include <cwchar>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
constexpr const wchar_t* kWindowClass = L"TessalyOpalStandInWindow";
constexpr UINT_PTR kAutoconnectTimer = 1;
constexpr UINT_PTR kHoldTimer = 2;

// A member of the desktop's table: a property of one type, or a method with one argument or none.
struct Member
{
    DISPID dispid;
    bool bProperty;
    VARTYPE vt; // VT_EMPTY: a method without argument
};
constexpr Member kMembers[] = {
    {2, true, VT_BOOL},    {5, true, VT_BSTR},    {6, true, VT_BSTR},   {8, true, VT_BSTR},    {9, true, VT_BOOL},
    {14, true, VT_BSTR},   {16, true, VT_BOOL},   {18, true, VT_BSTR},  {37, true, VT_R8},     {38, true, VT_UI2},
    {39, true, VT_UI2},    {40, true, VT_UI2},    {42, true, VT_UI2},   {17, false, VT_EMPTY}, {19, false, VT_EMPTY},
    {20, false, VT_EMPTY}, {21, false, VT_EMPTY}, {22, false, VT_BSTR}, {28, false, VT_BSTR},  {29, false, VT_EMPTY},
    {43, false, VT_BSTR},  {44, false, VT_EMPTY}, {49, false, VT_BSTR},
};

const Member* FindMember(DISPID dispid)
{
    for (const Member& m : kMembers)
        if (m.dispid == dispid) return &m;
    return nullptr;
}

// The declared parameters of events 1-12; other DISPIDs are fired with texts.
std::vector<VARTYPE> EventParameters(DISPID dispid)
{
    switch (dispid)
    {
    case 1:
    case 6:
        return {};
    case 9:
        return {VT_I2, VT_BSTR};
    case 10:
    case 11:
        return {VT_BSTR, VT_BSTR};
    default:
        return {VT_BSTR};
    }
}

bool RegisterWindowClass()
{
    const HINSTANCE hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    WNDCLASSEXW existing{sizeof(existing)};
    if (::GetClassInfoExW(hInstance, kWindowClass, &existing)) return true;
    return false;
}

std::string Utf8(const std::wstring& text)
{
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void WriteAll(HANDLE hFile, const void* pData, DWORD cb)
{
    DWORD written = 0;
    ::WriteFile(hFile, pData, cb, &written, nullptr);
}

// A short mono 8 kHz 16-bit recording of silence: what a file of the softphone's looks like.
void WriteSilentWave(HANDLE hFile)
{
    constexpr DWORD kSamples = 800;
    constexpr DWORD kDataBytes = kSamples * 2;
    const BYTE zeros[kDataBytes] = {};
    struct
    {
        char riff[4];
        DWORD riffSize;
        char wave[4];
        char fmt[4];
        DWORD fmtSize;
        WORD format, channels;
        DWORD rate, byteRate;
        WORD blockAlign, bits;
        char data[4];
        DWORD dataSize;
    } header{
        {'R', 'I', 'F', 'F'}, 36 + kDataBytes, {'W', 'A', 'V', 'E'}, {'f', 'm', 't', ' '}, 16, 1, 1, 8000, 16000, 2, 16,
        {'d', 'a', 't', 'a'}, kDataBytes};
    WriteAll(hFile, &header, sizeof(header));
    WriteAll(hFile, zeros, kDataBytes);
}
} // namespace

HRESULT CSoftphoneStandIn::FinalConstruct() noexcept
{
    const HINSTANCE hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    if (!RegisterWindowClass())
    {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = &CSoftphoneStandIn::WindowProc;
        wc.hInstance = hInstance;
        wc.lpszClassName = kWindowClass;
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return HRESULT_FROM_WIN32(::GetLastError());
    }
    m_window.Attach(::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance, nullptr));
    if (!m_window.IsValid()) return HRESULT_FROM_WIN32(::GetLastError());
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    CSoftphoneJournal::Get().AddControlWindow(m_window);
    ++CSoftphoneJournal::Get().m_nObjects;
    return S_OK;
}

void CSoftphoneStandIn::FinalRelease() noexcept
{
    CSoftphoneJournal::Get().RemoveControlWindow(m_window);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    MSG msg;
    while (::PeekMessageW(&msg, m_window, WM_FIRE, WM_FIRE, PM_REMOVE)) // events nobody will hear now
        delete reinterpret_cast<FireRequest*>(msg.lParam);
    m_window.Close();
    if (m_bHasSite) --CSoftphoneJournal::Get().m_nSites;
    --CSoftphoneJournal::Get().m_nObjects;
}

HRESULT CSoftphoneStandIn::IOleObject_SetClientSite(IOleClientSite* pClientSite)
{
    const bool bHasSite = pClientSite != nullptr;
    if (bHasSite != m_bHasSite) CSoftphoneJournal::Get().m_nSites += bHasSite ? 1 : -1;
    m_bHasSite = bHasSite;
    if (pClientSite)
    {
        CComPtr<IDispatch> ambients;
        if (SUCCEEDED(pClientSite->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambients))))
            for (DISPID dispid : {DISPID_AMBIENT_USERMODE, DISPID_AMBIENT_LOCALEID, DISPID_AMBIENT_DISPLAYNAME})
                JournalAmbient(ambients, dispid);
    }
    return CComControlBase::IOleObject_SetClientSite(pClientSite);
}

void CSoftphoneStandIn::JournalAmbient(IDispatch* pAmbients, DISPID dispid)
{
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    CComVariant value;
    if (SUCCEEDED(pAmbients->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                    nullptr)))
        CSoftphoneJournal::Get().Record(dispid, "ambient", &value);
}

// ---- IDispatch ---------------------------------------------------------------------------------

STDMETHODIMP CSoftphoneStandIn::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

STDMETHODIMP CSoftphoneStandIn::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo)
{
    static CComTypeInfoHolder dispatch(DIID__DTessaly_Opal);
    return dispatch.GetTypeInfo(iTInfo, lcid, ppTInfo);
}

STDMETHODIMP CSoftphoneStandIn::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId)
{
    CComPtr<ITypeInfo> info;
    const HRESULT hr = GetTypeInfo(0, lcid, &info);
    if (FAILED(hr)) return hr;
    return info->GetIDsOfNames(rgszNames, cNames, rgDispId);
}

STDMETHODIMP CSoftphoneStandIn::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                       VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    try
    {
        if (!pDispParams) return E_POINTER;
        const Member* pMember = FindMember(dispIdMember);
        if (!pMember) return DISP_E_MEMBERNOTFOUND;
        const bool bPut = (wFlags & DISPATCH_PROPERTYPUT) != 0;
        const bool bGet = (wFlags & DISPATCH_PROPERTYGET) != 0 && !bPut;
        const bool bCall = (wFlags & DISPATCH_METHOD) != 0 && !bPut;
        const char* kind = nullptr;
        if (pMember->bProperty && bPut)
        {
            if (pDispParams->cArgs != 1 || pDispParams->cNamedArgs != 1 ||
                pDispParams->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_BADPARAMCOUNT;
            kind = "put";
        }
        else if (pMember->bProperty && bGet)
        {
            if (pDispParams->cArgs != 0) return DISP_E_BADPARAMCOUNT;
            kind = "get";
        }
        else if (!pMember->bProperty && bCall)
        {
            if (pDispParams->cArgs != (pMember->vt == VT_EMPTY ? 0u : 1u) || pDispParams->cNamedArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            kind = "call";
        }
        else
            return DISP_E_MEMBERNOTFOUND;

        const VARIANT* pArg = pDispParams->cArgs ? &pDispParams->rgvarg[0] : nullptr;
        if (pArg && pArg->vt != pMember->vt)
        {
            if (puArgErr) *puArgErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        CComVariant got;
        if (bGet)
        {
            auto it = m_properties.find(dispIdMember);
            if (it != m_properties.end()) got = it->second;
            if (got.vt == VT_EMPTY && FAILED(got.ChangeType(pMember->vt))) return E_UNEXPECTED;
        }
        CSoftphoneJournal::Get().Record(dispIdMember, kind, bGet ? &got : pArg);
        if (CSoftphoneJournal::Get().ThrowOn() == dispIdMember)
        {
            if (pExcepInfo)
            {
                *pExcepInfo = EXCEPINFO{};
                pExcepInfo->scode = E_FAIL;
                pExcepInfo->bstrSource = ::SysAllocString(L"Tessaly_Opal");
                wchar_t text[64];
                swprintf(text, 64, L"Tessaly_Opal refused DISPID %ld", static_cast<long>(dispIdMember));
                pExcepInfo->bstrDescription = ::SysAllocString(text);
            }
            return DISP_E_EXCEPTION;
        }
        if (bGet)
        {
            if (pVarResult) return got.Detach(pVarResult);
            return S_OK;
        }
        if (pMember->bProperty)
            m_properties[dispIdMember] = *pArg;
        else
            Perform(dispIdMember, pArg);
        return S_OK;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

// What a method does besides being journalled.
void CSoftphoneStandIn::Perform(DISPID dispid, const VARIANT* pArg)
{
    const std::wstring text = pArg && pArg->bstrVal ? std::wstring(pArg->bstrVal, ::SysStringLen(pArg->bstrVal)) : L"";
    switch (dispid)
    {
    case 17: { // dial the number of DISPID 6
        auto it = m_properties.find(6);
        m_dialled = it != m_properties.end() && it->second.bstrVal ? it->second.bstrVal : L"";
        if (const UINT ms = CSoftphoneJournal::Get().AutoconnectMs())
            ::SetTimer(m_window, kAutoconnectTimer, ms, nullptr);
        break;
    }
    case 20:
        PostFire(8, m_currentText);
        break;
    case 21:
        PostFire(7, m_ringText);
        break;
    case 28:
        m_recording.Attach(::CreateFileW(text.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (m_recording.IsValid()) WriteSilentWave(m_recording);
        break;
    case 29:
        if (const UINT ms = CSoftphoneJournal::Get().HoldMs())
            ::SetTimer(m_window, kHoldTimer, ms, nullptr);
        else
            m_recording.Close();
        break;
    case 43:
        m_log.Attach(::CreateFileW(text.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        break;
    case 44:
        m_log.Close();
        break;
    case 49:
        if (m_log.IsValid())
        {
            const std::string line = Utf8(text) + "\r\n";
            WriteAll(m_log, line.data(), static_cast<DWORD>(line.size()));
        }
        break;
    default:
        break;
    }
}

void CSoftphoneStandIn::OnTimer(UINT_PTR nIDEvent)
{
    ::KillTimer(m_window, nIDEvent);
    if (nIDEvent == kAutoconnectTimer)
    {
        m_currentText = m_dialled;
        Fire(7, {CComVariant(m_dialled.c_str())});
    }
    else if (nIDEvent == kHoldTimer)
        m_recording.Close();
}

void CSoftphoneStandIn::PostFire(DISPID dispid, const std::wstring& text)
{
    auto* pRequest = new FireRequest{dispid, {text}};
    if (!::PostMessageW(m_window, WM_FIRE, 0, reinterpret_cast<LPARAM>(pRequest))) delete pRequest;
}

void CSoftphoneStandIn::FireRequested(const FireRequest& request)
{
    const std::vector<VARTYPE> declared = EventParameters(request.dispid);
    std::vector<CComVariant> args;
    for (size_t i = 0; i < request.args.size(); ++i)
    {
        if (i < declared.size() && declared[i] == VT_I2)
            args.emplace_back(static_cast<short>(std::wcstol(request.args[i].c_str(), nullptr, 10)));
        else
            args.emplace_back(request.args[i].c_str());
    }
    // The texts the desktop matches calls by
    if (request.dispid == 5 && !request.args.empty()) m_ringText = request.args[0];
    if (request.dispid == 7 && !request.args.empty()) m_currentText = request.args[0];
    Fire(request.dispid, args);
}

void CSoftphoneStandIn::Fire(DISPID dispid, const std::vector<CComVariant>& args)
{
    CComPtr<IUnknown> keep(GetUnknown()); // a sink may close us while it is called
    const int nSlots = m_vec.GetSize();
    for (int i = 0; i < nSlots; ++i)
    {
        CComPtr<IDispatch> sink(static_cast<IDispatch*>(static_cast<void*>(m_vec.GetAt(i))));
        if (!sink) continue;
        std::vector<CComVariant> argv(args.rbegin(), args.rend());
        DISPPARAMS params{argv.empty() ? nullptr : argv.data(), nullptr, static_cast<UINT>(argv.size()), 0};
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
}

LRESULT CALLBACK CSoftphoneStandIn::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* pControl = reinterpret_cast<CSoftphoneStandIn*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_FIRE)
    {
        auto* pRequest = reinterpret_cast<FireRequest*>(lParam);
        try
        {
            if (pControl) pControl->FireRequested(*pRequest);
        }
        catch (...) // a failed event is lost, the control goes on
        {
        }
        delete pRequest;
        return 0;
    }
    if (message == WM_TIMER && pControl)
    {
        pControl->OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- IPersistStreamInit -----------------------------------------------------------------------

STDMETHODIMP CSoftphoneStandIn::GetClassID(CLSID* pClassID)
{
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_Tessaly_Opal;
    return S_OK;
}

STDMETHODIMP CSoftphoneStandIn::IsDirty()
{
    return S_FALSE;
}

STDMETHODIMP CSoftphoneStandIn::Load(LPSTREAM)
{
    return E_NOTIMPL;
}

STDMETHODIMP CSoftphoneStandIn::Save(LPSTREAM, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CSoftphoneStandIn::GetSizeMax(ULARGE_INTEGER* pCbSize)
{
    if (pCbSize) pCbSize->QuadPart = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CSoftphoneStandIn::InitNew()
{
    return CSoftphoneJournal::Get().FailCreate() ? E_FAIL : S_OK;
}
