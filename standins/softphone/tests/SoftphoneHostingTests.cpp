// The framework's control container against the softphone stand-in, the way the agent desktop hosts
// it: created by CLSID under the context of Softphone.manifest as child 1261 of a window with its own
// event-sink map, called by DISPID, heard through the map.
#include "framework/AfxEnableControlContainer.h"
#include "framework/AfxEventSinkMap.h"
#include "framework/AfxOleLockControl.h"
#include "framework/CComBSTR.h"
#include "framework/COleDispatchException.h"
#include "framework/CWnd.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/MessagePump.h"
#include "standins/softphone/testing/CSoftphoneDriver.h"
#include <gtest/gtest.h>
#include <olectl.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
const CLSID kSoftphoneClsid = {0xAC666EF2, 0xBDD8, 0x46FD, {0x8D, 0x7D, 0xE1, 0xD2, 0x50, 0x87, 0xAE, 0x52}};
constexpr UINT kSoftphoneId = 1261;
const RECT kPlace{0, 0, 20, 20};

// One link per process: the stand-in connects once, at its first class object.
CSoftphoneDriver& Driver()
{
    static CSoftphoneDriver driver;
    return driver;
}

struct Heard
{
    DISPID dispid;
    std::vector<std::wstring> args;
    bool operator==(const Heard&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Heard& heard)
{
    out << heard.dispid << "(";
    for (const std::wstring& arg : heard.args)
    {
        std::string narrow;
        for (wchar_t c : arg)
            narrow += c < 128 ? static_cast<char>(c) : '?';
        out << '"' << narrow << "\" ";
    }
    return out << ")";
}

// The host window: one sink entry per event of the softphone but 13; every event is recorded.
class CPhoneHost : public CWnd
{
public:
    BOOL Create()
    {
        return CreateEx(0, nullptr, L"phone host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 10, 10, 300, 200,
                        nullptr, nullptr);
    }
    std::vector<Heard> m_heard;
    CWnd* m_pDestroyOnRinging = nullptr; // a handler that ends the control inside its own event

protected:
    void Note(DISPID dispid, std::vector<std::wstring> args = {}) { m_heard.push_back(Heard{dispid, std::move(args)}); }
    void OnCalling() { Note(1); }
    void OnStatus(LPCWSTR text) { Note(2, {text}); }
    void OnInfo(LPCWSTR text) { Note(3, {text}); }
    void OnTrace(LPCWSTR text) { Note(4, {text}); }
    void OnRinging(LPCWSTR text)
    {
        Note(5, {text});
        if (m_pDestroyOnRinging) m_pDestroyOnRinging->DestroyWindow();
    }
    void OnAlerting() { Note(6); }
    void OnConnected(LPCWSTR text) { Note(7, {text}); }
    void OnHungUp(LPCWSTR text) { Note(8, {text}); }
    // The control sends a 16-bit number; the map receives it as 32 bits, as BrennClient does.
    void OnError(long number, LPCWSTR text) { Note(9, {std::to_wstring(number), text}); }
    void OnMessage(LPCWSTR from, LPCWSTR text) { Note(10, {from, text}); }
    void OnAlarmOn(LPCWSTR kind, LPCWSTR text) { Note(11, {kind, text}); }
    void OnAlarmOff(LPCWSTR kind) { Note(12, {kind}); }
    DECLARE_EVENTSINK_MAP()
};

BEGIN_EVENTSINK_MAP(CPhoneHost, CWnd)
ON_EVENT(CPhoneHost, kSoftphoneId, 1, &CPhoneHost::OnCalling, VTS_NONE)
ON_EVENT(CPhoneHost, kSoftphoneId, 2, &CPhoneHost::OnStatus, VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 3, &CPhoneHost::OnInfo, VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 4, &CPhoneHost::OnTrace, VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 5, &CPhoneHost::OnRinging, VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 6, &CPhoneHost::OnAlerting, VTS_NONE)
ON_EVENT(CPhoneHost, kSoftphoneId, 7, &CPhoneHost::OnConnected, VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 8, &CPhoneHost::OnHungUp, VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 9, &CPhoneHost::OnError, VTS_I4 VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 10, &CPhoneHost::OnMessage, VTS_BSTR VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 11, &CPhoneHost::OnAlarmOn, VTS_BSTR VTS_BSTR)
ON_EVENT(CPhoneHost, kSoftphoneId, 12, &CPhoneHost::OnAlarmOff, VTS_BSTR)
END_EVENTSINK_MAP()

int CountChildren(HWND hwndParent)
{
    int n = 0;
    for (HWND h = ::GetWindow(hwndParent, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        ++n;
    return n;
}

int CountThreadWindows()
{
    int n = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND, LPARAM lParam) -> BOOL {
            ++*reinterpret_cast<int*>(lParam);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    HWND hMessage = nullptr; // message-only windows are not the thread's top-level windows
    while ((hMessage = ::FindWindowExW(HWND_MESSAGE, hMessage, nullptr, nullptr)) != nullptr)
        if (::GetWindowThreadProcessId(hMessage, nullptr) == ::GetCurrentThreadId()) ++n;
    return n;
}

bool AllGone()
{
    const CSoftphoneDriver::Counts counts = Driver().GetCounts();
    return counts.objects == 0 && counts.sites == 0 && counts.sinks == 0;
}

size_t JournalSize()
{
    return Driver().Journal().size();
}

// A failed dispatch call as the test sees it; E_UNEXPECTED when nothing was thrown.
struct CallFailure
{
    SCODE sc = S_OK;
    std::wstring description, source;
};
template <class F> CallFailure CatchDispatchFailure(F call)
{
    CallFailure failure;
    try
    {
        call();
    }
    catch (COleDispatchException* e)
    {
        failure = CallFailure{e->m_scError, e->m_strDescription.GetString(), e->m_strSource.GetString()};
        e->Delete();
    }
    return failure;
}
} // namespace

class SoftphoneHosting : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Driver().IsListening());
        ASSERT_TRUE(SUCCEEDED(m_apartment.Result()));
        ASSERT_TRUE(m_host.Create());
        AfxEnableControlContainer();
        m_context = std::make_unique<CActivationContextScope>(PathBesideProgram(L"Softphone.manifest"));
        ASSERT_TRUE(m_context->IsActive()) << m_context->Error();
    }
    void TearDown() override
    {
        m_phone.DestroyWindow();
        m_host.DestroyWindow();
        EXPECT_TRUE(PumpUntil(&AllGone)) << "the stand-in's objects did not all go";
        EXPECT_TRUE(Driver().Mode("reset"));
    }
    BOOL CreatePhone(DWORD dwStyle = WS_CHILD, BSTR bstrLicKey = nullptr)
    {
        const BOOL ok =
            m_phone.CreateControl(kSoftphoneClsid, L"Tessaly_Opal", dwStyle, kPlace, &m_host, kSoftphoneId, bstrLicKey);
        if (ok)
        {
            EXPECT_TRUE(Driver().EnsureConnected()) << "the stand-in did not connect its control link";
        }
        return ok;
    }
    std::vector<CSoftphoneDriver::JournalEntry> JournalSince(size_t mark)
    {
        std::vector<CSoftphoneDriver::JournalEntry> all = Driver().Journal();
        return std::vector<CSoftphoneDriver::JournalEntry>(all.begin() + static_cast<std::ptrdiff_t>(mark), all.end());
    }

    CComApartment m_apartment;
    CPhoneHost m_host;
    std::unique_ptr<CActivationContextScope> m_context;
    CWnd m_phone;
};

