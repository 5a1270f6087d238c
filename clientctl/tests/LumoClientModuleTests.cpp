// LumoClient.ocx (copied beside this program) as a client loads it: its exports, its resources and
// its type library.
#include "framework/CComBSTR.h"
#include "framework/CComPtr.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/ModuleExport.h"
#include "LumoVersion.h"
#include <gtest/gtest.h>
#include <oleauto.h>
#include <string>
#include <vector>

namespace
{
// The published library id, which registry entries and manifests name.
const GUID kLibId = {0x2DB51A0F, 0xE82B, 0x4C20, {0x87, 0xF1, 0x9C, 0xAB, 0xC2, 0x91, 0x59, 0xD5}};

class LumoClientModule : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(m_hLibrary, nullptr) << "LoadLibrary failed: " << ::GetLastError(); }
    void TearDown() override
    {
        if (m_hLibrary) ::FreeLibrary(m_hLibrary);
    }
    std::wstring m_path = PathBesideProgram(L"LumoClient.ocx");
    HMODULE m_hLibrary = ::LoadLibraryW(m_path.c_str());
};

// The export directory as the loader sees it: for every ordinal, the name that leads to it.
std::vector<std::string> ExportNamesByOrdinal(HMODULE hModule, DWORD* pBase)
{
    const auto* base = reinterpret_cast<const BYTE*>(hModule);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    *pBase = exports->Base;
    std::vector<std::string> names(exports->NumberOfFunctions);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const auto* nameOrdinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        if (nameOrdinals[i] < names.size()) names[nameOrdinals[i]] = reinterpret_cast<const char*>(base + nameRvas[i]);
    return names;
}
} // namespace

TEST_F(LumoClientModule, ExportsTheFiveEntriesByNameAtOrdinalsOneToFive)
{
    DWORD base = 0;
    const std::vector<std::string> names = ExportNamesByOrdinal(m_hLibrary, &base);
    EXPECT_EQ(base, 1u);
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllInstall",
                                               "DllRegisterServer", "DllUnregisterServer"};
    EXPECT_EQ(names, expected);
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE(expected[i]);
        FARPROC byOrdinal = ::GetProcAddress(m_hLibrary, MAKEINTRESOURCEA(i + 1));
        EXPECT_NE(byOrdinal, nullptr);
        EXPECT_EQ(byOrdinal, ::GetProcAddress(m_hLibrary, expected[i].c_str()));
    }
}

TEST_F(LumoClientModule, FileVersionIs5493)
{
    DWORD dwHandle = 0;
    const DWORD dwSize = ::GetFileVersionInfoSizeW(m_path.c_str(), &dwHandle);
    ASSERT_GT(dwSize, 0u);
    std::vector<BYTE> block(dwSize);
    ASSERT_TRUE(::GetFileVersionInfoW(m_path.c_str(), 0, dwSize, block.data()));
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT nLength = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&pInfo), &nLength));
    EXPECT_EQ(pInfo->dwFileVersionMS, MAKELONG(LUMO_VERSION_MINOR, LUMO_VERSION_MAJOR));
    EXPECT_EQ(pInfo->dwFileVersionLS, MAKELONG(LUMO_VERSION_REVISION, LUMO_VERSION_BUILD));
    EXPECT_EQ(pInfo->dwProductVersionMS, MAKELONG(LUMO_VERSION_MINOR, LUMO_VERSION_MAJOR));
    EXPECT_EQ(pInfo->dwProductVersionLS, MAKELONG(LUMO_VERSION_REVISION, LUMO_VERSION_BUILD));
    EXPECT_EQ(pInfo->dwFileType, static_cast<DWORD>(VFT_DLL));
    wchar_t* text = nullptr;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\FileVersion",
                                 reinterpret_cast<void**>(&text), &nLength));
    EXPECT_STREQ(text, LUMO_VERSION_WTEXT);
}

TEST_F(LumoClientModule, StringTableCarriesTheLibrarysTexts)
{
    struct StringCase
    {
        UINT id;
        const wchar_t* text;
    };
    const StringCase cases[] = {
        {100, L"LumoClientLib"},
        {50000, L"Windows sockets initialization failed"},
        {50001, L"The version of LumoClient.ocx (v %s) is different from the version of LUMO (v %s) you are trying "
                L"to connect to.\nTo avoid any problems please upgrade LumoClient.ocx"},
        {50002, L"Not connected to Lumo"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.id);
        wchar_t text[512] = L"";
        EXPECT_GT(::LoadStringW(m_hLibrary, c.id, text, 512), 0);
        EXPECT_STREQ(text, c.text);
    }
}

