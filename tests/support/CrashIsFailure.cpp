// Linked into every test program. Under Wine an unhandled exception goes to winedbg, which ends
// the process with exit code 0, and ctest would count a crashed test program as passed. The
// process-wide filter below runs first: it says what happened and ends the program with code 3.
#include <windows.h>
#include <cstdio>

namespace
{
LONG WINAPI ReportCrashAndFail(EXCEPTION_POINTERS* pInfo)
{
    const EXCEPTION_RECORD* record = pInfo ? pInfo->ExceptionRecord : nullptr;
    std::fprintf(stderr, "test program crashed: exception 0x%08lX at %p\n",
                 record ? static_cast<unsigned long>(record->ExceptionCode) : 0ul,
                 record ? record->ExceptionAddress : nullptr);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

const bool g_installed = [] {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(ReportCrashAndFail);
    return true;
}();
} // namespace
