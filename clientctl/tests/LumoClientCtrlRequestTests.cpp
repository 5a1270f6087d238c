// The members of LumoClientCtrl that ask Lumo for something, driven by DISPID against the scripted Lumo:
// their guards, the lines Lumo gets, the answers they read, the caches and the payloads.
#include "clientctl/tests/LumoClientCtrlTestSupport.h"
#include "core/CStaticTools.h"
#include "framework/CComBSTR.h"
#include <cctype>
#include <cstring>
#include <functional>

class LumoClientCtrlRequestTest;

namespace
{
// The guards of a member: none, the link, Jex, the agent, or Jex and then no agent logged on.
enum class Guard
{
    None,
    Link,
    Jex,
    Agent,
    JexNotLoggedOn
};

// What the table's by-reference arguments point to; reset before every call.
struct Refs
{
    LONG lValue = 11;
    CComBSTR strValue{L"old"};
    IDispatch* pCalls = nullptr;
    CComVariant held; // an array a by-reference argument points to
    void Reset()
    {
        held.Clear();
        lValue = 11;
        strValue = L"old";
        if (pCalls) pCalls->Release();
        pCalls = nullptr;
    }
    ~Refs() { Reset(); }
};

struct MemberCase
{
    DISPID id;
    WORD flags;
    std::function<std::vector<CComVariant>(LumoClientCtrlRequestTest&, Refs&)> args;
    Guard guard;
    std::string line;     // the request as Lumo gets it, a regex (a waiting member's captures its id)
    std::string answer;   // script lines after it: Lumo's answer
    std::wstring done;    // the outcome when the member may go on
    std::wstring refused; // the outcome when a guard refuses it
};

struct GuardState
{
    bool bLink;
    int nJex;
    int nAgent;
    const char* why;
};

const GuardState kStates[] = {
    {false, 3, 18, "no link"},
    {true, 0, 1, "Jex 0, agent 1"},
    {true, 1, 0, "Jex 1, agent 0"},
    {true, 1, 1, "Jex 1, agent 1"},
};

// The refusal text of a guard in a state; empty when the member may go on, "-" when it is refused
// without a text.
std::wstring Refusal(Guard guard, const GuardState& state)
{
    const bool bAgent = state.nAgent != 0 && state.nAgent != 18;
    switch (guard)
    {
    case Guard::None:
        return L"";
    case Guard::Link:
        return state.bLink ? L"" : L"Lumo is not connected!";
    case Guard::Jex:
        return state.nJex == 1 ? L"" : L"Jex is not connected!";
    case Guard::Agent:
        return bAgent ? L"" : L"Agent is not logged on!";
    case Guard::JexNotLoggedOn:
        return state.nJex != 1 ? L"Jex is not connected!" : bAgent ? L"-" : L"";
    }
    return L"?";
}

std::wstring CallsText(IDispatch* pCalls)
{
    if (!pCalls) return L"calls:null";
    CComVariant count;
    InvokeMember(pCalls, 1, DISPATCH_PROPERTYGET, {}, &count);
    std::wstring text = L"calls:" + Text(count);
    for (long i = 0; count.vt == VT_I4 && i < count.lVal; ++i)
    {
        CComVariant call, id;
        InvokeMember(pCalls, DISPID_VALUE, DISPATCH_PROPERTYGET, {CComVariant(i)}, &call);
        if (call.vt == VT_DISPATCH) InvokeMember(call.pdispVal, 1, DISPATCH_PROPERTYGET, {}, &id);
        text += L"," + Text(id);
    }
    return text;
}

// "S_OK <result> <maps and by-reference values>".
std::wstring Outcome(HRESULT hr, const VARIANT& result, const std::vector<CComVariant>& args)
{
    std::wstring text = hr == S_OK ? L"S_OK" : hr == S_FALSE ? L"S_FALSE" : L"hr" + std::to_wstring(hr);
    text += L" " + Text(result);
    for (const CComVariant& arg : args)
    {
        CComVariant keys;
        if (arg.vt == VT_DISPATCH && arg.pdispVal &&
            SUCCEEDED(InvokeMember(arg.pdispVal, 13, DISPATCH_METHOD, {}, &keys)))
            text += L" " + Text(arg);
        else if ((arg.vt & VT_BYREF) && !arg.byref)
            text += L" nullref";
        else if (arg.vt == (VT_BYREF | VT_I4))
            text += L" " + std::to_wstring(*arg.plVal);
        else if (arg.vt == (VT_BYREF | VT_BSTR))
            text += L" '" + std::wstring(*arg.pbstrVal ? *arg.pbstrVal : L"") + L"'";
        else if (arg.vt == (VT_BYREF | VT_DISPATCH))
            text += L" " + CallsText(*arg.ppdispVal);
    }
    return text;
}

CComVariant Bool(VARIANT_BOOL b)
{
    CComVariant v;
    v.vt = VT_BOOL;
    v.boolVal = b;
    return v;
}
CComVariant UI4(ULONG n)
{
    CComVariant v;
    v.vt = VT_UI4;
    v.ulVal = n;
    return v;
}
CComVariant Short(short n)
{
    return CComVariant(n);
}
CComVariant Str(const wchar_t* psz)
{
    return CComVariant(psz);
}
CComVariant NoObject()
{
    return CComVariant(static_cast<IDispatch*>(nullptr));
}

// A field of a request line as a pattern of the script: escaped for the line (blank 0x0C, CR 0x07,
// the empty text 0x08), then for the regex.
std::string Field(const std::string& text)
{
    if (text.empty()) return "\\x08";
    std::string out;
    for (char c : text)
    {
        if (c == ' ')
            out += "\\x0c";
        else if (c == '\r')
            out += "\\x07";
        else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ';' || c == '=' ||
                 c == '"' || c == ',' || c == ':')
            out += c;
        else
            out += std::string("\\") + c;
    }
    return out;
}

constexpr const char* kAny = "\\d+";
constexpr const char* kId = "(?P<id>\\d+)";
} // namespace

