#pragma once
#include "framework/CComCoClass.h"
#include "framework/CComControl.h"
#include "framework/CComObjectRootEx.h"
#include "framework/CComVariant.h"
#include "framework/CHandleOwner.h"
#include "framework/IConnectionPointContainerImpl.h"
#include "framework/IConnectionPointImpl.h"
#include "framework/IOleControlImpl.h"
#include "framework/IOleInPlaceActiveObjectImpl.h"
#include "framework/IOleInPlaceObjectWindowlessImpl.h"
#include "framework/IOleObjectImpl.h"
#include "framework/IProvideClassInfo2Impl.h"
#include "CCountedSinkArray.h"
#include "Tessaly_Opal.h"
#include <map>
#include <string>
#include <vector>
// The softphone as the agent desktop sees it, for tests: it accepts exactly the desktop's
// properties and methods with their VARIANT types (any other type: DISP_E_TYPEMISMATCH), journals
// each, and fires the events the control link asks for from its own message-only window, on the
// thread that made it. Dial with "autoconnect" connects after the given time; Answer connects the
// ringing call; HangUp hangs the current one up. StartLog/WriteLog/StopLog keep a text file;
// StartRecording writes a WAV file that stays open until StopRecording (and "hold" ms more).
class CSoftphoneStandIn : public CComObjectRootEx<CComSingleThreadModel>,
                          public IDispatch,
                          public CComControl<CSoftphoneStandIn>,
                          public IOleControlImpl<CSoftphoneStandIn>,
                          public IOleObjectImpl<CSoftphoneStandIn>,
                          public IOleInPlaceActiveObjectImpl<CSoftphoneStandIn>,
                          public IOleInPlaceObjectWindowlessImpl<CSoftphoneStandIn>,
                          public IPersistStreamInit,
                          public IConnectionPointContainerImpl<CSoftphoneStandIn>,
                          public IConnectionPointImpl<CSoftphoneStandIn, &DIID__DTessaly_OpalEvents, CCountedSinkArray>,
                          public IProvideClassInfo2Impl<&CLSID_Tessaly_Opal, &DIID__DTessaly_OpalEvents>,
                          public CComCoClass<CSoftphoneStandIn, &CLSID_Tessaly_Opal>
{
public:
    DECLARE_NOT_AGGREGATABLE(CSoftphoneStandIn)
    DECLARE_OLEMISC_STATUS(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME | OLEMISC_ACTIVATEWHENVISIBLE |
                           OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE)

    BEGIN_COM_MAP(CSoftphoneStandIn)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY_IID(DIID__DTessaly_Opal, IDispatch)
    COM_INTERFACE_ENTRY(IOleObject)
    COM_INTERFACE_ENTRY(IOleControl)
    COM_INTERFACE_ENTRY(IOleInPlaceObjectWindowless)
    COM_INTERFACE_ENTRY(IOleInPlaceObject)
    COM_INTERFACE_ENTRY2(IOleWindow, IOleInPlaceObjectWindowless)
    COM_INTERFACE_ENTRY(IOleInPlaceActiveObject)
    COM_INTERFACE_ENTRY(IPersistStreamInit)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    COM_INTERFACE_ENTRY(IProvideClassInfo)
    COM_INTERFACE_ENTRY(IProvideClassInfo2)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(CSoftphoneStandIn)
    CONNECTION_POINT_ENTRY(DIID__DTessaly_OpalEvents)
    END_CONNECTION_POINT_MAP()

    HRESULT FinalConstruct() noexcept;
    void FinalRelease() noexcept;
    // Counts the site it holds and journals the ambients it reads from it.
    HRESULT IOleObject_SetClientSite(IOleClientSite* pClientSite);

    // IDispatch
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    // IPersistStreamInit: nothing is kept; InitNew fails in "fail-create" mode
    STDMETHOD(GetClassID)(CLSID* pClassID) override;
    STDMETHOD(IsDirty)() override;
    STDMETHOD(Load)(LPSTREAM) override;
    STDMETHOD(Save)(LPSTREAM, BOOL) override;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* pCbSize) override;
    STDMETHOD(InitNew)() override;

    // An event as the link asks for it: the texts are brought to the event's declared types.
    struct FireRequest
    {
        DISPID dispid;
        std::vector<std::wstring> args;
    };
    static constexpr UINT WM_FIRE = WM_APP + 1; // lParam: a FireRequest* the window deletes

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Fire(DISPID dispid, const std::vector<CComVariant>& args);
    void FireRequested(const FireRequest& request);
    void PostFire(DISPID dispid, const std::wstring& text);
    void Perform(DISPID dispid, const VARIANT* pArg);
    void OnTimer(UINT_PTR nIDEvent);
    void JournalAmbient(IDispatch* pAmbients, DISPID dispid);

    CWindowHandle m_window; // message-only: events leave from here
    std::map<DISPID, CComVariant> m_properties;
    std::wstring m_ringText;
    std::wstring m_currentText;
    std::wstring m_dialled;
    CFileHandle m_log;
    CFileHandle m_recording;
    bool m_bHasSite = false;
};
