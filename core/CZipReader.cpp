#include "core/CZipReader.h"
#include <zlib.h>
#include <algorithm>
#include <cstring>
#include <ctime>

using namespace ZipLayout;

namespace
{
constexpr uint64_t kEndSearchReach = 65535;  // the end record's comment is at most this long

bool IsAbsolutePath(const std::wstring& path)
{
    return (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) || (path.size() > 1 && path[1] == L':');
}

// ".." anywhere as a whole component could climb out of the root folder
bool HasParentStep(const std::wstring& path)
{
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = path.size();
        if (path.compare(start, end - start, L"..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

std::wstring Widen(const char* psz, int nLength)
{
    if (nLength <= 0) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, psz, nLength, nullptr, 0);
    std::wstring text(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, psz, nLength, text.data(), n);
    return text;
}

// Unix seconds of an "UT" field into a FILETIME through their UTC calendar fields
FILETIME FileTimeFromUnix(int32_t nSeconds)
{
    FILETIME ft{};
    __time64_t t = nSeconds;
    struct tm fields{};
    if (nSeconds < 0 || _gmtime64_s(&fields, &t) != 0) return ft;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(fields.tm_year + 1900);
    st.wMonth = static_cast<WORD>(fields.tm_mon + 1);
    st.wDay = static_cast<WORD>(fields.tm_mday);
    st.wHour = static_cast<WORD>(fields.tm_hour);
    st.wMinute = static_cast<WORD>(fields.tm_min);
    st.wSecond = static_cast<WORD>(fields.tm_sec);
    if (!SystemTimeToFileTime(&st, &ft)) ft = FILETIME{};
    return ft;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

// The entry open for reading its data: where they lie, how far we are, and the inflater.
struct CZipReader::EntryStream
{
    uint64_t dataPos = 0;
    uint32_t compSize = 0, uncSize = 0, storedCrc = 0;
    bool deflated = false;
    uint64_t consumed = 0;  // compressed bytes taken from the archive
    uint64_t produced = 0;  // bytes handed out
    uint32_t crc = 0;
    bool finished = false;
    z_stream zs{};
    bool zsReady = false;
    std::vector<BYTE> input;

    ~EntryStream()
    {
        if (zsReady) inflateEnd(&zs);
    }
};

CZipReader::CZipReader() = default;
CZipReader::~CZipReader() { Close(); }

bool CZipReader::ReadAt(uint64_t nPos, void* pData, DWORD nCount)
{
    if (nPos > m_nLength || nCount > m_nLength - nPos) return false;  // never past the archive
    if (nCount == 0) return true;
    if (m_pMemory)
    {
        memcpy(pData, m_pMemory + nPos, nCount);
        return true;
    }
    LARGE_INTEGER where;
    where.QuadPart = static_cast<LONGLONG>(m_nStart + nPos);
    if (!SetFilePointerEx(m_file.Get(), where, nullptr, FILE_BEGIN)) return false;
    DWORD nRead = 0;
    return ReadFile(m_file.Get(), pData, nCount, &nRead, nullptr) && nRead == nCount;
}

ZRESULT CZipReader::Open(const void* pSource, DWORD nLength, DWORD nKind)
{
    if (m_bOpen) return ZR_NOTINITED;
    DWORD nRoot = GetCurrentDirectoryW(0, nullptr);
    m_root.assign(nRoot, L'\0');
    nRoot = GetCurrentDirectoryW(nRoot, m_root.data());
    m_root.resize(nRoot);
    m_root += L'\\';

    if (nKind == ZIP_HANDLE)
    {
        HANDLE hSource = const_cast<HANDLE>(pSource);
        if (GetFileType(hSource) != FILE_TYPE_DISK) return ZR_SEEK;
        HANDLE hDup = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), hSource, GetCurrentProcess(), &hDup, 0, FALSE, DUPLICATE_SAME_ACCESS))
            return ZR_NODUPH;
        m_file.Attach(hDup);
    }
    else if (nKind == ZIP_FILENAME)
    {
        if (!pSource) return ZR_ARGS;
        m_file.Attach(CreateFileW(static_cast<LPCWSTR>(pSource), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file.IsValid()) return ZR_NOFILE;
    }
    else if (nKind == ZIP_MEMORY)
    {
        if (!pSource) return ZR_ARGS;
        m_pMemory = static_cast<const BYTE*>(pSource);
        m_nLength = nLength;
    }
    else
        return ZR_ARGS;

    if (m_file.IsValid())
    {
        LARGE_INTEGER zero{}, pos{}, size{};
        if (!SetFilePointerEx(m_file.Get(), zero, &pos, FILE_CURRENT) || !GetFileSizeEx(m_file.Get(), &size) ||
            size.QuadPart < pos.QuadPart)
        {
            m_file.Close();
            return ZR_OPEN_FAILED;
        }
        m_nStart = static_cast<uint64_t>(pos.QuadPart);
        m_nLength = static_cast<uint64_t>(size.QuadPart - pos.QuadPart);
    }

    auto fail = [this](ZRESULT result) {
        m_file.Close();
        m_pMemory = nullptr;
        m_nLength = 0;
        return result;
    };

    // The end record: the signature nearest to the end with a whole record behind it
    uint64_t nTail = std::min<uint64_t>(m_nLength, kEndSearchReach);
    std::vector<BYTE> tail(static_cast<size_t>(nTail));
    uint64_t nTailPos = m_nLength - nTail;
    if (!ReadAt(nTailPos, tail.data(), static_cast<DWORD>(nTail))) return fail(ZR_OPEN_FAILED);
    uint64_t nEnd = 0;
    bool bFound = false;
    for (uint64_t i = nTail >= kEndRecordSize ? nTail - kEndRecordSize + 1 : 0; i-- > 0;)
    {
        if (Get32(&tail[i]) == kEndSignature)
        {
            nEnd = nTailPos + i;
            bFound = true;
            break;
        }
    }
    // An end record at the first byte would be an archive of no entry at all
    if (!bFound || nEnd == 0) return fail(ZR_OPEN_FAILED);

    const BYTE* pEnd = &tail[static_cast<size_t>(nEnd - nTailPos)];
    uint16_t nDisk = Get16(pEnd + 4), nCentralDisk = Get16(pEnd + 6);
    uint16_t nOnDisk = Get16(pEnd + 8), nTotal = Get16(pEnd + 10);
    uint32_t nCentralSize = Get32(pEnd + 12), nCentralOffset = Get32(pEnd + 16);
    if (nTotal != nOnDisk || nDisk != 0 || nCentralDisk != 0 ||
        nEnd < static_cast<uint64_t>(nCentralOffset) + nCentralSize)
        return fail(ZR_OPEN_INCONSISTENT);
    m_nPrefix = nEnd - (static_cast<uint64_t>(nCentralOffset) + nCentralSize);
    m_nFirstCentral = m_nPrefix + nCentralOffset;
    m_nCount = nTotal;

    CentralHeader first;
    if (!ReadCentralAt(m_nFirstCentral, first)) return fail(ZR_OPEN_FAILED);
    m_nCurrent = 0;
    m_nCurrentPos = m_nFirstCentral;
    m_bOpen = true;
    return ZR_OK;
}

bool CZipReader::ReadCentralAt(uint64_t nPos, CentralHeader& header)
{
    BYTE fixed[kCentralHeaderSize];
    if (!ReadAt(nPos, fixed, sizeof fixed) || Get32(fixed) != kCentralSignature) return false;
    header.flags = Get16(fixed + 8);
    header.method = Get16(fixed + 10);
    header.dosTime = Get16(fixed + 12);
    header.dosDate = Get16(fixed + 14);
    header.crc = Get32(fixed + 16);
    header.compSize = Get32(fixed + 20);
    header.uncSize = Get32(fixed + 24);
    uint16_t nName = Get16(fixed + 28), nExtra = Get16(fixed + 30), nComment = Get16(fixed + 32);
    header.externalAttr = Get32(fixed + 38);
    header.localOffset = Get32(fixed + 42);
    header.name.assign(nName, '\0');
    if (!ReadAt(nPos + kCentralHeaderSize, header.name.data(), nName)) return false;
    header.next = nPos + kCentralHeaderSize + nName + nExtra + nComment;
    return true;
}

ZRESULT CZipReader::MoveTo(int nIndex, CentralHeader& header)
{
    if (nIndex < m_nCurrent)
    {
        m_nCurrent = 0;
        m_nCurrentPos = m_nFirstCentral;
    }
    while (true)
    {
        if (!ReadCentralAt(m_nCurrentPos, header)) return ZR_CORRUPT;
        if (m_nCurrent == nIndex) return ZR_OK;
        m_nCurrentPos = header.next;
        ++m_nCurrent;
    }
}

ZRESULT CZipReader::CheckLocal(const CentralHeader& header, std::vector<BYTE>* pExtra, uint64_t& nDataPos)
{
    uint64_t nLocal = m_nPrefix + header.localOffset;
    BYTE fixed[kLocalHeaderSize];
    if (!ReadAt(nLocal, fixed, sizeof fixed)) return ZR_READ;
    uint16_t nFlags = Get16(fixed + 6), nMethod = Get16(fixed + 8);
    if (Get32(fixed) != kLocalSignature || nMethod != header.method ||
        (nMethod != kMethodStored && nMethod != kMethodDeflate))
        return ZR_CORRUPT;
    if (!(nFlags & kFlagDescriptor) && !(header.flags & kFlagDescriptor) &&
        (Get32(fixed + 14) != header.crc || Get32(fixed + 18) != header.compSize || Get32(fixed + 22) != header.uncSize))
        return ZR_CORRUPT;
    uint16_t nName = Get16(fixed + 26), nExtra = Get16(fixed + 28);
    if (nName != header.name.size()) return ZR_CORRUPT;
    nDataPos = nLocal + kLocalHeaderSize + nName + nExtra;
    if (pExtra)
    {
        pExtra->assign(nExtra, 0);
        if (!ReadAt(nLocal + kLocalHeaderSize + nName, pExtra->data(), nExtra)) return ZR_READ;
    }
    return ZR_OK;
}

ZRESULT CZipReader::Describe(int nIndex, const CentralHeader& header, ZipEntryA& entry)
{
    std::vector<BYTE> extra;
    uint64_t nDataPos = 0;
    ZRESULT result = CheckLocal(header, &extra, nDataPos);
    if (result != ZR_OK) return result;

    entry = ZipEntryA{};
    entry.index = nIndex;
    size_t nName = std::min<size_t>(header.name.size(), kZipMaxName - 1);
    memcpy(entry.name, header.name.data(), nName);
    entry.name[nName] = '\0';

    uint32_t a = header.externalAttr;
    DWORD attr = (a & 0x40000000 || a & 0x10) ? (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL) : FILE_ATTRIBUTE_NORMAL;
    if (a & 0x20) attr |= FILE_ATTRIBUTE_ARCHIVE;
    if (a & 0x02) attr |= FILE_ATTRIBUTE_HIDDEN;
    if (!(a & 0x00800000) || (a & 0x01)) attr |= FILE_ATTRIBUTE_READONLY;
    if (a & 0x04) attr |= FILE_ATTRIBUTE_SYSTEM;
    entry.attr = attr;

    FILETIME dos{};
    DosDateTimeToFileTime(header.dosDate, header.dosTime, &dos);
    entry.atime = entry.ctime = entry.mtime = dos;
    for (size_t i = 0; i + 5 <= extra.size();)
    {
        uint16_t nTag = Get16(&extra[i]), nSize = Get16(&extra[i + 2]);
        if (nTag != 0x5455)  // "UT"
        {
            i += 4 + static_cast<size_t>(nSize);
            continue;
        }
        // Only times that lie inside both the field and the extra block are taken
        size_t nFieldEnd = std::min(extra.size(), i + 4 + nSize);
        BYTE nFlags = extra[i + 4];
        size_t p = i + 5;
        FILETIME* targets[] = { &entry.mtime, &entry.atime, &entry.ctime };
        for (int bit = 0; bit < 3; ++bit)
        {
            if (!(nFlags & (1 << bit))) continue;
            if (p + 4 > nFieldEnd) break;
            *targets[bit] = FileTimeFromUnix(static_cast<int32_t>(Get32(&extra[p])));
            p += 4;
        }
        break;
    }
    entry.comp_size = static_cast<LONG>(header.compSize);
    entry.unc_size = static_cast<LONG>(header.uncSize);
    m_nLastIndex = nIndex;
    m_lastEntry = entry;
    return ZR_OK;
}

ZRESULT CZipReader::GetItem(int nIndex, ZipEntryA& entry)
{
    if (nIndex == -1)
    {
        entry = ZipEntryA{};
        entry.index = m_nCount;
        return ZR_OK;
    }
    if (nIndex < -1 || nIndex >= m_nCount) return ZR_ARGS;
    CloseEntry();
    if (nIndex == m_nLastIndex)
    {
        entry = m_lastEntry;
        return ZR_OK;
    }
    CentralHeader header;
    ZRESULT result = MoveTo(nIndex, header);
    if (result != ZR_OK) return result;
    return Describe(nIndex, header, entry);
}

ZRESULT CZipReader::FindItem(const std::string& name, bool bIgnoreCase, int& nIndex, ZipEntryA& entry)
{
    CloseEntry();
    uint64_t nPos = m_nFirstCentral;
    CentralHeader header;
    for (int i = 0; i < m_nCount; ++i, nPos = header.next)
    {
        if (!ReadCentralAt(nPos, header)) break;
        bool bSame = header.name.size() == name.size() &&
                     (bIgnoreCase ? std::equal(name.begin(), name.end(), header.name.begin(),
                                               [](char x, char y) { return FoldAscii(x) == FoldAscii(y); })
                                  : header.name == name);
        if (!bSame) continue;
        nIndex = i;
        return GetItem(i, entry);
    }
    nIndex = -1;
    entry = ZipEntryA{};
    entry.index = -1;
    return ZR_NOTFOUND;
}

ZRESULT CZipReader::OpenEntry(int nIndex)
{
    CloseEntry();
    CentralHeader header;
    ZRESULT result = MoveTo(nIndex, header);
    if (result != ZR_OK) return result;
    auto stream = std::make_unique<EntryStream>();
    result = CheckLocal(header, nullptr, stream->dataPos);
    if (result != ZR_OK) return result;
    stream->compSize = header.compSize;
    stream->uncSize = header.uncSize;
    stream->storedCrc = header.crc;
    stream->deflated = header.method == kMethodDeflate;
    stream->crc = crc32(0L, Z_NULL, 0);
    try
    {
        stream->input.resize(kPieceSize);
    }
    catch (const std::bad_alloc&)
    {
        return ZR_NOALLOC;
    }
    if (stream->deflated)
    {
        if (inflateInit2(&stream->zs, -MAX_WBITS) != Z_OK) return ZR_NOALLOC;
        stream->zsReady = true;
    }
    m_pEntry = std::move(stream);
    return ZR_OK;
}

void CZipReader::CloseEntry()
{
    m_pEntry.reset();
    m_nOpenForMemory = -1;
}

// Hands out at most nCount further bytes of the open entry. The entry is complete when all its
// declared bytes came out with the stored CRC-32; a stream that ends early, runs out of input,
// fails to inflate or ends with another checksum is corrupt.
DWORD CZipReader::ReadEntry(BYTE* pOut, DWORD nCount, ReadState& state)
{
    EntryStream& s = *m_pEntry;
    DWORD nGot = 0;
    state = ReadState::More;
    while (!s.finished && nGot < nCount && s.produced < s.uncSize)
    {
        DWORD nWant = static_cast<DWORD>(std::min<uint64_t>(nCount - nGot, s.uncSize - s.produced));
        DWORD nMade = 0;
        if (!s.deflated)
        {
            uint64_t nLeft = s.compSize - s.consumed;
            nWant = static_cast<DWORD>(std::min<uint64_t>({ nWant, nLeft, kPieceSize }));
            if (nWant == 0) break;  // fewer stored bytes than declared
            if (!ReadAt(s.dataPos + s.consumed, pOut + nGot, nWant))
            {
                state = ReadState::ReadError;
                return nGot;
            }
            s.consumed += nWant;
            nMade = nWant;
        }
        else
        {
            if (s.zs.avail_in == 0 && s.consumed < s.compSize)
            {
                DWORD nIn = static_cast<DWORD>(std::min<uint64_t>(s.compSize - s.consumed, kPieceSize));
                if (!ReadAt(s.dataPos + s.consumed, s.input.data(), nIn))
                {
                    state = ReadState::ReadError;
                    return nGot;
                }
                s.consumed += nIn;
                s.zs.next_in = s.input.data();
                s.zs.avail_in = nIn;
            }
            s.zs.next_out = pOut + nGot;
            s.zs.avail_out = nWant;
            int ret = inflate(&s.zs, Z_SYNC_FLUSH);
            nMade = nWant - s.zs.avail_out;
            if (ret == Z_STREAM_END)
                s.finished = true;
            else if (ret != Z_OK && !(ret == Z_BUF_ERROR && nMade > 0))
            {
                s.crc = static_cast<uint32_t>(crc32(s.crc, pOut + nGot, nMade));
                s.produced += nMade;
                state = ReadState::Corrupt;
                return nGot + nMade;
            }
        }
        s.crc = static_cast<uint32_t>(crc32(s.crc, pOut + nGot, nMade));
        s.produced += nMade;
        nGot += nMade;
        if (nMade == 0 && !s.finished && s.zs.avail_in == 0 && s.consumed >= s.compSize) break;
    }
    if (s.produced >= s.uncSize)
        state = s.crc == s.storedCrc ? ReadState::Complete : ReadState::Corrupt;
    else if (s.finished || (nGot < nCount && state == ReadState::More))
        state = ReadState::Corrupt;  // the data ended before the declared size
    return nGot;
}

void CZipReader::CreateFoldersUnderRoot(const std::wstring& relativeFolder) const
{
    for (size_t i = 0; i <= relativeFolder.size(); ++i)
    {
        if (i == relativeFolder.size() || relativeFolder[i] == L'\\' || relativeFolder[i] == L'/')
        {
            if (i == 0) continue;
            CreateDirectoryW((m_root + relativeFolder.substr(0, i)).c_str(), nullptr);  // an existing one is fine
        }
    }
}

ZRESULT CZipReader::ExtractToHandle(HANDLE hTarget)
{
    std::vector<BYTE> piece(kPieceSize);
    ZRESULT result = ZR_OK;
    while (true)
    {
        ReadState state;
        DWORD nGot = ReadEntry(piece.data(), kPieceSize, state);
        DWORD nWritten = 0;
        if (nGot > 0 && (!WriteFile(hTarget, piece.data(), nGot, &nWritten, nullptr) || nWritten != nGot))
        {
            result = ZR_WRITE;
            break;
        }
        if (state == ReadState::ReadError) result = ZR_READ;
        if (state == ReadState::Corrupt) result = ZR_CORRUPT;
        if (state != ReadState::More || nGot == 0) break;
    }
    if (result == ZR_OK && GetFileType(hTarget) == FILE_TYPE_DISK)
        SetFileTime(hTarget, &m_lastEntry.ctime, &m_lastEntry.atime, &m_lastEntry.mtime);
    CloseEntry();
    return result;
}

ZRESULT CZipReader::Extract(int nIndex, void* pTarget, DWORD nLength, DWORD nKind)
{
    if (nKind == ZIP_MEMORY)
    {
        if (!pTarget && nLength > 0) return ZR_ARGS;
        if (nIndex != m_nOpenForMemory || !m_pEntry)
        {
            CloseEntry();
            if (nIndex < 0 || nIndex >= m_nCount) return ZR_ARGS;
            ZRESULT result = OpenEntry(nIndex);
            if (result != ZR_OK) return result;
            m_nOpenForMemory = nIndex;
        }
        ReadState state;
        DWORD nGot = ReadEntry(static_cast<BYTE*>(pTarget), nLength, state);
        if (state == ReadState::Corrupt || state == ReadState::ReadError)
        {
            CloseEntry();
            return state == ReadState::Corrupt ? ZR_CORRUPT : ZR_READ;
        }
        if (nGot > 0) return ZR_MORE;
        CloseEntry();
        return ZR_OK;
    }
    if (nKind != ZIP_HANDLE && nKind != ZIP_FILENAME) return ZR_ARGS;
    if (nIndex < 0 || nIndex >= m_nCount || !pTarget) return ZR_ARGS;
    ZipEntryA entry;
    ZRESULT result = GetItem(nIndex, entry);
    if (result != ZR_OK) return result;

    if (entry.attr & FILE_ATTRIBUTE_DIRECTORY)
    {
        if (nKind == ZIP_FILENAME)
        {
            std::wstring folder = Widen(entry.name, static_cast<int>(strlen(entry.name)));
            if (!IsAbsolutePath(folder) && !HasParentStep(folder)) CreateFoldersUnderRoot(folder);
        }
        return ZR_OK;
    }

    result = OpenEntry(nIndex);
    if (result != ZR_OK) return result;
    if (nKind == ZIP_HANDLE) return ExtractToHandle(static_cast<HANDLE>(pTarget));

    std::wstring target = static_cast<LPCWSTR>(pTarget);
    size_t nSlash = target.find_last_of(L"\\/");
    if (nSlash != std::wstring::npos)
    {
        std::wstring folder = target.substr(0, nSlash);
        if (!IsAbsolutePath(target) && !HasParentStep(folder)) CreateFoldersUnderRoot(folder);
    }
    DWORD attr = entry.attr & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    if (attr != FILE_ATTRIBUTE_NORMAL) attr &= ~FILE_ATTRIBUTE_NORMAL;  // NORMAL is only valid alone
    CFileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attr, nullptr));
    if (!file.IsValid())
    {
        CloseEntry();
        return ZR_NOFILE;
    }
    return ExtractToHandle(file.Get());
}

ZRESULT CZipReader::Close()
{
    CloseEntry();
    m_file.Close();
    m_pMemory = nullptr;
    m_bOpen = false;
    return ZR_OK;
}