class LumoClientCtrlRequestTest : public LumoClientCtrlTest
{
public:
    // A data object of the library, created as a client creates it.
    CComVariant New(const CLSID& clsid)
    {
        CComPtr<IDispatch> object;
        EXPECT_EQ(object.CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER), S_OK);
        return CComVariant(static_cast<IDispatch*>(object));
    }
    CComVariant Map(const std::vector<std::pair<CComVariant, CComVariant>>& entries)
    {
        CComVariant map = New(kMapClass);
        for (const auto& [key, value] : entries)
            EXPECT_EQ(InvokeMember(map.pdispVal, 10, DISPATCH_METHOD, {key, value}), S_OK);
        return map;
    }
    CComVariant Strings(const std::vector<const wchar_t*>& texts)
    {
        CComVariant strings = New(kStringsClass);
        for (const wchar_t* psz : texts)
            EXPECT_EQ(InvokeMember(strings.pdispVal, 10, DISPATCH_METHOD, {CComVariant(psz)}), S_OK);
        return strings;
    }
    // A new control with a new sink, LogMode 2: refusal texts arrive as events.
    void Recreate()
    {
        TearDown();
        m_ctrl.Release();
        m_sink = nullptr;
        SetUp();
        Put(Id::kLogMode, CComVariant(2L));
    }
    // Connects with the registration's answer giving the Jex and agent states.
    void ConnectAs(CScriptedLumo& lumo)
    {
        ASSERT_TRUE(lumo.IsStarted());
        Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
        Put(Id::kApplicationId, CComVariant(7L));
        ASSERT_EQ(Text(Call(Id::kInit)), L"-1b");
        m_sink->m_calls.clear();
    }
    static std::string Registered(int nJex, int nAgent)
    {
        return Accepted() + "expect APLGIN (?P<id>\\d+) 7 [01]\nline APLGIN {id} -1 " + std::to_string(nJex) + " " +
               std::to_string(nAgent) + "\n";
    }
    static const CLSID kMapClass;
    static const CLSID kStringsClass;
    static const CLSID kMessageClass;
    static const CLSID kEmailClass;
};

const CLSID LumoClientCtrlRequestTest::kMapClass = {
    0x93A9AE2D, 0xBC59, 0x4B3F, {0xAB, 0xFC, 0x80, 0x62, 0x1F, 0xC3, 0xF7, 0xB6}};
const CLSID LumoClientCtrlRequestTest::kStringsClass = {
    0xC5515502, 0xBACC, 0x429E, {0x84, 0x83, 0x72, 0x26, 0x06, 0x7A, 0x51, 0x4B}};
const CLSID LumoClientCtrlRequestTest::kMessageClass = {
    0x5C056C68, 0xB178, 0x4637, {0x93, 0xAD, 0xE9, 0x0A, 0xB7, 0xA3, 0x91, 0x19}};
const CLSID LumoClientCtrlRequestTest::kEmailClass = {
    0xEA0DF7A5, 0x8ECA, 0x449D, {0xAA, 0xC4, 0x68, 0x7E, 0xD7, 0x56, 0xFC, 0xA8}};

namespace
{
using T = LumoClientCtrlRequestTest;
using V = std::vector<CComVariant>;
constexpr WORD kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT, kCall = DISPATCH_METHOD;

std::string Line(const char* pszWord, const char* pszId, const std::vector<std::string>& fields = {})
{
    std::string line = std::string(pszWord) + " " + pszId;
    for (const std::string& field : fields)
        line += " " + field;
    return line;
}

CComVariant Bytes(const std::vector<BYTE>& bytes)
{
    CComVariant v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!bytes.empty()) std::memcpy(v.parray->pvData, bytes.data(), bytes.size());
    return v;
}

