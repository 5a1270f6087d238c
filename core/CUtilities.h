#pragma once
// The library's static system helpers. The members live in two source files by theme:
// CUtilitiesFiles.cpp (shell, files, clipboard, monitors, buffers, GUIDs) and
// CUtilitiesPrograms.cpp (programs, processes and threads).
#include "framework/CArray.h"
#include "framework/CObject.h"
#include "framework/CRect.h"
#include "framework/CString.h"
#include <commctrl.h>

class CUtilities : public CObject
{
public:
    virtual ~CUtilities() = default;

    // ---- Shell, files and buffers (CUtilitiesFiles.cpp) ----

    // A file name is only looked at for its type: nothing needs to exist under it.
    // The shell's shared system image list (never destroyed by us); null when the Windows folder
    // cannot be read.
    static HIMAGELIST GetSystemImageList(BOOL bSmall);
    static int GetFileIconIndex(LPCWSTR szFileName, BOOL bSmall);
    static HICON GetFileIcon(LPCWSTR szFileName, BOOL bSmall);  // the caller destroys the icon
    static HICON GetFolderIcon(BOOL bSmall);                    // the caller destroys the icon
    static CString GetFileTypeName(LPCWSTR szFileName);
    static int GetStockIconIndex(int nStockIconId, BOOL bSmall);  // -1 when Shell32.dll does not load

    static bool FileExists(LPCWSTR szPath);
    static bool FolderExists(LPCWSTR szPath);
    // UNICODE makes this CopyFileW, as it does for every caller that includes <windows.h>.
    static bool CopyFile(LPCWSTR szSource, LPCWSTR szDestination);
    static bool CopyFolder(LPCWSTR szSourceFolder, LPCWSTR szDestinationFolder);  // the contents
    static bool DeleteFolder(LPCWSTR szFolder);                                   // contents and folder
    static bool CreateFolderPath(LPCWSTR szPath);
    // The path created, or the path followed by the suffix with the first free number 1 to 99
    // (the suffix holds the number's placeholder, such as L" (%d)"); empty on failure.
    static CString CreateNewFolder(LPCWSTR szPath, LPCWSTR szSuffixFormat);
    // Changes the path to "name (n).ext" for a free n when the file exists; returns the path.
    static CString MakeUniqueFileName(CString& strPath);

    static CString GetClipboardText();
    static void SetClipboardText(LPCWSTR szText);

    static int EnumMonitors(CArray<HMONITOR, HMONITOR>& monitors);  // -1 when enumeration fails
    static bool GetMonitorRects(HMONITOR hMonitor, CRect& rcWork, CRect& rcMonitor);
    static bool GetMonitorRectsFromPoint(POINT pt, CRect& rcWork, CRect& rcMonitor);

    // The buffer as a zip archive with one entry "data" (level 8), or the first entry of a zip
    // archive. The new buffer comes from malloc or new[] as bUseMalloc says; bFreeOld frees the
    // old one with the same family. On failure nothing changes and the result is false.
    static bool ZipBuffer(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld, bool bUseMalloc);
    static bool UnzipBuffer(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld, bool bUseMalloc);
    // Runs of 2 to 255 equal bytes b become b, b, count. New buffers come from new[]; bFreeOld
    // deletes the old one with delete[].
    static void CompressRunLength(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld);
    static void ExpandRunLength(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld);

    static CString CreateGuidString();  // lower case with hyphens, no braces; empty on failure

    // ---- end of shell, files and buffers ----

    // ---- Programs, processes and threads (CUtilitiesPrograms.cpp) ----

    // ---- end of programs, processes and threads ----
};
