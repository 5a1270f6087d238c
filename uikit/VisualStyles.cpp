#include "uikit/VisualStyles.h"
#include "framework/CHandleOwner.h"
#include <shlwapi.h>
#include <optional>

namespace
{
std::optional<DWORD> g_major; // remembered or forced

DWORD ProbeCommonControls()
{
    CLibraryHandle comctl(::LoadLibraryW(L"comctl32.dll"));
    if (!comctl.IsValid()) return 0;
    auto* pfn =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void (*)()>(::GetProcAddress(comctl, "DllGetVersion")));
    if (!pfn) return 0;
    DLLVERSIONINFO info{};
    info.cbSize = 20; // the record without the later QFE fields
    return pfn(&info) == S_OK ? info.dwMajorVersion : 0;
}
} // namespace

DWORD GetCommonControlsMajorVersion()
{
    if (!g_major) g_major = ProbeCommonControls();
    return *g_major;
}

bool AreVisualStylesAvailable()
{
    return GetCommonControlsMajorVersion() > 5;
}

void OverrideCommonControlsVersion(DWORD dwMajor)
{
    g_major = dwMajor;
}

void ResetCommonControlsProbe()
{
    g_major.reset();
}
