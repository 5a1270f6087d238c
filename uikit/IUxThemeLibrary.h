#pragma once
#include "framework/CHandleOwner.h"
#include "uikit/UxThemeFunctions.h"
// The theme functions as the toolkit reaches them: the process's CUxThemeLibrary, or a double a
// test installs.
class IUxThemeLibrary
{
public:
    virtual ~IUxThemeLibrary() = default;
#define LUMO_UXTHEME_DECLARE(result, name, fallback, params, args) virtual result name params = 0;
    LUMO_UXTHEME_FUNCTIONS(LUMO_UXTHEME_DECLARE)
#undef LUMO_UXTHEME_DECLARE
};

// The process's theme library, loaded on first use (never from a static constructor), or the
// double installed by SetUxThemeLibrary. GUI thread.
IUxThemeLibrary& GetUxThemeLibrary();
// null: back to the process's library. Tests only.
void SetUxThemeLibrary(IUxThemeLibrary* pLibrary);

// A theme handle from OpenThemeData, closed through the same library.
struct CThemeHandleTraits
{
    using HandleType = HTHEME;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { GetUxThemeLibrary().CloseThemeData(h); }
};
using CThemeHandle = CHandleOwner<CThemeHandleTraits>;