TEST_F(SoftphoneHosting, CreatesAHiddenChildWithItsIdUnderTheContext)
{
    ASSERT_TRUE(CreatePhone()) << std::hex << ::GetLastError();
    ASSERT_NE(m_phone.GetSafeHwnd(), nullptr);
    EXPECT_EQ(::GetParent(m_phone), m_host.GetSafeHwnd());
    EXPECT_EQ(m_phone.GetDlgCtrlID(), static_cast<int>(kSoftphoneId));
    EXPECT_EQ(::GetDlgItem(m_host, kSoftphoneId), m_phone.GetSafeHwnd());
    EXPECT_FALSE(m_phone.IsWindowVisible()) << "WS_CHILD without WS_VISIBLE makes a hidden control";
    EXPECT_NE(m_phone.GetControlUnknown(), nullptr);

    // The ambients it read from its site while it was made
    bool sawUserMode = false, sawName = false;
    for (const auto& entry : Driver().Journal())
    {
        if (entry.kind != "ambient") continue;
        if (entry.dispid == DISPID_AMBIENT_USERMODE) sawUserMode = entry.vt == VT_BOOL && entry.value == L"-1";
        if (entry.dispid == DISPID_AMBIENT_DISPLAYNAME) sawName = entry.vt == VT_BSTR && entry.value == L"Tessaly_Opal";
    }
    EXPECT_TRUE(sawUserMode) << "the user-mode ambient was not TRUE";
    EXPECT_TRUE(sawName) << "the display-name ambient was not the window name";

    ASSERT_TRUE(m_phone.DestroyWindow());
    EXPECT_TRUE(PumpUntil(&AllGone));
    ASSERT_TRUE(CreatePhone(WS_CHILD | WS_VISIBLE));
    EXPECT_TRUE(m_phone.IsWindowVisible());
}

