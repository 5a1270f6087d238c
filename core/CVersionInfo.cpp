#include "core/CVersionInfo.h"
#include "core/CPropertyList.h"
#include "framework/CHandleOwner.h"
#include <vector>

namespace
{
bool ReadAt(HANDLE hFile, LONG nOffset, void* pBuffer, DWORD nSize)
{
    DWORD nRead = 0;
    return SetFilePointer(hFile, nOffset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(hFile, pBuffer, nSize, &nRead, nullptr) && nRead == nSize;
}

CString ModulePath(HMODULE hModule)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;)
    {
        const DWORD n = GetModuleFileNameW(hModule, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return CString();
        if (n < buffer.size()) return CString(buffer.data());
        buffer.resize(buffer.size() * 2); // the path was cut
    }
}
} // namespace

bool CVersionInfo::IsPe64File(LPCWSTR pszPath)
{
    const CFileHandle file(CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    IMAGE_DOS_HEADER dos{};
    if (!ReadAt(file, 0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return false;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    WORD magic = 0;
    return ReadAt(file, dos.e_lfanew, &signature, sizeof(signature)) && signature == IMAGE_NT_SIGNATURE &&
           ReadAt(file, dos.e_lfanew + sizeof(signature), &header, sizeof(header)) &&
           header.SizeOfOptionalHeader >= sizeof(magic) &&
           ReadAt(file, dos.e_lfanew + sizeof(signature) + sizeof(header), &magic, sizeof(magic)) &&
           magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
}

BOOL CVersionInfo::Read()
{
    if (m_strFile.IsEmpty()) m_strFile = ModulePath(nullptr);
    DWORD dwHandle = 0;
    const DWORD nSize = GetFileVersionInfoSizeW(m_strFile, &dwHandle);
    if (nSize == 0) return FALSE;
    std::vector<BYTE> data(nSize);
    if (!GetFileVersionInfoW(m_strFile, 0, nSize, data.data())) return FALSE;
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT nFixed = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&pFixed), &nFixed) || !pFixed ||
        nFixed < sizeof(VS_FIXEDFILEINFO))
        return FALSE;
    const WORD nParts[] = {HIWORD(pFixed->dwFileVersionMS), LOWORD(pFixed->dwFileVersionMS),
                           HIWORD(pFixed->dwFileVersionLS), LOWORD(pFixed->dwFileVersionLS)};
    m_strVersion.Format(L"%hu.%hu.%hu.%hu", nParts[0], nParts[1], nParts[2], nParts[3]);
    m_nTestBuild = nParts[3] == 0 ? 1 : 0;
    m_dwFileFlags = pFixed->dwFileFlags;

    void* pLegal = nullptr;
    UINT nLegal = 0; // in characters
    if (VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\LegalCopyright", &pLegal, &nLegal) && pLegal &&
        nLegal)
    {
        const auto pszLegal = static_cast<LPCWSTR>(pLegal);
        m_strLegalCopyright = CString(pszLegal, static_cast<int>(wcsnlen(pszLegal, nLegal)));
    }
    else
        m_strLegalCopyright.Empty(); // not the text of a file read before

    m_n64Bit = IsPe64File(m_strFile) ? 1 : 0;

    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    FILETIME local{};
    SYSTEMTIME st{};
    if (GetFileAttributesExW(m_strFile, GetFileExInfoStandard, &attributes) &&
        FileTimeToLocalFileTime(&attributes.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &st))
        m_dtFileDate = COleDateTime(st);
    else
        m_dtFileDate.SetStatus(COleDateTime::null);
    return TRUE;
}

BOOL CVersionInfo::ReadFromModule(HMODULE hModule)
{
    if (hModule) m_strFile = ModulePath(hModule);
    return Read();
}

BOOL CVersionInfo::ReadFromAddress(const void* pAddress)
{
    MEMORY_BASIC_INFORMATION mbi{};
    if (pAddress && VirtualQuery(pAddress, &mbi, sizeof(mbi)) == sizeof(mbi) && mbi.AllocationBase)
        return ReadFromModule(static_cast<HMODULE>(mbi.AllocationBase));
    return Read();
}

BOOL CVersionInfo::ReadFromFile(LPCWSTR pszPath)
{
    if (pszPath && *pszPath) m_strFile = pszPath;
    return Read();
}

CString CVersionInfo::GetDisplayText(LPCWSTR pszProductName) const
{
    CString text;
    text.Format(L"%s version %s", pszProductName ? pszProductName : L"", static_cast<LPCWSTR>(m_strVersion));
    text += m_n64Bit ? L" (64-bit)" : L" (32-bit)";
    if (m_nTestBuild) text.AppendFormat(L"  -  BETA from %s", static_cast<LPCWSTR>(m_dtFileDate.Format()));
    return text;
}

CString CVersionInfo::GetText() const
{
    CPropertyList list;
    list.SetProperty(L"Mod", m_strFile);
    list.SetProperty(L"64b", m_n64Bit ? 1 : 0);
    list.SetProperty(L"Ver", m_strVersion);
    list.SetProperty(L"Cpy", m_strLegalCopyright);
    list.SetProperty(L"Tst", m_nTestBuild ? 1 : 0);
    list.SetProperty(L"Dat", m_dtFileDate, false);
    return list.GetString();
}

void CVersionInfo::SetFromText(LPCWSTR pszText)
{
    const CPropertyList list(pszText, false);
    list.GetProperty(L"Mod", m_strFile); // an absent text empties its member
    list.GetProperty(L"Ver", m_strVersion);
    list.GetProperty(L"Cpy", m_strLegalCopyright);
    int nFlag = 0;
    if (list.GetProperty(L"64b", nFlag)) m_n64Bit = nFlag ? 1 : 0;
    if (list.GetProperty(L"Tst", nFlag)) m_nTestBuild = nFlag ? 1 : 0;
    COleDateTime date;
    if (list.GetProperty(L"Dat", date, false) && date.GetStatus() == COleDateTime::valid) m_dtFileDate = date;
}
