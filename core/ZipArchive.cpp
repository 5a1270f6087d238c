#include "core/ZipArchive.h"
#include "core/CZipReader.h"
#include "core/CZipWriter.h"
#include <algorithm>
#include <atomic>
#include <ctime>
#include <cwchar>
#include <new>
#include <string>

struct ZipHandleData
{
    DWORD kind = 0;  // 1 reading, 2 writing
    std::unique_ptr<CZipReader> reader;
    std::unique_ptr<CZipWriter> writer;
};

namespace
{
constexpr DWORD kReading = 1;
constexpr DWORD kWriting = 2;

std::atomic<ZRESULT> g_lastReadResult{ ZR_OK };
std::atomic<ZRESULT> g_lastWriteResult{ ZR_OK };

ZRESULT KeepRead(ZRESULT result)
{
    g_lastReadResult = result;
    return result;
}

// No handle is a caller's mistake; the other side's handle is a mix-up of the two halves.
CZipReader* ReaderOf(ZipHandle hZip, ZRESULT& result)
{
    result = !hZip ? ZR_ARGS : hZip->kind != kReading ? ZR_ZMODE : ZR_OK;
    return result == ZR_OK ? hZip->reader.get() : nullptr;
}

ZRESULT KeepWrite(ZRESULT result)
{
    g_lastWriteResult = result;
    return result;
}

CZipWriter* WriterOf(ZipHandle hZip, ZRESULT& result)
{
    result = !hZip ? ZR_ARGS : hZip->kind != kWriting ? ZR_ZMODE : ZR_OK;
    return result == ZR_OK ? hZip->writer.get() : nullptr;
}

// Names inside archives are ANSI code page text; none fits that does not convert whole.
bool ToArchiveName(LPCWSTR szName, std::string& name)
{
    int nWide = static_cast<int>(wcslen(szName));
    if (nWide == 0)
    {
        name.clear();
        return true;
    }
    BOOL bDefaultUsed = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, szName, nWide, nullptr, 0, nullptr, &bDefaultUsed);
    if (n <= 0 || bDefaultUsed) return false;
    name.assign(n, '\0');
    return WideCharToMultiByte(CP_ACP, 0, szName, nWide, name.data(), n, nullptr, nullptr) == n;
}

void WidenEntry(const ZipEntryA& narrow, ZipEntry& wide)
{
    wide.index = narrow.index;
    int n = MultiByteToWideChar(CP_ACP, 0, narrow.name, -1, wide.name, kZipMaxName);
    if (n <= 0) wide.name[0] = L'\0';
    wide.name[kZipMaxName - 1] = L'\0';
    wide.attr = narrow.attr;
    wide.atime = narrow.atime;
    wide.ctime = narrow.ctime;
    wide.mtime = narrow.mtime;
    wide.comp_size = narrow.comp_size;
    wide.unc_size = narrow.unc_size;
}

struct ResultText
{
    ZRESULT code;
    LPCWSTR text;
};
constexpr ResultText kResultTexts[] = {
    { ZR_OK, L"Success" },
    { ZR_NODUPH, L"Culdn't duplicate handle" },
    { ZR_NOFILE, L"Couldn't create/open file" },
    { ZR_NOALLOC, L"Failed to allocate memory" },
    { ZR_WRITE, L"Error writing to file" },
    { ZR_NOTFOUND, L"File not found in the zipfile" },
    { ZR_MORE, L"Still more data to unzip" },
    { ZR_CORRUPT, L"Zipfile is corrupt or not a zipfile" },
    { ZR_READ, L"Error reading file" },
    { ZR_ARGS, L"Caller: faulty arguments" },
    { ZR_NOTMMAP, L"Caller: can only get memory of a memory zipfile" },
    { ZR_MEMSIZE, L"Caller: not enough space allocated for memory zipfile" },
    { ZR_FAILED, L"Caller: there was a previous error" },
    { ZR_ENDED, L"Caller: additions to the zip have already been ended" },
    { ZR_MISSIZE, L"Zip-bug: the anticipated size turned out wrong" },
    { ZR_PARTIALUNZ, L"Caller: the file had already been partially unzipped" },
    { ZR_ZMODE, L"Caller: mixing creation and opening of zip" },
    { ZR_NOTINITED, L"Zip-bug: internal initialisation not completed" },
    { ZR_SEEK, L"Zip-bug: trying to seek the unseekable" },
    { ZR_NOCHANGE, L"Zip-bug: tried to change mind, but not allowed" },
    { ZR_FLATE, L"Zip-bug: an internal error during flation" },
};
}  // namespace

ZipHandle ZipOpen(const void* pSource, DWORD nLength, DWORD nKind)
{
    try
    {
        auto handle = std::make_unique<ZipHandleData>();
        handle->kind = kReading;
        handle->reader = std::make_unique<CZipReader>();
        if (KeepRead(handle->reader->Open(pSource, nLength, nKind)) != ZR_OK) return nullptr;
        return handle.release();
    }
    catch (const std::bad_alloc&)
    {
        KeepRead(ZR_NOALLOC);
        return nullptr;
    }
}

ZRESULT ZipGetItem(ZipHandle hZip, int nIndex, ZipEntryA* pEntry)
{
    ZRESULT result;
    CZipReader* pReader = ReaderOf(hZip, result);
    if (!pReader || !pEntry) return KeepRead(pReader ? ZR_ARGS : result);
    return KeepRead(pReader->GetItem(nIndex, *pEntry));
}

