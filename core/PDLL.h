#pragma once
#include "framework/CHandleOwner.h"
#include "framework/Platform.h"
#include <memory>

// A library loaded by name at run time, for functions the programs do not import. Derived classes
// look their functions up when they are constructed.
// Owns the module handle: the destructor frees it whatever the use count says.
class PDLL
{
public:
    PDLL() = default;
    PDLL(const PDLL&) = delete; // owns the module handle
    PDLL& operator=(const PDLL&) = delete;

    // The first call loads the library (TRUE when it loaded); every later call only counts and
    // returns FALSE.
    virtual BOOL Load();
    // TRUE only for the call that takes the count back to 0 and frees the library (and the name).
    virtual BOOL Unload();
    virtual ~PDLL();

    // FALSE while the library is loaded; nullptr clears the name.
    BOOL SetLibraryName(LPCWSTR pszName);
    HMODULE GetModule() const { return m_hModule; }
    bool IsLoaded() const { return m_hModule.IsValid(); }
    bool IsFunctionMissing() const { return m_bFunctionMissing; }
    // Loaded, and every function of the derived class was found.
    bool IsUsable() const { return IsLoaded() && !IsFunctionMissing(); }

protected:
    // Loads the library directly, outside the use count (the derived constructors).
    bool LoadDirect();
    // A null pointer when the function is not there; notes that it is missing.
    template <typename Fn> void Bind(Fn*& pfn, const char* pszName)
    {
        // Through void (*)(), which converts to and from every function pointer without a warning.
        pfn = m_hModule.IsValid()
                  ? reinterpret_cast<Fn*>(reinterpret_cast<void (*)()>(GetProcAddress(m_hModule, pszName)))
                  : nullptr;
        if (!pfn) m_bFunctionMissing = true;
    }

    CLibraryHandle m_hModule;
    std::unique_ptr<wchar_t[]> m_pszLibraryName;
    int m_nUseCount = 0;
    bool m_bFunctionMissing = false;
};