// Every member of the interface beyond the connection's own, by DISPID.
std::vector<MemberCase> EveryMember()
{
    const std::vector<BYTE> abc{1, 2, 3};
    const auto none = [](T&, Refs&) { return V{}; };
    const auto call5 = [](T&, Refs&) { return V{CComVariant(5L)}; };
    const std::string fields = Field("BreSecondaryCode = \"3\" QoCallId = \"9\" a = \"b c\" ");
    const MemberCase rows[] = {
        {9, kGet, none, Guard::None, "", "", L"S_OK 0b", L""},
        {11, kGet, none, Guard::Link, Line("AUVLME", kId, {"1", "-1"}), "answer AUVLME 1 70", L"S_OK 70s",
         L"S_FALSE 23130s"},
        {11, kPut, [](T&, Refs&) { return V{Short(50)}; }, Guard::Link, Line("AUVLME", kAny, {"1", "50"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {12, kGet, none, Guard::Link, Line("AUVLME", kId, {"2", "-1"}), "answer AUVLME 2 40", L"S_OK 40s",
         L"S_FALSE 23130s"},
        {12, kPut, [](T&, Refs&) { return V{Short(60)}; }, Guard::Link, Line("AUVLME", kAny, {"2", "60"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {13, kGet, none, Guard::Link, Line("AUMUTE", kId, {"1", "-1"}), "answer AUMUTE 1 1", L"S_OK -1b",
         L"S_FALSE 23130b"},
        {13, kPut, [](T&, Refs&) { return V{Bool(VARIANT_FALSE)}; }, Guard::Link, Line("AUMUTE", kAny, {"1", "0"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {14, kGet, none, Guard::Link, Line("AUMUTE", kId, {"2", "-1"}), "answer AUMUTE 2 0", L"S_OK 0b",
         L"S_FALSE 23130b"},
        {14, kPut, [](T&, Refs&) { return V{Bool(VARIANT_TRUE)}; }, Guard::Link, Line("AUMUTE", kAny, {"2", "1"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {15, kGet, none, Guard::Link, Line("ISVOIP", kId), "answer ISVOIP 1", L"S_OK -1b", L"S_FALSE 23130b"},
        {21, kCall, [](T& t, Refs&) { return V{t.Map({})}; }, Guard::Jex, Line("LSTPAU", kId),
         "answer LSTPAU '3 = \"Lunch\" '", L"S_OK 1 {'3'='Lunch'}", L"S_FALSE 1515870810 {}"},
        {22, kCall, none, Guard::Jex, Line("LSTPAU", kAny), "", L"S_OK vt0", L"S_FALSE vt0"},
        {23, kCall,
         [](T&, Refs&) {
             return V{CComVariant(5L), CComVariant(1L)};
         },
         Guard::Agent, Line("STAPAU", kAny, {"5", "1"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {24, kCall, none, Guard::Agent, Line("STOPAU", kAny), "", L"S_OK vt0", L"S_FALSE vt0"},
        {25, kCall, [](T&, Refs&) { return V{CComVariant(2L)}; }, Guard::Link, Line("SHOWLC", kAny, {"2"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {26, kCall,
         [](T& t, Refs&) {
             return V{CComVariant(1L), t.Map({}), t.Map({}), t.Map({})};
         },
         Guard::Jex, Line("LSTAGT", kId, {"1"}),
         "answer LSTAGT 1 'Count = \"1\" ID0 = \"4\" FN0 = \"F\" LN0 = \"L\" UN0 = \"U\" '",
         L"S_OK 1 {'4'='F'} {'4'='L'} {'4'='U'}", L"S_FALSE 1515870810 {} {} {}"},
        {27, kCall, [](T&, Refs&) { return V{CComVariant(3L)}; }, Guard::Jex, Line("LSTAGT", kAny, {"3"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {28, kCall, [](T&, Refs&) { return V{Str(L"0 44")}; }, Guard::Agent,
         Line("MANDIA", kAny, {Field("0 44"), Field("")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {29, kCall,
         [](T& t, Refs&) {
             return V{CComVariant(9L), Short(2), Short(3),
                      t.Map({{Str(L"QoCallId"), Str(L"1")}, {Str(L"a"), Str(L"b c")}})};
         },
         Guard::Agent, Line("ENDTSK", kAny, {"2", fields}), "", L"S_OK vt0 {'a'='b c','QoCallId'='1'}",
         L"S_FALSE vt0 {'a'='b c','QoCallId'='1'}"},
        {31, kCall,
         [](T&, Refs&) {
             return V{Str(L"ann lee"), CComVariant(7L), Str(L"secret"), Bool(VARIANT_FALSE)};
         },
         Guard::JexNotLoggedOn, Line("ALOGON", kId, {"1", Field("ann lee"), "7", "{pw:secret}"}), "answer ALOGON 0",
         L"S_OK -1b", L"S_FALSE 0b"},
        {32, kCall,
         [](T&, Refs&) {
             return V{CComVariant(12L), CComVariant(7L), Str(L"AB CD")};
         },
         Guard::JexNotLoggedOn, Line("ALOGON", kId, {"2", "12", "7", Field("AB CD")}), "answer ALOGON 1", L"S_OK 0b",
         L"S_FALSE 0b"},
        {33, kCall, none, Guard::Agent, Line("ALOGOF", kAny), "", L"S_OK vt0", L"S_FALSE vt0"},
        {34, kCall, call5, Guard::Agent, Line("DRPCAL", kAny, {"5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {35, kCall, call5, Guard::Agent, Line("ONHOLD", kAny, {"1", "5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {36, kCall, call5, Guard::Agent, Line("ONHOLD", kAny, {"0", "5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {37, kCall, none, Guard::Agent, Line("NEXCAL", kAny), "", L"S_OK vt0", L"S_FALSE vt0"},
        {38, kCall, call5, Guard::Agent, Line("RECCAL", kId, {"5"}), "answer RECCAL 2", L"S_OK 2", L"S_FALSE -1"},
        {39, kCall, call5, Guard::Agent, Line("RECCAL", kAny, {"5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {40, kCall, [](T&, Refs&) { return V{CComVariant(5L), CComVariant(2L)}; }, Guard::Agent,
         Line("TRGPRD", kAny, {"1", "5", "2"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {41, kCall, [](T&, Refs&) { return V{CComVariant(5L), CComVariant(2L)}; }, Guard::Agent,
         Line("TRGPRD", kAny, {"0", "5", "2"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {42, kCall, [](T&, Refs&) { return V{CComVariant(5L), Str(L"q a.wav")}; }, Guard::Agent,
         Line("QRESTA", kId, {"5", Field("q a.wav")}), "answer QRESTA 5 -3", L"S_OK -3", L"S_FALSE -1"},
        {43, kCall, call5, Guard::Agent, Line("QRESTO", kId, {"5"}), "answer QRESTO 5 1", L"S_OK -1b", L"S_FALSE 0b"},
        {44, kCall, [](T&, Refs&) { return V{CComVariant(5L), Str(L"q.wav")}; }, Guard::Agent,
         Line("QRESTA", kAny, {"5", Field("q.wav")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {45, kCall, call5, Guard::Agent, Line("QRESTO", kAny, {"5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {46, kCall, [abc](T&, Refs&) { return V{CComVariant(3L), CComVariant(5L), Bytes(abc), UI4(77)}; }, Guard::Agent,
         Line("SNDINT", kAny, {"3", "3", "5", "77"}), "payload 3 hex=010203", L"S_OK -1b", L"S_FALSE 0b"},
        {48, kCall, [](T&, Refs&) { return V{CComVariant(8L)}; }, Guard::Agent, Line("REQTSK", kAny, {"8"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {49, kCall, [](T& t, Refs&) { return V{t.Map({{Str(L"a"), Str(L"1")}})}; }, Guard::Agent,
         Line("WRCACL", kAny, {Field("a = \"1\" ")}), "", L"S_OK vt0 {'a'='1'}", L"S_FALSE vt0 {'a'='1'}"},
        {50, kCall, [](T&, Refs&) { return V{CComVariant(5L), CComVariant(6L)}; }, Guard::Agent,
         Line("TRACAL", kAny, {"5", "6"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {51, kCall, [](T&, Refs&) { return V{CComVariant(5L), Str(L"")}; }, Guard::Agent,
         Line("TAGCAL", kAny, {"5", Field("")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {52, kCall, [](T&, Refs&) { return V{CComVariant(5L), Str(L"s.wav")}; }, Guard::Agent,
         Line("PLSSTA", kId, {"5", Field("s.wav")}), "answer PLSSTA 5 1", L"S_OK -1b", L"S_FALSE 0b"},
        {53, kCall, call5, Guard::Agent, Line("PLSSTO", kId, {"5"}), "answer PLSSTO 5 0", L"S_OK 0b", L"S_FALSE 0b"},
        {54, kCall, [](T&, Refs&) { return V{CComVariant(5L), Str(L"s.wav")}; }, Guard::Agent,
         Line("PLSSTA", kAny, {"5", Field("s.wav")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {55, kCall, call5, Guard::Agent, Line("PLSSTO", kAny, {"5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {56, kCall, [](T& t, Refs&) { return V{CComVariant(8L), t.Strings({L"12", L"34"})}; }, Guard::Agent,
         Line("TSKRES", kAny, {"8", "12;34;"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {57, kCall, [](T& t, Refs&) { return V{t.Map({})}; }, Guard::Jex, Line("LSTOGR", kId),
         "answer LSTOGR '4 = \"Out\" '", L"S_OK 1 {'4'='Out'}", L"S_FALSE 1515870810 {}"},
        {58, kCall, none, Guard::Agent, Line("LSTOGR", kAny), "", L"S_OK vt0", L"S_FALSE vt0"},
        {59, kCall, [](T& t, Refs&) { return V{t.Map({}), t.Map({})}; }, Guard::Jex, Line("LSTLOC", kId),
         "answer LSTLOC 'Count = \"1\" ID0 = \"3\" NM0 = \"Here\" CNM0 = \"PC3\" '", L"S_OK 1 {'3'='Here'} {'3'='PC3'}",
         L"S_FALSE 1515870810 {} {}"},
        {60, kCall, none, Guard::Jex, Line("LSTLOC", kAny), "", L"S_OK vt0", L"S_FALSE vt0"},
        {61, kCall, [](T&, Refs&) { return V{CComVariant(4L)}; }, Guard::Agent, Line("CHGOGR", kAny, {"4"}), "",
         L"S_OK vt0", L"S_FALSE vt0"},
        {62, kCall, [](T&, Refs& r) { return V{CComVariant(1000L), ByRef(&r.lValue), ByRef(&r.strValue.m_str)}; },
         Guard::Agent, Line("GETASE", kId, {"1000"}), "answer GETASE 'lValue = \"5\" strValue = \"top\" '",
         L"S_OK -1b 5 'top'", L"S_FALSE 0b 11 'old'"},
        {63, kCall, [](T&, Refs&) { return V{CComVariant(1000L), Str(L"n"), CComVariant(5L), Str(L"v w")}; },
         Guard::Agent, Line("SAVASE", kAny, {"1000", "n", "5", Field("v w")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {64, kCall, [](T& t, Refs&) { return V{t.New(T::kMessageClass)}; }, Guard::Agent,
         Line("SNDMSG", kAny, {"0", "[^ ]+"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {65, kCall, [](T& t, Refs&) { return V{CComVariant(5L), t.New(T::kEmailClass)}; }, Guard::Agent,
         Line("SNDMAI", kAny, {"0", "5", "[^ ]+"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {66, kCall, [](T&, Refs&) { return V{Bool(VARIANT_TRUE)}; }, Guard::Link, Line("REPLMA", kId, {"1", "1"}),
         "answer REPLMA 1", L"S_OK -1b", L"S_FALSE 0b"},
        {67, kCall, none, Guard::Link, Line("REPLMA", kId, {"0", "1"}), "answer REPLMA 0", L"S_OK 0b", L"S_FALSE 0b"},
        {68, kCall, call5, Guard::Agent, Line("TKECAL", kAny, {"5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {69, kCall, [](T&, Refs&) { return V{CComVariant(5L), Str(L"1#"), Bool(1)}; }, Guard::Agent,
         Line("DODTMF", kAny, {"5", Field("1#"), "0"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {70, kCall, [](T&, Refs& r) { return V{CComVariant(5L), ByRef(&r.pCalls)}; }, Guard::Agent,
         Line("CALLHY", kId, {"5"}), "data CALLHY {id} calls:2 5 {crc}", L"S_OK 2 calls:2,1000,1001",
         L"S_FALSE -1 calls:null"},
        {71, kCall, call5, Guard::Agent, Line("CALLHY", kAny, {"5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {72, kCall, [](T&, Refs&) { return V{CComVariant(5L), Str(L"busy now")}; }, Guard::Agent,
         Line("INTHBT", kAny, {"5", Field("busy now")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {74, kCall, [](T&, Refs&) { return V{CComVariant(5L), Bool(VARIANT_TRUE)}; }, Guard::Agent,
         Line("UPDANO", kAny, {"5", "0", "-1", Field("Off = \"0\" ")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {75, kCall, [](T& t, Refs&) { return V{CComVariant(5L), CComVariant(2L), t.Map({{Str(L"k"), Str(L"v")}})}; },
         Guard::Agent, Line("UPDANO", kAny, {"5", "2", "-1", Field("k = \"v\" ")}), "", L"S_OK vt0 {'k'='v'}",
         L"S_FALSE vt0 {'k'='v'}"},
        {76, kCall, [](T&, Refs&) { return V{CComVariant(5L), CComVariant(2L), CComVariant(9L), NoObject()}; },
         Guard::Agent, Line("UPDANO", kAny, {"5", "2", "9", Field("")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {101, kCall, [](T&, Refs&) { return V{Str(L"g 1"), CComVariant(5L), Str(L"0 44")}; }, Guard::Agent,
         Line("STAIVR", kAny, {Field("g 1"), "5", Field("0 44")}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {102, kCall, none, Guard::Agent, Line("STAKYI", kAny, {"0"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {103, kCall, call5, Guard::Agent, Line("STOKYI", kAny, {"5"}), "", L"S_OK vt0", L"S_FALSE vt0"},
        {104, kCall, [](T& t, Refs&) { return V{t.Map({{Str(L"s"), Str(L"1")}}), t.Strings({L"A", L"B"})}; },
         Guard::Agent, Line("FNDKYI", kAny, {Field("s = \"1\" "), "A;B;"}), "", L"S_OK vt0 {'s'='1'}",
         L"S_FALSE vt0 {'s'='1'}"},
    };
    return std::vector<MemberCase>(std::begin(rows), std::end(rows));
}
} // namespace

// Every member in four states: refused by its guard with its text and its preset outs and nothing
// sent, or sent as the exact line Lumo expects and its answer read. The scripted Lumo fails on any
// line it did not expect, and the marker SHOWLC 1 closes each state's lines.
TEST_F(LumoClientCtrlRequestTest, EveryMemberByDispIdInFourGuardStates)
{
    const std::vector<MemberCase> members = EveryMember();
    std::string script;
    for (const GuardState& state : kStates)
    {
        if (!state.bLink) continue;
        script += Registered(state.nJex, state.nAgent);
        for (const MemberCase& member : members)
        {
            if (!Refusal(member.guard, state).empty() || member.line.empty()) continue;
            script += "expect " + member.line + "\n";
            if (!member.answer.empty()) script += member.answer + "\n";
        }
        script += "expect SHOWLC \\d+ 1\nwaitclose\n";
    }
    CScriptedLumo lumo(script);
    Refs refs;
    for (const GuardState& state : kStates)
    {
        SCOPED_TRACE(state.why);
        Recreate();
        if (state.bLink) ConnectAs(lumo);
        for (const MemberCase& member : members)
        {
            SCOPED_TRACE(member.id);
            SCOPED_TRACE(member.flags);
            const std::wstring refusal = Refusal(member.guard, state);
            refs.Reset();
            const std::vector<CComVariant> args = member.args(*this, refs);
            m_sink->m_calls.clear();
            CComVariant result;
            const HRESULT hr = InvokeThroughVtable(m_ctrl, member.id, member.flags, args, &result);
            EXPECT_EQ(Outcome(hr, result, args), refusal.empty() ? member.done : member.refused);
            const std::vector<std::wstring> expected = refusal.empty() || refusal == L"-"
                                                           ? std::vector<std::wstring>{}
                                                           : std::vector<std::wstring>{L"200('" + refusal + L"')"};
            EXPECT_EQ(Events(), expected);
        }
        if (state.bLink)
        {
            EXPECT_EQ(InvokeMember(m_ctrl, 25, kCall, {CComVariant(1L)}), S_OK);
            Call(Id::kUninit);
        }
    }
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

namespace
{
// One call of a sequence against one connection: what Lumo gets and answers meanwhile, what the
// member gives, and the events it causes (error texts with LogMode 2).
struct StepCase
{
    DISPID id;
    WORD flags;
    std::function<std::vector<CComVariant>(LumoClientCtrlRequestTest&, Refs&)> args;
    std::string script;
    std::wstring outcome;
    std::vector<std::wstring> events;
    const char* why;
    bool bLateBound = false; // through IDispatch::Invoke, which shows S_FALSE as S_OK
};

CComVariant Array(VARTYPE vt, LONG nLower, const std::vector<BYTE>& bytes)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), nLower};
    CComVariant v;
    v.vt = VT_ARRAY | vt;
    v.parray = ::SafeArrayCreate(vt, 1, &bound);
    if (!bytes.empty() && vt == VT_UI1) std::memcpy(v.parray->pvData, bytes.data(), bytes.size());
    return v;
}

std::wstring Text200(const std::wstring& text)
{
    return L"200('" + text + L"')";
}

// A message object with the attachments added to its own map.
CComVariant MessageWith(LumoClientCtrlRequestTest& t, CLSID clsid, DISPID attachmentsId,
                        const std::vector<std::pair<CComVariant, CComVariant>>& attachments)
{
    CComVariant message = t.New(clsid);
    CComVariant map;
    EXPECT_EQ(InvokeMember(message.pdispVal, attachmentsId, kGet, {}, &map), S_OK);
    for (const auto& [key, value] : attachments)
        EXPECT_EQ(InvokeMember(map.pdispVal, 10, kCall, {key, value}), S_OK);
    return message;
}
} // namespace

class LumoClientCtrlStepTest : public LumoClientCtrlRequestTest
{
protected:
    // The events since the last clear; an expected text ending in * matches any text it begins.
    void ExpectEvents(const std::vector<std::wstring>& expected)
    {
        const std::vector<std::wstring> events = Events();
        bool bSame = events.size() == expected.size();
        for (size_t i = 0; bSame && i < events.size(); ++i)
            bSame = expected[i].ends_with(L"*") ? events[i].starts_with(expected[i].substr(0, expected[i].size() - 1))
                                                : events[i] == expected[i];
        EXPECT_TRUE(bSame) << ::testing::PrintToString(events) << " is not " << ::testing::PrintToString(expected);
    }

    // Runs the steps in order against a Lumo that registers the control with Jex 1 and the agent
    // state given, then expects the marker SHOWLC 1 and nothing before it.
    void RunSteps(const std::vector<StepCase>& steps, int nAgent = 3, const std::string& before = "")
    {
        std::string script = Registered(1, nAgent) + before;
        for (const StepCase& step : steps)
            script += step.script;
        CScriptedLumo lumo(script + "expect SHOWLC \\d+ 1\nwaitclose\n");
        Put(Id::kLogMode, CComVariant(2L));
        ConnectAs(lumo);
        Refs refs;
        for (const StepCase& step : steps)
        {
            SCOPED_TRACE(step.why);
            refs.Reset();
            const std::vector<CComVariant> args = step.args(*this, refs);
            m_sink->m_calls.clear();
            CComVariant result;
            const HRESULT hr = step.bLateBound ? InvokeMember(m_ctrl, step.id, step.flags, args, &result)
                                               : InvokeThroughVtable(m_ctrl, step.id, step.flags, args, &result);
            EXPECT_EQ(Outcome(hr, result, args), step.outcome);
            ExpectEvents(step.events);
        }
        EXPECT_EQ(InvokeMember(m_ctrl, 25, kCall, {CComVariant(1L)}), S_OK);
        Call(Id::kUninit);
        EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
    }
};

// Answers with their fields, too few of them, or values that are no numbers: the failure value with S_OK.
TEST_F(LumoClientCtrlStepTest, SynchronousAnswersAreReadOrGiveTheFailureValue)
{
    const auto call5 = [](T&, Refs&) { return V{CComVariant(5L)}; };
    const auto file = [](T&, Refs&) { return V{CComVariant(5L), Str(L"f")}; };
    const auto recording = [](const char* pszAnswer) {
        return "expect RECCAL (?P<id>\\d+) 5\n" + std::string(pszAnswer) + "\n";
    };
    RunSteps({
        {38, kCall, call5, recording("answer RECCAL 2"), L"S_OK 2", {}, "a result"},
        {38, kCall, call5, recording("answer RECCAL"), L"S_OK -1", {}, "no field"},
        {38, kCall, call5, recording("answer RECCAL x"), L"S_OK 0", {}, "not a number"},
        {38, kCall, call5, recording("answer RECCAL 40000"), L"S_OK 0", {}, "beyond 16 bits"},
        {42, kCall, file, "expect QRESTA (?P<id>\\d+) 5 f\nanswer QRESTA 5\n", L"S_OK -1", {}, "question: one field"},
        {42, kCall, file, "expect QRESTA (?P<id>\\d+) 5 f\nanswer QRESTA 5 3\n", L"S_OK 3", {}, "question"},
        {43, kCall, call5, "expect QRESTO (?P<id>\\d+) 5\nanswer QRESTO 5\n", L"S_OK 0b", {}, "stop: one field"},
        {43, kCall, call5, "expect QRESTO (?P<id>\\d+) 5\nanswer QRESTO 5 0\n", L"S_OK 0b", {}, "stop: 0"},
        {43, kCall, call5, "expect QRESTO (?P<id>\\d+) 5\nanswer QRESTO 5 7\n", L"S_OK -1b", {}, "stop: 7"},
        {52, kCall, file, "expect PLSSTA (?P<id>\\d+) 5 f\nanswer PLSSTA 5\n", L"S_OK 0b", {}, "sound: one field"},
        {52,
         kCall,
         file,
         "expect PLSSTA (?P<id>\\d+) 5 f\nanswer PLSSTA 5 x\n",
         L"S_OK -1b",
         {},
         "sound: a flag is true unless 0"},
        {53, kCall, call5, "expect PLSSTO (?P<id>\\d+) 5\nanswer PLSSTO 5 0\n", L"S_OK 0b", {}, "sound stopped: 0"},
        {66,
         kCall,
         [](T&, Refs&) { return V{Bool(VARIANT_FALSE)}; },
         "expect REPLMA (?P<id>\\d+) 1 0\nanswer REPLMA\n",
         L"S_OK 0b",
         {},
         "replay role: no field"},
        {21,
         kCall,
         [](T& t, Refs&) {
             return V{t.Map({{CComVariant(3L), Str(L"Old")}})};
         },
         "expect LSTPAU (?P<id>\\d+)\nanswer LSTPAU '3 = \"Lunch\" 4 = \"Break\" '\n",
         L"S_OK 2 {'3'='Old','4'='Break'}",
         {},
         "a pause the map holds keeps its old name and still counts"},
        {21,
         kCall,
         [](T& t, Refs&) { return V{t.Map({})}; },
         "expect LSTPAU (?P<id>\\d+)\nanswer LSTPAU\n",
         L"S_OK 0 {}",
         {},
         "pause list: no field"},
        {26,
         kCall,
         [](T& t, Refs&) {
             return V{CComVariant(0L), t.Map({}), t.Map({}), t.Map({})};
         },
         "expect LSTAGT (?P<id>\\d+) 0\nanswer LSTAGT 0\n",
         L"S_OK 0 {} {} {}",
         {},
         "agent list: one field"},
        {62,
         kCall,
         [](T&, Refs& r) {
             return V{CComVariant(7L), ByRef(&r.lValue), ByRef(&r.strValue.m_str)};
         },
         "expect GETASE (?P<id>\\d+) 7\nanswer GETASE ''\n",
         L"S_OK 0b 11 'old'",
         {},
         "an empty setting leaves the values as they were"},
        {62,
         kCall,
         [](T&, Refs& r) {
             return V{CComVariant(7L), ByRef(&r.lValue), ByRef(&r.strValue.m_str)};
         },
         "expect GETASE (?P<id>\\d+) 7\nanswer GETASE 'strValue = \"x\" '\n",
         L"S_OK -1b 0 'x'",
         {},
         "a setting without lValue"},
        {70,
         kCall,
         [](T&, Refs& r) {
             return V{CComVariant(5L), ByRef(&r.pCalls)};
         },
         "expect CALLHY (?P<id>\\d+) 5\ndata CALLHY {id} calls:2 5 {crc} crc=bad\n",
         L"S_FALSE -1 calls:null",
         {L"200('CLumoSocket::GetCallHistory for call ID 5: Invalid Checksum when data was received (Calculated *"},
         "history with a bad checksum"},
        {70,
         kCall,
         [](T&, Refs& r) {
             return V{CComVariant(6L), ByRef(&r.pCalls)};
         },
         "expect CALLHY (?P<id>\\d+) 6\nline CALLHY {id} 0 6 0\n",
         L"S_OK 0 calls:0",
         {},
         "a call Lumo does not know: an empty history"},
    });
}

// Interview data in every shape a client may pass, messages and e-mails with their attachments, and
// maps whose values are no texts.
TEST_F(LumoClientCtrlStepTest, PayloadsAndTheirArgumentChecks)
{
    const std::wstring kWrongFormat =
        Text200(L"CLumoClientCtrl::SendInterview => pInterviewData has wrong array format!");
    const std::vector<BYTE> big = Pattern(100000);
    const auto interview = [](std::function<CComVariant(Refs&)> data) {
        return [data](T&, Refs& r) { return V{CComVariant(3L), CComVariant(5L), data(r), UI4(9)}; };
    };
    RunSteps({
        {46,
         kCall,
         interview([](Refs&) {
             return Array(VT_I4, 0, {1, 2});
         }),
         "",
         L"S_FALSE 0b",
         {kWrongFormat},
         "an array of I4"},
        {46,
         kCall,
         interview([](Refs& r) {
             r.held = Bytes({1, 2, 3});
             CComVariant v;
             v.vt = VT_BYREF | VT_ARRAY | VT_UI1;
             v.pparray = &r.held.parray;
             return v;
         }),
         "",
         L"S_FALSE 0b",
         {kWrongFormat},
         "a byte array by reference"},
        {46,
         kCall,
         interview([](Refs&) {
             SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
             CComVariant v;
             v.vt = VT_ARRAY | VT_UI1;
             v.parray = ::SafeArrayCreate(VT_UI1, 2, bounds);
             return v;
         }),
         "",
         L"S_FALSE 0b",
         {kWrongFormat},
         "a byte array of two dimensions"},
        {46,
         kCall,
         interview([](Refs&) { return Bytes({}); }),
         "expect SNDINT \\d+ 0 3 5 9\n",
         L"S_OK -1b",
         {},
         "an empty array: no bytes"},
        {46,
         kCall,
         interview([](Refs&) {
             return Array(VT_UI1, 1, {1, 2, 3});
         }),
         "expect SNDINT \\d+ 3 3 5 9\npayload 3 hex=010203\n",
         L"S_OK -1b",
         {},
         "lower bound 1: exactly its elements"},
        {46,
         kCall,
         interview([big](Refs&) { return Bytes(big); }),
         "expect SNDINT \\d+ 100000 3 5 9\npayload 100000 crc=" +
             std::to_string(CStaticTools::GetChecksumForMemory(big.data(), 100000)) + "\n",
         L"S_OK -1b",
         {},
         "an array freed as soon as the member returns"},
        {64,
         kCall,
         [](T& t, Refs&) {
             return V{MessageWith(t, T::kMessageClass, 5,
                                  {{Str(L"b.txt"), Bytes({4, 5})}, {Str(L"a.txt"), Bytes({1, 2, 3})}})};
         },
         "expect SNDMSG \\d+ 5 .*attfn0\\x0c=\\x0c\"a\\.txt\".*attfn1\\x0c=\\x0c\"b\\.txt\".*\npayload 5 "
         "hex=0102030405\n",
         L"S_OK vt0",
         {},
         "two attachments, their bytes in key order"},
        {64,
         kCall,
         [](T& t, Refs&) {
             return V{MessageWith(t, T::kMessageClass, 5,
                                  {{Str(L"a.bin"), Array(VT_UI1, 1, {9, 8})}, {Str(L"t.txt"), Str(L"text")}})};
         },
         "expect SNDMSG \\d+ 2 .*attcnt\\x0c=\\x0c\"1\".*attsz0\\x0c=\\x0c\"2\".*\npayload 2 hex=0908\n",
         L"S_OK vt0",
         {Text200(L"CLumoClientCtrl::ParseAttachmentsMap => Attachement is not an byte array!")},
         "an array from 1 and a text as attachment"},
        {65,
         kCall,
         [](T& t, Refs&) {
             CComVariant mail = MessageWith(t, T::kEmailClass, 8, {});
             EXPECT_EQ(InvokeMember(mail.pdispVal, 6, kPut, {CComVariant(5L)}), S_OK);
             CComVariant to;
             InvokeMember(mail.pdispVal, 1, kGet, {}, &to);
             InvokeMember(to.pdispVal, 10, kCall, {Str(L"x@y")});
             return V{CComVariant(4L), mail};
         },
         "expect SNDMAI \\d+ 0 4 .*emTP\\x0c=\\x0c\"0\".*emTo\\x0c=\\x0c\"x@y.*\n",
         L"S_OK vt0",
         {Text200(L"CLumoClientCtrl::SendEmail => Unsupported mailtype")},
         "mail type 5 goes as plain text"},
        {29,
         kCall,
         [](T& t, Refs&) {
             return V{CComVariant(4L), Short(1), Short(0),
                      t.Map({{Str(L"a"), CComVariant(7L)}, {Str(L"b"), t.Map({})}, {Str(L"c"), CComVariant()}})};
         },
         "expect ENDTSK \\d+ 1 "
         "BreSecondaryCode\\x0c=\\x0c\"0\"\\x0cQoCallId\\x0c=\\x0c\"4\"\\x0ca\\x0c=\\x0c\"7\"\\x0c\n",
         L"S_OK vt0 {'a'=7,'b'={},'c'=vt0}",
         {Text200(L"CLumoClientCtrl::ParseLumoClientMapToPropertyList => The value of b is not a text!"),
          Text200(L"CLumoClientCtrl::ParseLumoClientMapToPropertyList => The value of c is not a text!")},
         "a number becomes its text; an object and an empty value are skipped and reported"},
    });
}

// What the members need and what the guards beyond the first test: missing objects and out pointers,
// a pause while in a pause, and values that Wine's IDispatch must pass by reference.
TEST_F(LumoClientCtrlStepTest, MissingObjectsPausesAndLateBoundReferences)
{
    const auto missing = [](const wchar_t* pszMember, const wchar_t* pszArgument) {
        return Text200(std::wstring(L"CLumoClientCtrl::") + pszMember + L" => " + pszArgument + L" is missing!");
    };
    RunSteps(
        {
            {64,
             kCall,
             [](T&, Refs&) { return V{NoObject()}; },
             "",
             L"S_FALSE vt0",
             {missing(L"SendMessageToSupervisor", L"toSend")},
             "no message"},
            {65,
             kCall,
             [](T&, Refs&) {
                 return V{CComVariant(4L), NoObject()};
             },
             "",
             L"S_FALSE vt0",
             {missing(L"SendEmail", L"mailToSend")},
             "no e-mail"},
            {21,
             kCall,
             [](T&, Refs&) { return V{NoObject()}; },
             "",
             L"S_FALSE 1515870810",
             {missing(L"GetPauseList", L"mapPauses")},
             "no map to fill"},
            {70,
             kCall,
             [](T&, Refs&) {
                 return V{CComVariant(5L), ByRef(static_cast<IDispatch**>(nullptr))};
             },
             "",
             L"S_FALSE -1 nullref",
             {missing(L"GetCallHistory", L"arrCalls")},
             "no place for the history"},
            {62,
             kCall,
             [](T&, Refs& r) {
                 return V{CComVariant(7L), ByRef(static_cast<LONG*>(nullptr)), ByRef(&r.strValue.m_str)};
             },
             "",
             L"S_FALSE 0b nullref 'old'",
             {missing(L"GetAgentSetting", L"lValue")},
             "no place for the number"},
            {23,
             kCall,
             [](T&, Refs&) {
                 return V{CComVariant(8L), CComVariant(0L)};
             },
             "",
             L"S_FALSE vt0",
             {},
             "a pause while in a pause: silent"},
            {6, kGet, [](T&, Refs&) { return V{}; }, "", L"S_OK -1", {}, "and the pause reason stays"},
            {62,
             kCall,
             [](T&, Refs& r) {
                 return V{CComVariant(7L), ByRef(&r.lValue), ByRef(&r.strValue.m_str)};
             },
             "expect GETASE (?P<id>\\d+) 7\nanswer GETASE 'lValue = \"-2\" strValue = \"b c\" '\n",
             L"S_OK -1b -2 'b c'",
             {},
             "late bound: lValue and strValue come back",
             true},
            {46,
             kCall,
             [](T&, Refs&) {
                 return V{CComVariant(3L), CComVariant(5L), Bytes({7}), UI4(1)};
             },
             "expect SNDINT \\d+ 1 3 5 1\npayload 1 hex=07\n",
             L"S_OK -1b",
             {},
             "late bound: the array by value",
             true},
            {46,
             kCall,
             [](T&, Refs& r) {
                 r.held = Bytes({6});
                 CComVariant v;
                 v.vt = VT_BYREF | VT_VARIANT;
                 v.pvarVal = &r.held;
                 return V{CComVariant(3L), CComVariant(5L), v, UI4(1)};
             },
             "expect SNDINT \\d+ 1 3 5 1\npayload 1 hex=06\n",
             L"S_OK -1b",
             {},
             "late bound: the array in a variable by reference, as scripts pass it",
             true},
            {69,
             kCall,
             [](T&, Refs&) {
                 return V{CComVariant(5L), Str(L"9"), CComVariant(1L)};
             },
             "expect DODTMF \\d+ 5 9 1\n",
             L"S_OK vt0",
             {},
             "late bound: an I4 1 is made VARIANT_TRUE first",
             true},
            {69,
             kCall,
             [](T&, Refs&) {
                 return V{CComVariant(5L), Str(L"9"), Bool(1)};
             },
             "expect DODTMF \\d+ 5 9 0\n",
             L"S_OK vt0",
             {},
             "late bound: a BOOL 1 is false",
             true},
        },
        2);
}

// Log-on succeeds only when Lumo answers the number 0: a text that is no number, or one that a 16-bit
// reading would cut to 0, is a refusal. A password already encrypted goes as given, an empty one as 0x08.
TEST_F(LumoClientCtrlStepTest, LogOnSucceedsOnlyForTheNumberZero)
{
    const auto logon = [](const wchar_t* pszPassword, VARIANT_BOOL bEncrypted) {
        return [pszPassword, bEncrypted](T&, Refs&) {
            return V{Str(L"ann"), CComVariant(7L), Str(pszPassword), Bool(bEncrypted)};
        };
    };
    const auto answer = [](const char* pszField) {
        return "expect ALOGON (?P<id>\\d+) 1 ann 7 {pw:pw}\nanswer ALOGON " + std::string(pszField) + "\n";
    };
    RunSteps(
        {
            {31, kCall, logon(L"pw", VARIANT_FALSE), answer("0"), L"S_OK -1b", {}, "0"},
            {31, kCall, logon(L"pw", VARIANT_FALSE), answer("65536"), L"S_OK 0b", {}, "65536 is no 0"},
            {31, kCall, logon(L"pw", VARIANT_FALSE), answer("x"), L"S_OK 0b", {}, "a text is no 0"},
            {31, kCall, logon(L"pw", VARIANT_FALSE), answer("3"), L"S_OK 0b", {}, "a refusal"},
            {31, kCall, logon(L"pw", VARIANT_FALSE), answer("''"), L"S_OK 0b", {}, "an empty field"},
            {31,
             kCall,
             logon(L"ABCD", VARIANT_TRUE),
             "expect ALOGON (?P<id>\\d+) 1 ann 7 ABCD\nanswer ALOGON 0\n",
             L"S_OK -1b",
             {},
             "already encrypted: as given"},
            {32,
             kCall,
             [](T&, Refs&) {
                 return V{CComVariant(12L), CComVariant(7L), Str(L""), Bool(VARIANT_TRUE)};
             },
             "expect ALOGON (?P<id>\\d+) 2 12 7 \\x08\nanswer ALOGON 0\n",
             L"S_OK -1b",
             {},
             "an empty password"},
        },
        0);
}

// The audio properties ask Lumo only while they know nothing, puts outside 0..100 and puts of the held
// mute send nothing, and what Lumo pushes fills them too. IsPossibleMessageMaster set without a link is
// kept, reported, and carried by the registration.
TEST_F(LumoClientCtrlRequestTest, CachesAskOnceAndPutsSendOnlyWhatChanges)
{
    CScriptedLumo lumo(Accepted() + "expect APLGIN (?P<id>\\d+) 7 1\nline APLGIN {id} -1 1 3\n"
                                    "expect AUVLME (?P<id>\\d+) 1 -1\nanswer AUVLME 1 70\n"
                                    "expect AUVLME \\d+ 1 0\nexpect AUVLME \\d+ 1 100\n"
                                    "expect AUMUTE (?P<id>\\d+) 1 -1\nanswer AUMUTE 1 1\n"
                                    "expect AUMUTE (?P<id>\\d+) 2 -1\nanswer AUMUTE 2 0\n"
                                    "expect AUMUTE \\d+ 1 0\n"
                                    "expect ISVOIP (?P<id>\\d+)\nanswer ISVOIP 1\n"
                                    "push AUVLME 2 33\n"
                                    "expect UPMSGM \\d+ 0\nexpect SHOWLC \\d+ 1\nwaitclose\n");
    Put(Id::kLogMode, CComVariant(2L));
    const auto vt = [this](DISPID id, WORD flags, const V& args = {}) {
        CComVariant result;
        const HRESULT hr = InvokeThroughVtable(m_ctrl, id, flags, args, &result);
        return Outcome(hr, result, args);
    };
    EXPECT_EQ(vt(9, kPut, {Bool(VARIANT_TRUE)}), L"S_OK vt0");
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"200('Lumo is not connected!')"});
    EXPECT_EQ(vt(9, kGet), L"S_OK -1b") << "kept without a link";
    ConnectAs(lumo); // the registration carries it: APLGIN 7 1

    EXPECT_EQ(vt(11, kGet), L"S_OK 70s");
    EXPECT_EQ(vt(11, kGet), L"S_OK 70s") << "the second get asks nothing";
    for (short n : {101, 200, -1})
        EXPECT_EQ(vt(11, kPut, {Short(n)}), L"S_OK vt0") << n;
    EXPECT_EQ(vt(11, kGet), L"S_OK 70s") << "puts outside 0..100 change nothing";
    EXPECT_EQ(vt(11, kPut, {Short(0)}), L"S_OK vt0");
    EXPECT_EQ(vt(11, kPut, {Short(100)}), L"S_OK vt0");
    EXPECT_EQ(vt(11, kGet), L"S_OK 100s");
    EXPECT_EQ(vt(13, kGet), L"S_OK -1b");
    EXPECT_EQ(vt(14, kGet), L"S_OK 0b") << "each mute asks for itself";
    EXPECT_EQ(vt(13, kPut, {Bool(VARIANT_TRUE)}), L"S_OK vt0") << "the held value: nothing sent";
    EXPECT_EQ(vt(13, kPut, {Bool(1)}), L"S_OK vt0") << "1 is no VARIANT_TRUE: unmuted, sent";
    EXPECT_EQ(vt(13, kGet), L"S_OK 0b");
    EXPECT_EQ(vt(15, kGet), L"S_OK -1b");
    EXPECT_EQ(vt(15, kGet), L"S_OK -1b") << "IsVoIP asks once";
    ASSERT_TRUE(PumpUntilEvent(L"26(33s)"));
    EXPECT_EQ(vt(12, kGet), L"S_OK 33s") << "the pushed volume, without a question";
    EXPECT_EQ(vt(9, kPut, {Bool(VARIANT_FALSE)}), L"S_OK vt0");
    EXPECT_EQ(vt(9, kPut, {Bool(VARIANT_FALSE)}), L"S_OK vt0") << "unchanged: nothing sent";
    EXPECT_EQ(InvokeMember(m_ctrl, 25, kCall, {CComVariant(1L)}), S_OK);
    Call(Id::kUninit);
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

// While the loss of the link is reported, a sink of JexConnectionChanged(3) still sees the agent logged
// on: a member with the agent guard that it calls finds no link and is refused, instead of sending
// through the link that is gone.
TEST_F(LumoClientCtrlRequestTest, AMemberCalledWhileTheLossIsReportedIsRefused)
{
    CScriptedLumo lumo(Registered(1, 3) + "close\n");
    Put(Id::kLogMode, CComVariant(2L));
    std::vector<HRESULT> results;
    m_sink->m_onInvoke = [&](const CRecordingSink::Call& call) {
        if (call.dispId == Ev::kJex && call.args.size() == 1 && call.args[0].value.lVal == 3)
            results.push_back(InvokeThroughVtable(m_ctrl, 34, kCall, {CComVariant(5L)}));
        return S_OK;
    };
    ConnectAs(lumo);
    ASSERT_TRUE(PumpUntilEvent(L"2(0)"));
    EXPECT_EQ(results, std::vector<HRESULT>{S_FALSE});
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"3(3)", L"200('Lumo is not connected!')", L"4(18)", L"2(0)"}));
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}