ZRESULT ZipGetItem(ZipHandle hZip, int nIndex, ZipEntry* pEntry)
{
    if (!pEntry) return ZipGetItem(hZip, nIndex, static_cast<ZipEntryA*>(nullptr));
    ZipEntryA narrow{};
    ZRESULT result = ZipGetItem(hZip, nIndex, &narrow);
    if (result == ZR_OK) WidenEntry(narrow, *pEntry);
    return result;
}

ZRESULT ZipFindItem(ZipHandle hZip, LPCWSTR szName, bool bIgnoreCase, int* pIndex, ZipEntryA* pEntry)
{
    ZRESULT result;
    CZipReader* pReader = ReaderOf(hZip, result);
    if (!pReader) return KeepRead(result);
    if (!szName) return KeepRead(ZR_ARGS);
    int nIndex = -1;
    ZipEntryA entry{};
    std::string name;
    if (wcslen(szName) < 256 && ToArchiveName(szName, name))
        result = pReader->FindItem(name, bIgnoreCase, nIndex, entry);
    else
    {
        entry.index = -1;
        result = ZR_NOTFOUND;
    }
    if (pIndex) *pIndex = nIndex;
    if (pEntry) *pEntry = entry;
    return KeepRead(result);
}

ZRESULT ZipFindItem(ZipHandle hZip, LPCWSTR szName, bool bIgnoreCase, int* pIndex, ZipEntry* pEntry)
{
    ZipEntryA narrow{};
    ZRESULT result = ZipFindItem(hZip, szName, bIgnoreCase, pIndex, &narrow);
    if (pEntry)
    {
        *pEntry = ZipEntry{};
        WidenEntry(narrow, *pEntry);
    }
    return result;
}

ZRESULT ZipExtractItem(ZipHandle hZip, int nIndex, void* pTarget, DWORD nLength, DWORD nKind)
{
    ZRESULT result;
    CZipReader* pReader = ReaderOf(hZip, result);
    if (!pReader) return KeepRead(result);
    try
    {
        return KeepRead(pReader->Extract(nIndex, pTarget, nLength, nKind));
    }
    catch (const std::bad_alloc&)
    {
        return KeepRead(ZR_NOALLOC);
    }
}

ZRESULT ZipCloseReader(ZipHandle hZip)
{
    ZRESULT result;
    CZipReader* pReader = ReaderOf(hZip, result);
    if (!pReader) return KeepRead(result);
    result = pReader->Close();
    delete hZip;
    return KeepRead(result);
}

BOOL ZipIsReader(ZipHandle hZip) { return !hZip || hZip->kind == kReading; }

ZipHandle ZipCreate(void* pTarget, DWORD nSize, DWORD nKind)
{
    _tzset();  // the entries' Unix times are made by mktime
    try
    {
        auto handle = std::make_unique<ZipHandleData>();
        handle->kind = kWriting;
        handle->writer = std::make_unique<CZipWriter>();
        if (KeepWrite(handle->writer->Create(pTarget, nSize, nKind)) != ZR_OK) return nullptr;
        return handle.release();
    }
    catch (const std::bad_alloc&)
    {
        KeepWrite(ZR_NOALLOC);
        return nullptr;
    }
}

ZRESULT ZipAdd(ZipHandle hZip, LPCWSTR szName, const void* pSource, DWORD nLength, DWORD nKind, int nLevel)
{
    ZRESULT result;
    CZipWriter* pWriter = WriterOf(hZip, result);
    if (!pWriter) return KeepWrite(result);
    try
    {
        return KeepWrite(pWriter->Add(szName, pSource, nLength, nKind, nLevel));
    }
    catch (const std::bad_alloc&)
    {
        return KeepWrite(ZR_NOALLOC);
    }
}

BOOL ZipAddFolder(ZipHandle hZip, LPCWSTR szFolder, LPCWSTR szSubPath)
{
    ZRESULT result;
    CZipWriter* pWriter = WriterOf(hZip, result);
    if (!pWriter || !szFolder)
    {
        KeepWrite(pWriter ? ZR_ARGS : result);
        return FALSE;
    }
    try
    {
        return pWriter->AddFolder(szFolder, szSubPath ? szSubPath : L"");
    }
    catch (const std::bad_alloc&)
    {
        KeepWrite(ZR_NOALLOC);
        return FALSE;
    }
}

ZRESULT ZipGetMemory(ZipHandle hZip, void** ppData, DWORD* pLength)
{
    ZRESULT result;
    CZipWriter* pWriter = WriterOf(hZip, result);
    if (!pWriter) return KeepWrite(result);
    return KeepWrite(pWriter->GetMemory(ppData, pLength));
}

ZRESULT ZipCloseWriter(ZipHandle hZip)
{
    ZRESULT result;
    CZipWriter* pWriter = WriterOf(hZip, result);
    if (!pWriter) return KeepWrite(result);
    result = pWriter->Finish();
    delete hZip;
    return KeepWrite(result);
}

BOOL ZipIsWriter(ZipHandle hZip) { return !hZip || hZip->kind == kWriting; }

int ZipFormatResult(ZRESULT code, LPWSTR pszBuffer, unsigned int nSize, ZipSide side)
{
    if (code == ZR_RECENT) code = side == ZipSide::Reading ? g_lastReadResult.load() : g_lastWriteResult.load();
    LPCWSTR text = L"unknown zip result code";
    for (const auto& known : kResultTexts)
        if (known.code == code) text = known.text;
    int nLength = static_cast<int>(wcslen(text));
    if (pszBuffer && nSize > 0)
    {
        unsigned int nCopy = std::min<unsigned int>(nLength, nSize - 1);
        wmemcpy(pszBuffer, text, nCopy);
        pszBuffer[nCopy] = L'\0';
    }
    return nLength;
}
