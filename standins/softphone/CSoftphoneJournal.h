#pragma once
#include "framework/Platform.h"
#include <oleauto.h>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>
// What the stand-in has been told and how it is to behave, shared by the controls (on their
// thread) and the control link (on its own). One per process.
//
// A journal entry is one line: "<dispid>\t<kind>\t<vt>\t<thread id>\t<value>", kind one of put,
// get, call, ambient; the value in the same escaped form as the link's lines (backslash, tab,
// line feed and carriage return as \\ \t \n \r), empty for none.
class CSoftphoneJournal
{
public:
    static CSoftphoneJournal& Get();

    void Record(DISPID dispid, const char* kind, const VARIANT* pValue);
    std::vector<std::string> Entries() const;

    // One MODE command's words ("fail-create", "throw-on 19", "license key", "autoconnect 50",
    // "hold 200", "reset"); false for words it does not know.
    bool SetMode(const std::string& words);
    bool FailCreate() const noexcept { return m_bFailCreate; }
    DISPID ThrowOn() const noexcept { return m_throwOn; }
    std::wstring LicenseKey() const;
    UINT AutoconnectMs() const noexcept { return m_nAutoconnectMs; }
    UINT HoldMs() const noexcept { return m_nHoldMs; }

    // The windows of the live controls, newest last: FIRE goes to the newest.
    void AddControlWindow(HWND hwnd);
    void RemoveControlWindow(HWND hwnd);
    HWND NewestControlWindow() const;

    std::atomic<int> m_nObjects{0};   // live controls
    std::atomic<int> m_nSites{0};     // client sites the controls hold
    std::atomic<int> m_nSinks{0};     // event sinks advised on the controls
    std::atomic<int> m_nFactories{0}; // live class objects

    static std::string Escape(const std::wstring& text);
    static std::wstring Unescape(const std::string& text);

private:
    CSoftphoneJournal() = default;
    mutable std::mutex m_lock;
    std::vector<std::string> m_entries;
    std::vector<HWND> m_windows;
    std::wstring m_licenseKey;
    std::atomic<bool> m_bFailCreate{false};
    std::atomic<DISPID> m_throwOn{DISPID_UNKNOWN};
    std::atomic<UINT> m_nAutoconnectMs{0};
    std::atomic<UINT> m_nHoldMs{0};
};
