#include "core/CZipWriter.h"
#include "framework/CHandleOwner.h"
#include <zlib.h>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

using namespace ZipLayout;

namespace
{
constexpr DWORD kMaxNameBytes = 259;
constexpr DWORD kLocalExtraSize = 17;
constexpr DWORD kCentralExtraSize = 9;
constexpr uint64_t kMaxZipSize = 0xFFFFFFFF; // sizes and offsets are 32-bit without ZIP64
constexpr size_t kMaxZipEntries = 0xFFFF;    // the end record counts entries in 16 bits
constexpr uint32_t kAttrFolder = 0x41C00010;
constexpr uint32_t kAttrPlainFile = 0x80000000;

// Match parameters of each level: zlib's classic configuration table
struct LevelTuning
{
    int good, lazy, nice, chain;
};
constexpr LevelTuning kLevels[9] = {
    {},
    {4, 4, 8, 4},
    {4, 5, 16, 8},
    {4, 6, 32, 32},
    {4, 4, 16, 16},
    {8, 16, 32, 32},
    {8, 16, 128, 128},
    {8, 32, 128, 256},
    {32, 128, 258, 1024},
};
bool IsPackLevel(int nLevel)
{
    return nLevel >= 1 && nLevel <= 8;
}

// Already compressed by their kind: deflating them again only costs time
bool IsStoredExtension(const std::string& name)
{
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    for (auto& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const char* stored : {".z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz"})
        if (ext == stored) return true;
    return false;
}

// Calendar fields of a local time, clamped to what 32-bit Unix seconds hold, read back as local
// standard time by the C library.
uint32_t UnixFromLocal(const FILETIME& local)
{
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&local, &st)) return 0;
    struct tm fields
    {
    };
    fields.tm_year = st.wYear - 1900;
    fields.tm_mon = st.wMonth - 1;
    fields.tm_mday = st.wDay;
    if (st.wYear < 1970)
    {
        fields.tm_year = 70;
        fields.tm_mon = 0;
        fields.tm_mday = 1;
    }
    else if (st.wYear > 2037)
    {
        fields.tm_year = 137;
        fields.tm_mon = 11;
        fields.tm_mday = 31;
    }
    fields.tm_hour = st.wHour;
    fields.tm_min = st.wMinute;
    fields.tm_sec = st.wSecond;
    fields.tm_isdst = 0;
    time_t t = mktime(&fields);
    return t == static_cast<time_t>(-1) ? 0 : static_cast<uint32_t>(t);
}

void StampFromLocal(const FILETIME& mtime, const FILETIME& atime, const FILETIME& ctime, uint16_t& dosDate,
                    uint16_t& dosTime, uint32_t& unixM, uint32_t& unixA, uint32_t& unixC)
{
    WORD date = 0, time = 0;
    FileTimeToDosDateTime(&mtime, &date, &time);
    dosDate = date;
    dosTime = time;
    unixM = UnixFromLocal(mtime);
    unixA = UnixFromLocal(atime);
    unixC = UnixFromLocal(ctime);
}

FILETIME NowLocal()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

// Text when printable ASCII outnumbers the rest at least four to one
bool LooksLikeText(const BYTE* p, size_t n)
{
    size_t nText = 0, nBinary = 0;
    for (size_t i = 0; i < n; ++i)
        (p[i] >= 7 && p[i] <= 127 ? nText : nBinary)++;
    return nText / 4 >= nBinary;
}

// The Unix "executable" bit for programs: an MZ header whose new-header position points at a
// known signature inside the file.
bool LooksExecutable(HANDLE hFile, uint64_t nSize)
{
    if (nSize <= 40) return false;
    BYTE head[40];
    DWORD nRead = 0;
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(hFile, zero, nullptr, FILE_BEGIN) || !ReadFile(hFile, head, sizeof head, &nRead, nullptr) ||
        nRead != sizeof head || head[0] != 0x4D || head[1] != 0x5A)
        return false;
    uint64_t p = Get32(head + 36);
    if (p + 52 >= nSize) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(p);
    BYTE sig[4];
    if (!SetFilePointerEx(hFile, at, nullptr, FILE_BEGIN) || !ReadFile(hFile, sig, sizeof sig, &nRead, nullptr) ||
        nRead != sizeof sig)
        return false;
    uint32_t v = Get32(sig);
    return v == 0x454C || v == 0x454E || v == 0x4550 || v == 0x5A4D;
}
} // namespace

