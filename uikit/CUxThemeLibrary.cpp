#include "uikit/CUxThemeLibrary.h"

namespace
{
IUxThemeLibrary* g_pInstalled = nullptr;
}

IUxThemeLibrary& GetUxThemeLibrary()
{
    static CUxThemeLibrary s_library; // constructed on first use, freed at process exit
    return g_pInstalled ? *g_pInstalled : s_library;
}

void SetUxThemeLibrary(IUxThemeLibrary* pLibrary)
{
    g_pInstalled = pLibrary;
}

FARPROC CUxThemeLibrary::Find(const char* name) const
{
    return m_hModule.IsValid() ? ::GetProcAddress(m_hModule, name) : nullptr;
}

// The function type comes from the system header, so the signatures cannot drift from it; nothing
// is imported because only its type is used.
#define LUMO_UXTHEME_DEFINE(result, name, fallback, params, args)                                                      \
    result CUxThemeLibrary::name params                                                                                \
    {                                                                                                                  \
        using Function = decltype(&::name);                                                                            \
        if (FARPROC pfn = Find(#name)) return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(pfn)) args;      \
        return fallback;                                                                                               \
    }
LUMO_UXTHEME_FUNCTIONS(LUMO_UXTHEME_DEFINE)
#undef LUMO_UXTHEME_DEFINE