TEST_F(SoftphoneHosting, WithoutTheContextTheClassIsNotRegistered)
{
    m_context.reset();
    EXPECT_FALSE(CreatePhone());
    EXPECT_EQ(static_cast<HRESULT>(::GetLastError()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(m_phone.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CountChildren(m_host), 0);
}

// The manifest names a file that is not beside it: the class is known, its code is not there.
TEST_F(SoftphoneHosting, AMissingControlFileGivesFalseAndMakesNothing)
{
    ASSERT_TRUE(CreatePhone()); // the host's container and the stand-in's link exist from here on
    ASSERT_TRUE(m_phone.DestroyWindow());
    ASSERT_TRUE(PumpUntil(&AllGone));
    const int windowsBefore = CountThreadWindows();
    m_context.reset();
    const std::wstring folder = PathBesideProgram(L"softphone-without-ocx");
    const std::wstring manifest = folder + L"\\Softphone.manifest";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(PathBesideProgram(L"Softphone.manifest").c_str(), manifest.c_str(), FALSE));
    {
        CActivationContextScope context(manifest);
        ASSERT_TRUE(context.IsActive()) << context.Error();
        EXPECT_FALSE(CreatePhone());
        EXPECT_LT(static_cast<HRESULT>(::GetLastError()), 0) << "the failure's HRESULT";
        EXPECT_EQ(m_phone.GetSafeHwnd(), nullptr);
        EXPECT_EQ(CountChildren(m_host), 0);
        EXPECT_EQ(CountThreadWindows(), windowsBefore);
    }
    ::DeleteFileW(manifest.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST_F(SoftphoneHosting, EveryPutAndCallOfTheTableArrivesWithItsTypeAndValue)
{
    ASSERT_TRUE(CreatePhone());
    const std::wstring folder = PathBesideProgram(L"");
    const std::wstring logPath = folder + L"softphone-table.txt";
    const std::wstring wavePath = folder + L"softphone-table.wav";
    const size_t mark = JournalSize();
    static const BYTE kOneText[] = VTS_BSTR;

    struct Expected
    {
        long dispid;
        const char* kind;
        VARTYPE vt;
        std::wstring value;
    };
    const std::vector<Expected> expected = {
        {2, "put", VT_BOOL, L"0"},          {5, "put", VT_BSTR, L"LumoSoftPhone7"},
        {6, "put", VT_BSTR, L"0123456789"}, {8, "put", VT_BSTR, L"10.1.2.3"},
        {9, "put", VT_BOOL, L"-1"},         {14, "put", VT_BSTR, L"DirectSound\tMicrophone"},
        {16, "put", VT_BOOL, L"-1"},        {18, "put", VT_BSTR, L"DirectSound\tSpeakers"},
        {37, "put", VT_R8, L"-0.25"},       {38, "put", VT_UI2, L"100"},
        {39, "put", VT_UI2, L"30"},         {40, "put", VT_UI2, L"40"},
        {42, "put", VT_UI2, L"80"},         {17, "call", VT_EMPTY, L""},
        {19, "call", VT_EMPTY, L""},        {20, "call", VT_EMPTY, L""},
        {21, "call", VT_EMPTY, L""},        {22, "call", VT_BSTR, L"12#"},
        {28, "call", VT_BSTR, wavePath},    {29, "call", VT_EMPTY, L""},
        {43, "call", VT_BSTR, logPath},     {49, "call", VT_BSTR, L"CallID: 7 Start Call"},
        {44, "call", VT_EMPTY, L""},
    };
    m_phone.SetProperty(2, VT_BOOL, FALSE);
    m_phone.SetProperty(5, VT_BSTR, L"LumoSoftPhone7");
    m_phone.SetProperty(6, VT_BSTR, L"0123456789");
    m_phone.SetProperty(8, VT_BSTR, L"10.1.2.3");
    m_phone.SetProperty(9, VT_BOOL, TRUE);
    m_phone.SetProperty(14, VT_BSTR, L"DirectSound\tMicrophone");
    m_phone.SetProperty(16, VT_BOOL, TRUE);
    m_phone.SetProperty(18, VT_BSTR, L"DirectSound\tSpeakers");
    m_phone.SetProperty(37, VT_R8, -25 * 0.01);
    m_phone.SetProperty(38, VT_UI2, 100);
    m_phone.SetProperty(39, VT_UI2, 30);
    m_phone.SetProperty(40, VT_UI2, 40);
    m_phone.SetProperty(42, VT_UI2, 80);
    for (DISPID dispid : {17, 19, 20, 21})
        m_phone.InvokeHelper(dispid, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    m_phone.InvokeHelper(22, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, L"12#");
    m_phone.InvokeHelper(28, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, wavePath.c_str());
    m_phone.InvokeHelper(29, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    m_phone.InvokeHelper(43, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, logPath.c_str());
    m_phone.InvokeHelper(49, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, L"CallID: 7 Start Call");
    m_phone.InvokeHelper(44, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);

    const auto journal = JournalSince(mark);
    ASSERT_EQ(journal.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE(expected[i].dispid);
        EXPECT_EQ(journal[i].dispid, expected[i].dispid);
        EXPECT_EQ(journal[i].kind, expected[i].kind);
        EXPECT_EQ(journal[i].vt, expected[i].vt);
        EXPECT_EQ(journal[i].value, expected[i].value);
        EXPECT_EQ(journal[i].threadId, ::GetCurrentThreadId()) << "called from another thread";
    }
    // Property gets come back in the asked type
    CString instance;
    m_phone.GetProperty(5, VT_BSTR, &instance);
    EXPECT_EQ(instance, L"LumoSoftPhone7");
    long jitter = 0;
    m_phone.GetProperty(38, VT_I4, &jitter);
    EXPECT_EQ(jitter, 100);
    BOOL silence = FALSE;
    m_phone.GetProperty(16, VT_BOOL, &silence);
    EXPECT_TRUE(silence);
    ::DeleteFileW(logPath.c_str());
    ::DeleteFileW(wavePath.c_str());
}

TEST_F(SoftphoneHosting, AWrongTypeOrMemberComesBackAsTheDispatchException)
{
    ASSERT_TRUE(CreatePhone());
    static const BYTE kShort[] = VTS_I2;
    struct Case
    {
        const char* why;
        std::function<void()> call;
        SCODE sc;
    };
    const Case cases[] = {
        {"a number for a text property", [&] { m_phone.SetProperty(5, VT_I4, 5L); }, DISP_E_TYPEMISMATCH},
        {"an I4 for a VT_UI2 alarm limit", [&] { m_phone.SetProperty(38, VT_I4, 100L); }, DISP_E_TYPEMISMATCH},
        {"a number for the DTMF text", [&] { m_phone.InvokeHelper(22, DISPATCH_METHOD, VT_EMPTY, nullptr, kShort, 1); },
         DISP_E_TYPEMISMATCH},
        {"a DISPID of no member", [&] { m_phone.InvokeHelper(99, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); },
         DISP_E_MEMBERNOTFOUND},
        {"a method called as a property", [&] { m_phone.SetProperty(19, VT_BOOL, TRUE); }, DISP_E_MEMBERNOTFOUND},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.why);
        const CallFailure failure = CatchDispatchFailure(c.call);
        EXPECT_EQ(failure.sc, c.sc);
        EXPECT_FALSE(failure.description.empty()) << "a failure without a description";
    }
}

TEST_F(SoftphoneHosting, ThrowOnGivesTheExceptionWithTheControlsText)
{
    ASSERT_TRUE(CreatePhone());
    ASSERT_TRUE(Driver().Mode("throw-on 19"));
    const CallFailure failure =
        CatchDispatchFailure([&] { m_phone.InvokeHelper(19, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); });
    EXPECT_EQ(failure.sc, E_FAIL);
    EXPECT_EQ(failure.description, L"Tessaly_Opal refused DISPID 19");
    EXPECT_EQ(failure.source, L"Tessaly_Opal");
    EXPECT_EQ(CatchDispatchFailure([&] { m_phone.InvokeHelper(20, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); }).sc,
              S_OK)
        << "another member failed too";
}

TEST_F(SoftphoneHosting, EventsReachTheirEntriesWithTheirArguments)
{
    ASSERT_TRUE(CreatePhone());
    const char* fires[] = {"1",
                           "2 status",
                           "3 info",
                           "4 trace",
                           "5 \"ring 1\"",
                           "6",
                           "7 \"ring 1\"",
                           "8 \"ring 1\"",
                           "9 -8 \"no route\"",
                           "10 alice \"hello there\"",
                           "11 jitter high",
                           "12 jitter"};
    for (const char* fire : fires)
        ASSERT_TRUE(Driver().Fire(fire)) << fire;
    ASSERT_TRUE(PumpUntil([&] { return m_host.m_heard.size() >= 12; }));
    const std::vector<Heard> expected = {
        {1, {}},
        {2, {L"status"}},
        {3, {L"info"}},
        {4, {L"trace"}},
        {5, {L"ring 1"}},
        {6, {}},
        {7, {L"ring 1"}},
        {8, {L"ring 1"}},
        {9, {L"-8", L"no route"}},
        {10, {L"alice", L"hello there"}},
        {11, {L"jitter", L"high"}},
        {12, {L"jitter"}},
    };
    EXPECT_EQ(m_host.m_heard, expected);
}

TEST_F(SoftphoneHosting, EventsWithoutAnEntryOrWithTooFewArgumentsAreIgnored)
{
    ASSERT_TRUE(CreatePhone());
    for (const char* fire : {"13 nobody", "9 5", "10 only-one", "7", "1"})
        ASSERT_TRUE(Driver().Fire(fire)) << fire;
    ASSERT_TRUE(PumpUntil([&] { return !m_host.m_heard.empty(); }));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(m_host.m_heard, (std::vector<Heard>{{1, {}}})) << "only the well-formed event of an entry is heard";
}

TEST_F(SoftphoneHosting, AHandlerThatDestroysTheControlInItsEventDoesNoHarm)
{
    ASSERT_TRUE(CreatePhone());
    m_host.m_pDestroyOnRinging = &m_phone;
    ASSERT_TRUE(Driver().Fire("5 \"last ring\""));
    ASSERT_TRUE(PumpUntil([&] { return !m_host.m_heard.empty(); }));
    EXPECT_EQ(m_phone.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(PumpUntil(&AllGone)) << "the control destroyed in its event was not let go";
    m_host.m_pDestroyOnRinging = nullptr;
    EXPECT_TRUE(::IsWindow(m_host));
    ASSERT_TRUE(CreatePhone()) << "no control could be made after that";
}

TEST_F(SoftphoneHosting, DialWithAutoconnectAnswerAndHangUpFireTheirEvents)
{
    ASSERT_TRUE(CreatePhone());
    ASSERT_TRUE(Driver().Mode("autoconnect 30"));
    m_phone.SetProperty(6, VT_BSTR, L"0301234567");
    m_phone.InvokeHelper(17, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return m_host.m_heard.size() >= 1; }));
    ASSERT_TRUE(Driver().Fire("5 \"incoming 2\""));
    ASSERT_TRUE(PumpUntil([&] { return m_host.m_heard.size() >= 2; }));
    m_phone.InvokeHelper(21, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return m_host.m_heard.size() >= 3; }));
    m_phone.InvokeHelper(20, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return m_host.m_heard.size() >= 4; }));
    const std::vector<Heard> expected = {
        {7, {L"0301234567"}}, {5, {L"incoming 2"}}, {7, {L"incoming 2"}}, {8, {L"incoming 2"}}};
    EXPECT_EQ(m_host.m_heard, expected);
}