// A block of the paging file, mapped for as long as the archive lives in it
class CZipWriter::CPagingBlock
{
public:
    explicit CPagingBlock(uint64_t nSize)
    {
        m_hMapping.Attach(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                             static_cast<DWORD>(nSize >> 32), static_cast<DWORD>(nSize), nullptr));
        if (m_hMapping.IsValid()) m_view.Attach(MapViewOfFile(m_hMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    // The view is written through: it was mapped with write access.
    BYTE* View() const { return static_cast<BYTE*>(const_cast<void*>(m_view.Get())); }

private:
    CKernelHandle m_hMapping;
    CMappedView m_view; // after the mapping: unmapped before it is closed
};

// What one addition reads from: a handle (owned when we opened it by name) or memory
struct CZipWriter::Source
{
    CFileHandle owned;
    HANDLE hFile = INVALID_HANDLE_VALUE;
    const BYTE* pMemory = nullptr;
    uint64_t nLength = 0;
    bool lengthKnown = false;
    bool folder = false;
    uint64_t nMemoryRead = 0;

    // -1 for a read error; 0 at the end
    long long Read(BYTE* pOut, DWORD nCount)
    {
        if (folder) return 0;
        if (pMemory)
        {
            DWORD n = static_cast<DWORD>(std::min<uint64_t>(nCount, nLength - nMemoryRead));
            memcpy(pOut, pMemory + nMemoryRead, n);
            nMemoryRead += n;
            return n;
        }
        DWORD nRead = 0;
        if (!ReadFile(hFile, pOut, nCount, &nRead, nullptr))
            return GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
        return nRead;
    }
};

CZipWriter::CZipWriter() = default;
CZipWriter::~CZipWriter() = default;

ZRESULT CZipWriter::Create(void* pTarget, DWORD nSize, DWORD nKind)
{
    if (m_bCreated) return ZR_NOTINITED;
    if (nKind == ZIP_HANDLE)
    {
        HANDLE hDup = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(pTarget), GetCurrentProcess(), &hDup, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            return ZR_NODUPH;
        m_file.Attach(hDup);
        m_bSeekable = GetFileType(hDup) == FILE_TYPE_DISK;
        LARGE_INTEGER zero{}, pos{};
        if (m_bSeekable && SetFilePointerEx(hDup, zero, &pos, FILE_CURRENT))
            m_nBase = static_cast<uint64_t>(pos.QuadPart);
    }
    else if (nKind == ZIP_FILENAME)
    {
        if (!pTarget) return ZR_ARGS;
        m_file.Attach(CreateFileW(static_cast<LPCWSTR>(pTarget), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file.IsValid()) return ZR_NOFILE;
        m_bSeekable = true;
    }
    else if (nKind == ZIP_MEMORY)
    {
        if (nSize == 0) return ZR_MEMSIZE;
        m_bMemory = m_bSeekable = true;
        m_nMemorySize = nSize;
        if (pTarget)
            m_pMemory = static_cast<BYTE*>(pTarget);
        else
        {
            auto block = std::make_unique<CPagingBlock>(nSize);
            if (!block->View()) return ZR_NOALLOC;
            m_pMemory = block->View();
            m_blocks.push_back(std::move(block));
        }
    }
    else
        return ZR_ARGS;
    m_bCreated = true;
    return ZR_OK;
}

ZRESULT CZipWriter::GrowMemory(uint64_t nNeeded)
{
    uint64_t nSize = std::max(m_nMemorySize * 2, nNeeded);
    if (nSize > 0xFFFFFFFFull) return ZR_NOALLOC; // no archive of ours passes 4 GiB
    auto block = std::make_unique<CPagingBlock>(nSize);
    if (!block->View()) return ZR_NOALLOC;
    memcpy(block->View(), m_pMemory, static_cast<size_t>(m_nPos));
    m_pMemory = block->View();
    m_nMemorySize = nSize;
    m_blocks.clear(); // the earlier block is no longer needed
    m_blocks.push_back(std::move(block));
    return ZR_OK;
}

ZRESULT CZipWriter::Write(const void* pData, DWORD nCount)
{
    if (nCount == 0) return ZR_OK;
    if (m_bMemory)
    {
        if (m_nPos + nCount > m_nMemorySize)
        {
            ZRESULT result = GrowMemory(m_nPos + nCount);
            if (result != ZR_OK)
            {
                m_bWriteFailed = true;
                return result;
            }
        }
        memcpy(m_pMemory + m_nPos, pData, nCount);
        m_nPos += nCount;
        return ZR_OK;
    }
    DWORD nWritten = 0;
    if (!WriteFile(m_file.Get(), pData, nCount, &nWritten, nullptr) || nWritten != nCount)
    {
        m_bWriteFailed = true;
        return ZR_WRITE;
    }
    m_nPos += nCount;
    return ZR_OK;
}

ZRESULT CZipWriter::WriteAt(uint64_t nPos, const void* pData, DWORD nCount)
{
    if (m_bMemory)
    {
        if (nPos + nCount > m_nPos) return ZR_SEEK;
        memcpy(m_pMemory + nPos, pData, nCount);
        return ZR_OK;
    }
    LARGE_INTEGER at, end;
    at.QuadPart = static_cast<LONGLONG>(m_nBase + nPos);
    end.QuadPart = static_cast<LONGLONG>(m_nBase + m_nPos);
    if (!SetFilePointerEx(m_file.Get(), at, nullptr, FILE_BEGIN)) return ZR_SEEK;
    DWORD nWritten = 0;
    bool ok = WriteFile(m_file.Get(), pData, nCount, &nWritten, nullptr) && nWritten == nCount;
    if (!SetFilePointerEx(m_file.Get(), end, nullptr, FILE_BEGIN)) return ZR_SEEK;
    if (!ok)
    {
        m_bWriteFailed = true;
        return ZR_WRITE;
    }
    return ZR_OK;
}

// The fields the local and the central header share: version needed to name length.
BYTE* CZipWriter::PutSharedFields(BYTE* p, const Entry& e)
{
    p = Put16(p, 20);
    p = Put16(p, e.flags);
    p = Put16(p, e.method);
    p = Put16(p, e.dosTime);
    p = Put16(p, e.dosDate);
    p = Put32(p, e.crc);
    p = Put32(p, e.compSize);
    p = Put32(p, e.uncSize);
    p = Put16(p, static_cast<uint16_t>(e.name.size()));
    return p;
}

std::vector<BYTE> CZipWriter::LocalHeader(const Entry& e) const
{
    std::vector<BYTE> h(kLocalHeaderSize + e.name.size() + kLocalExtraSize);
    BYTE* p = h.data();
    p = Put32(p, kLocalSignature);
    p = PutSharedFields(p, e);
    p = Put16(p, kLocalExtraSize);
    memcpy(p, e.name.data(), e.name.size());
    p += e.name.size();
    p = Put16(p, 0x5455); // "UT"
    p = Put16(p, 13);
    *p++ = 7;
    p = Put32(p, e.mtime);
    p = Put32(p, e.atime);
    Put32(p, e.ctime);
    return h;
}

ZRESULT CZipWriter::OpenSource(Source& source, const void* pSource, DWORD nLength, DWORD nKind, Entry& entry)
{
    FILETIME now = NowLocal();
    if (nKind == ZIP_FOLDER)
    {
        source.folder = true;
        source.lengthKnown = true;
        entry.externalAttr = kAttrFolder;
        StampFromLocal(now, now, now, entry.dosDate, entry.dosTime, entry.mtime, entry.atime, entry.ctime);
        return ZR_OK;
    }
    if (nKind == ZIP_MEMORY)
    {
        if (!pSource || nLength == 0) return ZR_ARGS;
        source.pMemory = static_cast<const BYTE*>(pSource);
        source.nLength = nLength;
        source.lengthKnown = true;
        entry.externalAttr = kAttrPlainFile;
        StampFromLocal(now, now, now, entry.dosDate, entry.dosTime, entry.mtime, entry.atime, entry.ctime);
        return ZR_OK;
    }
    if (nKind == ZIP_FILENAME)
    {
        if (!pSource) return ZR_ARGS;
        source.owned.Attach(CreateFileW(static_cast<LPCWSTR>(pSource), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!source.owned.IsValid()) return ZR_NOFILE;
        source.hFile = source.owned.Get();
    }
    else if (nKind == ZIP_HANDLE)
        source.hFile = const_cast<HANDLE>(pSource);
    else
        return ZR_ARGS;

    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(source.hFile) == FILE_TYPE_DISK && GetFileInformationByHandle(source.hFile, &info))
    {
        source.nLength = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        source.lengthKnown = true;
        uint32_t a = info.dwFileAttributes & 0x37; // read-only, hidden, system, directory, archive
        a |= (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0x40000000 : 0x80000000;
        a |= 0x01000000;
        if (!(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) a |= 0x00800000;
        if (LooksExecutable(source.hFile, source.nLength)) a |= 0x00400000;
        entry.externalAttr = a;
        FILETIME m{}, ac{}, c{};
        FileTimeToLocalFileTime(&info.ftLastWriteTime, &m);
        FileTimeToLocalFileTime(&info.ftLastAccessTime, &ac);
        FileTimeToLocalFileTime(&info.ftCreationTime, &c);
        StampFromLocal(m, ac, c, entry.dosDate, entry.dosTime, entry.mtime, entry.atime, entry.ctime);
        LARGE_INTEGER zero{};
        if (!SetFilePointerEx(source.hFile, zero, nullptr, FILE_BEGIN)) return ZR_READ;
        return ZR_OK;
    }
    // A pipe or another stream: only the caller knows its length, if anyone does
    source.nLength = nLength;
    source.lengthKnown = nLength != 0;
    entry.externalAttr = kAttrPlainFile;
    StampFromLocal(now, now, now, entry.dosDate, entry.dosTime, entry.mtime, entry.atime, entry.ctime);
    return ZR_OK;
}

ZRESULT CZipWriter::CopyStored(Source& source, Entry& entry)
{
    std::vector<BYTE> piece(kPieceSize);
    uint64_t nTotal = 0;
    uint32_t crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    while (true)
    {
        long long n = source.Read(piece.data(), kPieceSize);
        if (n < 0) return ZR_WRITE;
        if (n == 0) break;
        crc = static_cast<uint32_t>(crc32(crc, piece.data(), static_cast<uInt>(n)));
        ZRESULT result = Write(piece.data(), static_cast<DWORD>(n));
        if (result != ZR_OK) return result;
        nTotal += static_cast<uint64_t>(n);
    }
    if (nTotal > kMaxZipSize) return ZR_WRITE; // sizes without ZIP64 end at 4 GiB
    entry.crc = crc;
    entry.uncSize = entry.compSize = static_cast<uint32_t>(nTotal);
    return ZR_OK;
}

ZRESULT CZipWriter::CopyDeflated(Source& source, Entry& entry, int nLevel)
{
    if (!IsPackLevel(nLevel)) return ZR_WRITE; // "bad pack level"
    z_stream zs{};
    if (deflateInit2(&zs, nLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return ZR_WRITE;
    std::unique_ptr<z_stream, int (*)(z_stream*)> end(&zs, deflateEnd);
    const LevelTuning& t = kLevels[nLevel];
    if (deflateTune(&zs, t.good, t.lazy, t.nice, t.chain) != Z_OK) return ZR_WRITE;

    std::vector<BYTE> in(kPieceSize), out(kPieceSize);
    uint32_t crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    uint64_t nTotalIn = 0, nTotalOut = 0;
    bool bFirst = true, bEnd = false;
    while (!bEnd)
    {
        long long n = source.Read(in.data(), kPieceSize);
        if (n < 0) return ZR_WRITE;
        if (bFirst)
        {
            // Judged on the first piece, as the first block of the stream would be
            if (LooksLikeText(in.data(), static_cast<size_t>(n))) entry.internalAttr |= 1;
            bFirst = false;
        }
        bEnd = n == 0;
        crc = static_cast<uint32_t>(crc32(crc, in.data(), static_cast<uInt>(n)));
        nTotalIn += static_cast<uint64_t>(n);
        zs.next_in = in.data();
        zs.avail_in = static_cast<uInt>(n);
        do
        {
            zs.next_out = out.data();
            zs.avail_out = kPieceSize;
            int ret = deflate(&zs, bEnd ? Z_FINISH : Z_NO_FLUSH);
            if (ret == Z_STREAM_ERROR) return ZR_WRITE;
            DWORD nOut = kPieceSize - zs.avail_out;
            ZRESULT result = Write(out.data(), nOut);
            if (result != ZR_OK) return result;
            nTotalOut += nOut;
        } while (zs.avail_out == 0);
    }
    if (nTotalIn > kMaxZipSize || nTotalOut > kMaxZipSize) return ZR_WRITE;
    entry.crc = crc;
    entry.uncSize = static_cast<uint32_t>(nTotalIn);
    entry.compSize = static_cast<uint32_t>(nTotalOut);
    return ZR_OK;
}

ZRESULT CZipWriter::Add(LPCWSTR szName, const void* pSource, DWORD nLength, DWORD nKind, int nLevel)
{
    if (m_bWriteFailed) return ZR_FAILED;
    if (m_bFinished) return ZR_ENDED;
    if (!szName || !*szName) return ZR_ARGS;
    if (m_entries.size() >= kMaxZipEntries) return ZR_ARGS; // the end record could not count it
    std::wstring wideName = szName;
    std::replace(wideName.begin(), wideName.end(), L'\\', L'/');
    if (nKind == ZIP_FOLDER && wideName.back() != L'/') wideName += L'/';

    Entry entry;
    BOOL bDefaultUsed = FALSE;
    int nBytes = WideCharToMultiByte(CP_ACP, 0, wideName.data(), static_cast<int>(wideName.size()), nullptr, 0, nullptr,
                                     &bDefaultUsed);
    // A name the code page cannot hold would come back as a different one
    if (nBytes <= 0 || bDefaultUsed || static_cast<DWORD>(nBytes) > kMaxNameBytes) return ZR_ARGS;
    entry.name.assign(nBytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, wideName.data(), static_cast<int>(wideName.size()), entry.name.data(), nBytes,
                        nullptr, nullptr);
    entry.method = (nKind == ZIP_FOLDER || IsStoredExtension(entry.name)) ? kMethodStored : kMethodDeflate;

    Source source;
    ZRESULT result = OpenSource(source, pSource, nLength, nKind, entry);
    if (result != ZR_OK) return result;
    // Refused before anything is written: a failed addition leaves no stray header behind
    if (entry.method == kMethodDeflate && !IsPackLevel(nLevel)) return ZR_WRITE;

    entry.flags = kFlagDescriptor;
    entry.compSize = entry.method == kMethodStored && source.lengthKnown ? static_cast<uint32_t>(source.nLength) : 0;
    entry.uncSize = source.lengthKnown ? static_cast<uint32_t>(source.nLength) : 0xFFFFFFFF;
    if (m_nPos + m_nBase > kMaxZipSize) return ZR_WRITE; // beyond what 32-bit offsets can point at
    entry.localOffset = static_cast<uint32_t>(m_nPos + m_nBase);
    const uint64_t nLocalPos = m_nPos;
    const uint32_t nAnnouncedComp = entry.compSize;
    result =
        Write(LocalHeader(entry).data(), static_cast<DWORD>(kLocalHeaderSize + entry.name.size() + kLocalExtraSize));
    if (result != ZR_OK) return result;

    if (source.folder)
    {
        entry.crc = entry.compSize = entry.uncSize = 0;
    }
    else
    {
        result = entry.method == kMethodStored ? CopyStored(source, entry) : CopyDeflated(source, entry, nLevel);
        if (result != ZR_OK) return m_bWriteFailed ? result : ZR_WRITE;
    }

    if (m_bSeekable)
    {
        entry.flags = 0;
        if (entry.method == kMethodDeflate)
        {
            if (nLevel == 1 || nLevel == 2) entry.flags |= 0x0004;
            if (nLevel == 8) entry.flags |= 0x0002;
        }
        std::vector<BYTE> header = LocalHeader(entry);
        result = WriteAt(nLocalPos, header.data(), static_cast<DWORD>(header.size()));
        if (result != ZR_OK) return result;
    }
    else
    {
        if (entry.method == kMethodStored && entry.compSize != nAnnouncedComp) return ZR_NOCHANGE;
        BYTE descriptor[16];
        BYTE* p = Put32(descriptor, kDescriptorSignature);
        p = Put32(p, entry.crc);
        p = Put32(p, entry.compSize);
        Put32(p, entry.uncSize);
        result = Write(descriptor, sizeof descriptor);
        if (result != ZR_OK) return result;
    }
    m_entries.push_back(std::move(entry));
    return ZR_OK;
}

BOOL CZipWriter::AddFolder(const std::wstring& folder, const std::wstring& subPath)
{
    if (!subPath.empty() && Add(subPath.c_str(), nullptr, 0, ZIP_FOLDER, 8) != ZR_OK) return FALSE;
    std::wstring base = subPath.empty() ? folder : folder + L"\\" + subPath;
    WIN32_FIND_DATAW fd;
    CFindHandle hFind(FindFirstFileW((base + L"\\*").c_str(), &fd));
    if (!hFind.IsValid()) return FALSE;
    BOOL bResult = TRUE;
    do
    {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring inner = subPath.empty() ? name : subPath + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            bResult = AddFolder(folder, inner);
        else
            bResult = Add(inner.c_str(), (base + L"\\" + name).c_str(), 0, ZIP_FILENAME, 8) == ZR_OK;
    } while (bResult && FindNextFileW(hFind, &fd));
    if (bResult && GetLastError() != ERROR_NO_MORE_FILES) bResult = FALSE;
    return bResult;
}

ZRESULT CZipWriter::Finish()
{
    if (m_bFinished) return m_finishResult;
    m_bFinished = true;
    ZRESULT result = ZR_OK;
    const uint64_t nCentral = m_nPos;
    for (const Entry& e : m_entries)
    {
        std::vector<BYTE> h(kCentralHeaderSize + e.name.size() + kCentralExtraSize);
        BYTE* p = h.data();
        p = Put32(p, kCentralSignature);
        p = Put16(p, 0x0017);
        p = PutSharedFields(p, e);
        p = Put16(p, kCentralExtraSize);
        p = Put16(p, 0); // comment
        p = Put16(p, 0); // disk
        p = Put16(p, e.internalAttr);
        p = Put32(p, e.externalAttr);
        p = Put32(p, e.localOffset);
        memcpy(p, e.name.data(), e.name.size());
        p += e.name.size();
        p = Put16(p, 0x5455);
        p = Put16(p, 5);
        *p++ = 7;
        Put32(p, e.mtime);
        if (result == ZR_OK) result = Write(h.data(), static_cast<DWORD>(h.size()));
    }
    BYTE end[kEndRecordSize];
    BYTE* p = Put32(end, kEndSignature);
    p = Put16(p, 0);
    p = Put16(p, 0);
    p = Put16(p, static_cast<uint16_t>(m_entries.size()));
    p = Put16(p, static_cast<uint16_t>(m_entries.size()));
    if (m_nPos + m_nBase > kMaxZipSize) result = ZR_WRITE; // the directory's offset would not fit
    p = Put32(p, static_cast<uint32_t>(m_nPos - nCentral));
    p = Put32(p, static_cast<uint32_t>(nCentral + m_nBase));
    Put16(p, 0);
    if (result == ZR_OK) result = Write(end, sizeof end);
    m_entries.clear();
    m_finishResult = result == ZR_OK ? ZR_OK : ZR_WRITE;
    return m_finishResult;
}

ZRESULT CZipWriter::GetMemory(void** ppData, DWORD* pLength)
{
    if (!m_bMemory) return ZR_NOTMMAP;
    ZRESULT result = Finish();
    if (result != ZR_OK) return result;
    if (ppData) *ppData = m_pMemory;
    if (pLength) *pLength = static_cast<DWORD>(m_nPos);
    return ZR_OK;
}
