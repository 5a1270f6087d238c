#pragma once
#include "framework/CHandleOwner.h"
#include "uikit/IUxThemeLibrary.h"
// The theme library bound at run time: the programs never import it. Each member looks its
// function up by name on every call; without the library, or without that export, it gives the
// function's fixed failure result, so callers take their classic drawing path.
class CUxThemeLibrary : public IUxThemeLibrary
{
public:
    CUxThemeLibrary() : CUxThemeLibrary(L"UxTheme.dll") {}
    explicit CUxThemeLibrary(LPCWSTR lpszLibrary) : m_hModule(::LoadLibraryW(lpszLibrary)) {}
    CUxThemeLibrary(const CUxThemeLibrary&) = delete;
    CUxThemeLibrary& operator=(const CUxThemeLibrary&) = delete;

    bool IsLoaded() const noexcept { return m_hModule.IsValid(); }

#define LUMO_UXTHEME_OVERRIDE(result, name, fallback, params, args) result name params override;
    LUMO_UXTHEME_FUNCTIONS(LUMO_UXTHEME_OVERRIDE)
#undef LUMO_UXTHEME_OVERRIDE

private:
    FARPROC Find(const char* name) const;
    CLibraryHandle m_hModule;
};
