#pragma once
#include "framework/CArray.h"
#include "framework/CHandleOwner.h"
#include "framework/CString.h"
#include <vector>

// Chooses the user-interface language: a resource-only library beside the program named after the
// program's base name and the language's three-letter abbreviation (BrennClientFRA.dll), or the
// program's own resources. The loaded library becomes the resource source of the whole program
// until another is chosen or the loader goes.
class CLanguageLoader
{
public:
    CLanguageLoader();
    ~CLanguageLoader();
    CLanguageLoader(const CLanguageLoader&) = delete; // owns the library the program reads from
    CLanguageLoader& operator=(const CLanguageLoader&) = delete;

    void SetBaseName(LPCWSTR pszBaseName); // at most 259 characters are kept
    void SetLanguage(WORD nLanguage) { m_nCurrentLanguage = nLanguage; }
    WORD GetLanguage() const { return m_nCurrentLanguage; }
    WORD GetOwnLanguage() const { return m_nOwnLanguage; }

    // Tries the command line's choice, the setting LanguageId, the user's and the system's interface
    // languages, the user's and the system's default languages, each with its fallbacks, and at
    // last the program's own language.
    void LoadBestLanguage();
    // The own language (when known), then the language of every library found, in the order the
    // search returns them; duplicates stay.
    void FindLanguages();
    const CWordArray& GetLanguages() const { return m_languages; }
    // A new popup menu (the caller's) with one radio item per language, ids nFirstId and on.
    HMENU BuildLanguageMenu(UINT nFirstId);
    // Puts that menu as the submenu of the item nItemId of hMenu and enables the item.
    BOOL AttachLanguageMenu(HMENU hMenu, UINT nItemId, UINT nFirstId);
    bool IsCurrentLanguage(INT_PTR nIndex) const;
    // The command of the menu's item (0x6F00 + index): stores LanguageId and either switches now or
    // asks the user to restart.
    void SwitchLanguage(UINT nCommandId, BOOL bApplyNow);
    static constexpr UINT kFirstLanguageCommand = 0x6F00;

    HMODULE GetLibrary() const { return m_hLibrary.Get(); }
    // Every language LoadLanguage was asked for since the last Clear, in order. Tests only.
    const std::vector<WORD>& GetTriedLanguages() const { return m_tried; }
    void ClearTriedLanguages() { m_tried.clear(); }

private:
    bool TryLanguage();
    bool LoadLanguage();
    void Unload();
    CString LibraryPath(LPCWSTR pszAbbreviation) const;

    wchar_t m_szBaseName[MAX_PATH] = {};
    CWordArray m_languages;
    WORD m_nOwnLanguage = 0;
    WORD m_nCurrentLanguage = 0;
    CLibraryHandle m_hLibrary;
    std::vector<WORD> m_tried;
};

// The first language of the file's version translation table; 0 without one.
WORD GetFileLanguage(LPCWSTR pszPath);
// The language's native name, else its English name, else "<id> - ???".
CString GetLanguageDisplayName(WORD nLanguage);
WORD GetUserUILanguage();
WORD GetSystemUILanguage();
// The running program's path; empty when it cannot be read.
CString GetProgramPath();