TEST_F(SoftphoneHosting, LogAndRecordingFilesLiveAsTheirMethodsSay)
{
    ASSERT_TRUE(CreatePhone());
    static const BYTE kOneText[] = VTS_BSTR;
    const std::wstring logPath = PathBesideProgram(L"softphone-log.txt");
    const std::wstring wavePath = PathBesideProgram(L"softphone-hold.wav");
    ::DeleteFileW(logPath.c_str());
    m_phone.InvokeHelper(43, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, logPath.c_str());
    m_phone.InvokeHelper(49, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, L"Lumo Info: \n\t\t\tUTC");
    m_phone.InvokeHelper(49, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, L"CallID: 3 End Call");
    m_phone.InvokeHelper(44, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    CFileHandle log(::CreateFileW(logPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(log.IsValid());
    char text[128] = "";
    DWORD read = 0;
    ASSERT_TRUE(::ReadFile(log, text, sizeof(text) - 1, &read, nullptr));
    EXPECT_EQ(std::string(text, read), "Lumo Info: \n\t\t\tUTC\r\nCallID: 3 End Call\r\n");
    log.Close();
    ::DeleteFileW(logPath.c_str());

    ASSERT_TRUE(Driver().Mode("hold 150"));
    m_phone.InvokeHelper(28, DISPATCH_METHOD, VT_EMPTY, nullptr, kOneText, wavePath.c_str());
    EXPECT_FALSE(::DeleteFileW(wavePath.c_str())) << "the recording was not kept open";
    m_phone.InvokeHelper(29, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    EXPECT_FALSE(::DeleteFileW(wavePath.c_str())) << "the hold did not keep the file open after the stop";
    EXPECT_TRUE(PumpUntil([&] { return ::DeleteFileW(wavePath.c_str()) != FALSE; }))
        << "the recording stayed open after the hold";
}

TEST_F(SoftphoneHosting, ALicensedClassIsMadeWithItsKeyOnly)
{
    ASSERT_TRUE(CreatePhone()); // the control link is up before the mode is set
    ASSERT_TRUE(m_phone.DestroyWindow());
    ASSERT_TRUE(Driver().Mode("license OPAL-KEY-1"));
    EXPECT_FALSE(CreatePhone());
    EXPECT_EQ(static_cast<HRESULT>(::GetLastError()), CLASS_E_NOTLICENSED);
    CComBSTR wrong(L"OPAL-KEY-2");
    EXPECT_FALSE(CreatePhone(WS_CHILD, wrong));
    EXPECT_EQ(static_cast<HRESULT>(::GetLastError()), CLASS_E_NOTLICENSED);
    CComBSTR key(L"OPAL-KEY-1");
    EXPECT_TRUE(CreatePhone(WS_CHILD, key));
    EXPECT_EQ(CountChildren(m_host), 1);
}

TEST_F(SoftphoneHosting, AFailingCreationLeavesNothingAlive)
{
    ASSERT_TRUE(CreatePhone());
    ASSERT_TRUE(m_phone.DestroyWindow());
    ASSERT_TRUE(PumpUntil(&AllGone));
    const int windowsBefore = CountThreadWindows();
    ASSERT_TRUE(Driver().Mode("fail-create"));
    EXPECT_FALSE(CreatePhone());
    EXPECT_EQ(static_cast<HRESULT>(::GetLastError()), E_FAIL);
    EXPECT_EQ(m_phone.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CountChildren(m_host), 0);
    const CSoftphoneDriver::Counts counts = Driver().GetCounts(); // at once: nothing waits for a message
    EXPECT_EQ(counts.objects, 0);
    EXPECT_EQ(counts.sites, 0);
    EXPECT_EQ(counts.sinks, 0);
    EXPECT_EQ(CountThreadWindows(), windowsBefore);
}

TEST_F(SoftphoneHosting, ALockedClassObjectOutlivesItsControls)
{
    ASSERT_TRUE(CreatePhone());
    ASSERT_TRUE(AfxOleLockControl(kSoftphoneClsid));
    ASSERT_TRUE(m_phone.DestroyWindow());
    ASSERT_TRUE(PumpUntil(&AllGone));
    EXPECT_EQ(Driver().GetCounts().factories, 1) << "the locked class object went with the control";
    ASSERT_TRUE(CreatePhone());
    ASSERT_TRUE(m_phone.DestroyWindow());
    ASSERT_TRUE(PumpUntil(&AllGone));
    EXPECT_TRUE(AfxOleUnlockControl(kSoftphoneClsid));
    EXPECT_FALSE(AfxOleUnlockControl(kSoftphoneClsid)) << "unlocked twice";
    EXPECT_EQ(Driver().GetCounts().factories, 0);
}

TEST_F(SoftphoneHosting, HundredCreateDestroyCyclesGiveEverythingBack)
{
    ASSERT_TRUE(CreatePhone());
    ASSERT_TRUE(m_phone.DestroyWindow());
    ASSERT_TRUE(PumpUntil(&AllGone));
    const int windowsBefore = CountThreadWindows();
    for (int i = 0; i < 100; ++i)
    {
        ASSERT_TRUE(CreatePhone()) << "cycle " << i;
        m_phone.SetProperty(5, VT_BSTR, L"LumoSoftPhone");
        ASSERT_TRUE(m_phone.DestroyWindow());
    }
    EXPECT_TRUE(PumpUntil(&AllGone)) << "objects, sites or sinks of the stand-in were kept";
    EXPECT_EQ(CountChildren(m_host), 0);
    EXPECT_EQ(CountThreadWindows(), windowsBefore);
    EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(m_host, kSoftphoneId)), nullptr);
}

TEST_F(SoftphoneHosting, BadInputIsRefusedOrIgnored)
{
    const CLSID noClass = {0x1D2C3B4A, 0x5E6F, 0x4A7B, {0x8C, 0x9D, 0xAE, 0xBF, 0xC0, 0xD1, 0xE2, 0xF3}};
    EXPECT_FALSE(m_phone.CreateControl(noClass, L"none", WS_CHILD, kPlace, &m_host, kSoftphoneId));
    EXPECT_EQ(static_cast<HRESULT>(::GetLastError()), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(m_phone.CreateControl(kSoftphoneClsid, L"Tessaly_Opal", WS_CHILD, kPlace, nullptr, kSoftphoneId));
    EXPECT_EQ(CountChildren(m_host), 0);
    const CallFailure noControl =
        CatchDispatchFailure([&] { m_phone.InvokeHelper(19, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); });
    EXPECT_EQ(noControl.sc, E_UNEXPECTED) << "a call on a window without control";

    ASSERT_TRUE(CreatePhone());
    const std::wstring big(1 << 20, L'x');
    const size_t mark = JournalSize();
    m_phone.SetProperty(5, VT_BSTR, big.c_str());
    const auto journal = JournalSince(mark);
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].value.size(), big.size());
}
