// The UI probe: starts a program under test and acts on its windows from outside, through
// messages only, for a driver that sends one command a line on stdin and reads one answer a line
// on stdout ("ok ..." or "err ..."). In watch mode, lines "event visible <window> <class> <ms> <caption>"
// come in between.
// Texts in answers escape backslash, CR, LF and tab as \\, \r, \n and \t.
#include "core/CVersionInfo.h"
#include "framework/CHandleOwner.h"
#include <commctrl.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::mutex g_output;
CKernelHandle g_process;
DWORD g_nProcessId = 0;
ULONGLONG g_nStart = GetTickCount64();

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text)
{
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Escape(const std::wstring& text)
{
    std::string out;
    for (char c : Utf8(text))
    {
        switch (c)
        {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void Say(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_output);
    std::cout << line << '\n' << std::flush;
}

std::string Hex(HWND hwnd)
{
    char text[32];
    snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

HWND ParseHwnd(const std::string& text)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(text, nullptr, 16)));
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[256] = L"";
    GetClassNameW(hwnd, name, 256);
    return name;
}

// WM_GETTEXT is carried across processes by the system itself.
// The caption as the window manager keeps it: sends nothing, so a busy program cannot hold the
// watcher.
std::wstring CaptionOf(HWND hwnd)
{
    wchar_t text[256] = L"";
    GetWindowTextW(hwnd, text, 256);
    return text;
}

std::wstring TextOf(HWND hwnd)
{
    const LRESULT n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return text;
}

std::vector<HWND> ProcessWindows()
{
    struct Search
    {
        DWORD nId;
        std::vector<HWND> found;
    } search{g_nProcessId, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(lParam);
            DWORD nOwner = 0;
            GetWindowThreadProcessId(hwnd, &nOwner);
            if (nOwner == s.nId) s.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Memory in the other process for a structure a message fills there. Freed by the caller with
// VirtualFreeEx on every path: the probe does not outlive one command's use of it.
void* RemoteAlloc(size_t nBytes)
{
    return VirtualAllocEx(g_process, nullptr, nBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

std::string ListCell(HWND hList, int nRow, int nColumn)
{
    constexpr size_t kChars = 1024;
    BYTE* pRemote = static_cast<BYTE*>(RemoteAlloc(sizeof(LVITEMW) + kChars * sizeof(wchar_t)));
    if (!pRemote) return "err no memory in the process";
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = nRow;
    item.iSubItem = nColumn;
    item.pszText = reinterpret_cast<LPWSTR>(pRemote + sizeof(LVITEMW));
    item.cchTextMax = kChars;
    std::wstring text(kChars, L'\0');
    const bool bRead =
        WriteProcessMemory(g_process, pRemote, &item, sizeof item, nullptr) &&
        SendMessageW(hList, LVM_GETITEMTEXTW, nRow, reinterpret_cast<LPARAM>(pRemote)) >= 0 &&
        ReadProcessMemory(g_process, pRemote + sizeof(LVITEMW), text.data(), kChars * sizeof(wchar_t), nullptr);
    VirtualFreeEx(g_process, pRemote, 0, MEM_RELEASE);
    if (!bRead) return "err cannot read the cell";
    text[kChars - 1] = L'\0';
    text.resize(wcslen(text.c_str()));
    return "ok " + Escape(text);
}

std::string HeaderWidth(HWND hList, int nColumn)
{
    const HWND hHeader = reinterpret_cast<HWND>(SendMessageW(hList, LVM_GETHEADER, 0, 0));
    if (!hHeader) return "err no header";
    void* pRemote = RemoteAlloc(sizeof(HDITEMW));
    if (!pRemote) return "err no memory in the process";
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    const bool bRead = WriteProcessMemory(g_process, pRemote, &item, sizeof item, nullptr) &&
                       SendMessageW(hHeader, HDM_GETITEMW, nColumn, reinterpret_cast<LPARAM>(pRemote)) &&
                       ReadProcessMemory(g_process, pRemote, &item, sizeof item, nullptr);
    VirtualFreeEx(g_process, pRemote, 0, MEM_RELEASE);
    return bRead ? "ok " + std::to_string(item.cxy) : "err cannot read the header";
}

// Polls every 50 ms and reports each window of the process that has become visible since.
class Watcher
{
public:
    ~Watcher() { Stop(); }
    void Start()
    {
        if (m_thread.joinable()) return;
        m_bRun = true;
        m_thread = std::thread([this] { Run(); });
    }
    void Stop()
    {
        m_bRun = false;
        if (m_thread.joinable()) m_thread.join();
    }

private:
    void Run()
    {
        std::set<HWND> visible;
        while (m_bRun)
        {
            std::set<HWND> now;
            for (HWND hwnd : ProcessWindows())
            {
                if (!IsWindowVisible(hwnd)) continue;
                now.insert(hwnd);
                if (!visible.count(hwnd))
                    Say("event visible " + Hex(hwnd) + " " + Escape(ClassOf(hwnd)) + " " +
                        std::to_string(GetTickCount64() - g_nStart) + " " + Escape(CaptionOf(hwnd)));
            }
            visible = std::move(now);
            Sleep(50);
        }
    }
    std::thread m_thread;
    volatile bool m_bRun = false;
};

std::string Start(const std::string& commandLine)
{
    if (g_process.IsValid()) return "err a program is already started";
    std::wstring command = Wide(commandLine);
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return "err cannot start: " + std::to_string(GetLastError());
    g_process.Attach(pi.hProcess);
    CKernelHandle thread(pi.hThread);
    g_nProcessId = pi.dwProcessId;
    WaitForInputIdle(g_process, 5000);
    return "ok " + std::to_string(g_nProcessId);
}

std::string Wait(DWORD nTimeoutMs)
{
    if (!g_process.IsValid()) return "err nothing started";
    if (WaitForSingleObject(g_process, nTimeoutMs) != WAIT_OBJECT_0) return "ok running";
    DWORD nCode = 0;
    GetExitCodeProcess(g_process, &nCode);
    return "ok exited " + std::to_string(nCode);
}

// Ends exactly the process it started, and only while it still runs.
void End()
{
    if (!g_process.IsValid()) return;
    if (WaitForSingleObject(g_process, 0) == WAIT_TIMEOUT)
    {
        TerminateProcess(g_process, 1);
        WaitForSingleObject(g_process, 10000);
    }
}

std::string FindDialog(int nControlId)
{
    for (HWND hwnd : ProcessWindows())
        if (GetDlgItem(hwnd, nControlId)) return "ok " + Hex(hwnd);
    return "err none";
}

std::string FindBox()
{
    for (HWND hwnd : ProcessWindows())
        if (ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF))
            return "ok " + Hex(hwnd) + " " + Escape(TextOf(GetDlgItem(hwnd, 0xFFFF)));
    return "err none";
}

std::string FileVersion(const std::string& path)
{
    CVersionInfo info;
    if (!info.ReadFromFile(Wide(path).c_str())) return "err no version resource";
    return "ok " + Utf8(static_cast<LPCWSTR>(info.m_strVersion));
}

// The whole screen as "width height\n" and then 32-bit BGRA rows from the top; the driver makes
// the PNG, so the probe needs no image library.
std::string SaveScreen(const std::string& path)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    std::vector<BYTE> pixels(static_cast<size_t>(cx) * cy * 4);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy; // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    HDC hScreen = GetDC(nullptr); // released below on every path
    if (!hScreen) return "err no screen";
    bool bCopied = false;
    {
        CMemoryDC memory(CreateCompatibleDC(hScreen));
        CGdiHandle<HBITMAP> bitmap(CreateCompatibleBitmap(hScreen, cx, cy));
        if (memory.IsValid() && bitmap.IsValid())
        {
            const HGDIOBJ hOld = SelectObject(memory, bitmap);
            bCopied = BitBlt(memory, 0, 0, cx, cy, hScreen, 0, 0, SRCCOPY) != FALSE;
            SelectObject(memory, hOld);
            bCopied = bCopied && GetDIBits(memory, bitmap, 0, cy, pixels.data(), &bmi, DIB_RGB_COLORS) == cy;
        }
    }
    ReleaseDC(nullptr, hScreen);
    if (!bCopied) return "err cannot copy the screen";
    std::ofstream out(std::filesystem::path(Wide(path)), std::ios::binary);
    out << cx << ' ' << cy << '\n';
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    return out ? "ok " + std::to_string(cx) + " " + std::to_string(cy) : "err cannot write " + path;
}

std::string Handle(const std::string& line, Watcher& watcher)
{
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "start")
    {
        std::string rest;
        std::getline(in >> std::ws, rest);
        return Start(rest);
    }
    if (command == "wait")
    {
        DWORD nMs = 0;
        in >> nMs;
        return Wait(nMs);
    }
    if (command == "end")
    {
        End();
        return "ok";
    }
    if (command == "watch")
    {
        std::string mode;
        in >> mode;
        if (mode == "on")
            watcher.Start();
        else
            watcher.Stop();
        return "ok";
    }
    if (command == "windows")
    {
        std::string out = "ok";
        for (HWND hwnd : ProcessWindows())
            out += " " + Hex(hwnd) + ":" + Escape(ClassOf(hwnd)) + ":" + (IsWindowVisible(hwnd) ? "1" : "0");
        return out;
    }
    if (command == "dialog")
    {
        int nId = 0;
        in >> nId;
        return FindDialog(nId);
    }
    if (command == "box") return FindBox();
    if (command == "version" || command == "screen")
    {
        std::string path;
        std::getline(in >> std::ws, path);
        return command == "version" ? FileVersion(path) : SaveScreen(path);
    }
    std::string hwndText;
    int nId = 0;
    in >> hwndText >> nId;
    if (hwndText.empty()) return "err unknown command";
    const HWND hwnd = ParseHwnd(hwndText);
    const HWND hControl = nId ? GetDlgItem(hwnd, nId) : hwnd;
    if (!hControl) return "err no such control";
    if (command == "text") return "ok " + Escape(TextOf(hControl));
    // Without a window manager "minimised" is the window's own state, not its place on a task bar.
    if (command == "iconic") return IsIconic(hControl) ? "ok 1" : "ok 0";
    if (command == "click")
    {
        // Posted: a click that ends a modal loop must not hold the probe.
        return PostMessageW(hControl, BM_CLICK, 0, 0) ? "ok" : "err cannot post";
    }
    if (command == "post")
    {
        UINT nMessage = 0;
        unsigned long long wParam = 0, lParam = 0;
        in >> nMessage >> wParam >> lParam;
        return PostMessageW(hControl, nMessage, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam))
                   ? "ok"
                   : "err cannot post";
    }
    if (command == "lvcell")
    {
        int nRow = 0, nColumn = 0;
        in >> nRow >> nColumn;
        return ListCell(hControl, nRow, nColumn);
    }
    if (command == "lvwidth")
    {
        int nColumn = 0;
        in >> nColumn;
        return HeaderWidth(hControl, nColumn);
    }
    return "err unknown command";
}
} // namespace

int main()
{
    Watcher watcher;
    std::string line;
    while (std::getline(std::cin, line))
    {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "quit") break;
        std::string answer;
        try
        {
            answer = Handle(line, watcher);
        }
        catch (...)
        {
            answer = "err bad arguments";
        }
        Say(answer);
    }
    watcher.Stop();
    End();
    Say("ok bye");
    return 0;
}
