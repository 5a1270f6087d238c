// A small program the process tests start: it writes known output, ends with a given code,
// crashes, waits, or edits a file, as its first argument says.
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
void WriteOut(HANDLE h, const void* data, size_t size)
{
    DWORD written = 0;
    WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
}

void WriteAnsi(const std::string& text)
{
    WriteOut(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), text.size());
}

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; *text; ++text)
        narrow += static_cast<char>(*text);
    return narrow;
}

std::string ReadAll(const wchar_t* path)
{
    std::string bytes;
    if (FILE* f = _wfopen(path, L"rb"))
    {
        char block[4096];
        for (size_t n; (n = fread(block, 1, sizeof block, f)) > 0;)
            bytes.append(block, n);
        fclose(f);
    }
    return bytes;
}

void WriteAll(const wchar_t* path, const std::string& bytes)
{
    if (FILE* f = _wfopen(path, L"wb"))
    {
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
}
} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 100;
    const std::wstring mode = argv[1];
    const wchar_t* arg = argc > 2 ? argv[2] : L"";

    if (mode == L"utf16") // lines of UTF-16 in odd-sized writes, so reads can end inside a unit
    {
        std::wstring text;
        for (int i = 0, n = _wtoi(arg); i < n; ++i)
            text += L"Zeile " + std::to_wstring(i) + L": \u00e4\u00f6\u00fc \u20ac \u4e2d\r\n";
        const char* bytes = reinterpret_cast<const char*>(text.data());
        const size_t size = text.size() * sizeof(wchar_t);
        for (size_t at = 0; at < size; at += 333)
            WriteOut(GetStdHandle(STD_OUTPUT_HANDLE), bytes + at, std::min<size_t>(333, size - at));
        return 0;
    }
    if (mode == L"ansi")
    {
        WriteAnsi("ANSI text \xe9\r\n");
        return 0;
    }
    if (mode == L"big") // arg bytes of numbered 64-byte lines
    {
        const size_t total = wcstoul(arg, nullptr, 10);
        std::string text;
        for (size_t line = 0; text.size() < total; ++line)
        {
            char buf[80];
            snprintf(buf, sizeof buf, "%08zu ", line);
            text += buf + std::string(53, static_cast<char>('a' + line % 26)) + "\r\n";
        }
        text.resize(total);
        WriteAnsi(text);
        return 0;
    }
    if (mode == L"both")
    {
        WriteAnsi("out;");
        WriteOut(GetStdHandle(STD_ERROR_HANDLE), "err;", 4);
        return 0;
    }
    if (mode == L"exit") return static_cast<int>(wcstoul(arg, nullptr, 10));
    if (mode == L"crash")
    {
        // End at once with the exception's code, as without a debugger: no crash dialog, and no
        // Wine debugger writing its report into our output.
        SetUnhandledExceptionFilter([](EXCEPTION_POINTERS*) -> LONG { return EXCEPTION_EXECUTE_HANDLER; });
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        return 0;
    }
    if (mode == L"sleep") // tells its process id first, so the test can find it; also into a file when named
    {
        const std::string pid = std::to_string(GetCurrentProcessId()) + "\n";
        WriteAnsi(pid);
        if (argc > 3) WriteAll(argv[3], pid);
        Sleep(_wtoi(arg));
        return 0;
    }
    if (mode == L"cwd")
    {
        wchar_t folder[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, folder);
        WriteAnsi(Narrow(folder));
        return 0;
    }
    if (mode == L"args") // the arguments after the output file, one per line
    {
        std::string text;
        for (int i = 3; i < argc; ++i)
            text += Narrow(argv[i]) + "\n";
        WriteAll(arg, text);
        return 0;
    }
    if (mode == L"keep") // saves the file unchanged
    {
        WriteAll(arg, ReadAll(arg));
        return 0;
    }
    if (mode == L"change")
    {
        WriteAll(arg, ReadAll(arg) + "changed");
        return 0;
    }
    if (mode == L"slow") // tells its process id in <file>.pid, then runs until <file>.release exists (a minute at most)
    {
        const std::wstring file(arg);
        WriteAll((file + L".pid").c_str(), std::to_string(GetCurrentProcessId()) + "\n");
        const std::wstring release = file + L".release";
        for (int i = 0; i < 600 && GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(100);
        return 0;
    }
    return 101;
}