TEST_F(LumoClientModule, CarriesItsIsolationManifestAsResourceTwo)
{
    HRSRC hRes = ::FindResourceW(m_hLibrary, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24));
    ASSERT_NE(hRes, nullptr);
    const auto* data = static_cast<const char*>(::LockResource(::LoadResource(m_hLibrary, hRes)));
    const std::string manifest(data, ::SizeofResource(m_hLibrary, hRes));
    EXPECT_NE(manifest.find(R"(level="asInvoker" uiAccess="false")"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
}

TEST_F(LumoClientModule, TypeLibraryResourceCarriesThePublishedLibraryId)
{
    CComPtr<ITypeLib> lib;
    ASSERT_EQ(::LoadTypeLibEx(m_path.c_str(), REGKIND_NONE, &lib), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(::IsEqualGUID(attr->guid, kLibId));
    lib->ReleaseTLibAttr(attr);
    EXPECT_EQ(lib->GetTypeInfoCount(), 24u);
}

TEST_F(LumoClientModule, CanUnloadWhileNothingOfItLives)
{
    auto canUnloadNow = ModuleExport<HRESULT(STDAPICALLTYPE*)()>(m_hLibrary, "DllCanUnloadNow");
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

namespace
{
struct Coclass
{
    std::wstring name;
    CLSID clsid;
};
std::vector<Coclass> CoclassesOf(ITypeLib* pLib)
{
    std::vector<Coclass> coclasses;
    for (UINT i = 0; i < pLib->GetTypeInfoCount(); ++i)
    {
        TYPEKIND kind = TKIND_MAX;
        CComPtr<ITypeInfo> info;
        if (FAILED(pLib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS || FAILED(pLib->GetTypeInfo(i, &info)))
            continue;
        TYPEATTR* attr = nullptr;
        CComBSTR name;
        if (FAILED(info->GetTypeAttr(&attr))) continue;
        const CLSID clsid = attr->guid;
        info->ReleaseTypeAttr(attr);
        if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
            coclasses.push_back({std::wstring(name, name.Length()), clsid});
    }
    return coclasses;
}

std::string Utf8(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // GUIDs and ProgIDs are ASCII
}

std::string GuidText(REFGUID guid)
{
    wchar_t text[40] = L"";
    ::StringFromGUID2(guid, text, 40);
    return Utf8(text);
}

std::string ReadFile(const std::wstring& path)
{
    std::string data;
    HANDLE hFile = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return data;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(hFile, buffer, sizeof(buffer), &n, nullptr) && n > 0)
        data.append(buffer, n);
    ::CloseHandle(hFile);
    return data;
}
} // namespace

TEST_F(LumoClientModule, ManifestNamesEveryCoclassWithItsProgIdsAndThreadingModel)
{
    CComPtr<ITypeLib> lib;
    ASSERT_EQ(::LoadTypeLibEx(m_path.c_str(), REGKIND_NONE, &lib), S_OK);
    const std::vector<Coclass> coclasses = CoclassesOf(lib);
    ASSERT_EQ(coclasses.size(), 7u);
    const std::string manifest = ReadFile(PathBesideProgram(L"LumoClient.manifest"));
    ASSERT_FALSE(manifest.empty());
    size_t entries = 0;
    for (size_t at = manifest.find("<comClass "); at != std::string::npos; at = manifest.find("<comClass ", at + 1))
        ++entries;
    EXPECT_EQ(entries, coclasses.size());
    for (const auto& c : coclasses)
    {
        SCOPED_TRACE(Utf8(c.name));
        const size_t begin = manifest.find("clsid=\"" + GuidText(c.clsid) + "\"");
        ASSERT_NE(begin, std::string::npos);
        const std::string entry = manifest.substr(begin, manifest.find("</comClass>", begin) - begin);
        const std::string progId = "LumoClientLib." + Utf8(c.name);
        EXPECT_NE(entry.find("threadingModel=\"Apartment\""), std::string::npos);
        EXPECT_NE(entry.find("progid=\"" + progId + ".1\""), std::string::npos);
        EXPECT_NE(entry.find("<progid>" + progId + "</progid>"), std::string::npos);
        EXPECT_NE(entry.find("tlbid=\"" + GuidText(kLibId) + "\""), std::string::npos);
    }
    EXPECT_NE(manifest.find("<typelib tlbid=\"" + GuidText(kLibId) + "\" version=\"1.0\""), std::string::npos);
}

// Under an activation context Wine resolves a ProgID to an alias of the CLSID that only the context
// knows, so both ProgIDs of a class must lead to the same alias, and the names exist only there.
TEST_F(LumoClientModule, ManifestMakesBothProgIdsKnownWithoutRegistration)
{
    CLSID clsid = GUID_NULL;
    ASSERT_NE(::CLSIDFromProgID(L"LumoClientLib.LumoClientMap.1", &clsid), S_OK)
        << "LumoClient is registered in this prefix; the registration-free tests would prove nothing";
    CActivationContextScope context(PathBesideProgram(L"LumoClient.manifest"));
    ASSERT_TRUE(context.IsActive()) << context.Error();
    CLSID versioned = GUID_NULL;
    CLSID independent = GUID_NULL;
    CLSID other = GUID_NULL;
    EXPECT_EQ(::CLSIDFromProgID(L"LumoClientLib.LumoClientMap.1", &versioned), S_OK);
    EXPECT_EQ(::CLSIDFromProgID(L"LumoClientLib.LumoClientMap", &independent), S_OK);
    EXPECT_EQ(::CLSIDFromProgID(L"LumoClientLib.LumoClientCallCollection.1", &other), S_OK);
    EXPECT_EQ(GuidText(versioned), GuidText(independent));
    EXPECT_NE(GuidText(versioned), GuidText(other));
    EXPECT_NE(::CLSIDFromProgID(L"LumoClientLib.NoSuchClass", &clsid), S_OK);
}
