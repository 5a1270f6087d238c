#include "framework/CRegistrar.h"
#include "framework/CHandleOwner.h"
#include <cwctype>
#include <new>

namespace
{
bool IsWordBreak(wchar_t c)
{
    return std::iswspace(c) != 0;
}

HRESULT FromStatus(LSTATUS status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

bool IsMissing(LSTATUS status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}
} // namespace

// Cuts the expanded script into words and builds the tree of roots, keys and values.
class CRegistrar::Parser
{
public:
    explicit Parser(const std::wstring& text) : m_text(text) {}

    bool ParseScript(bool bPerUser, std::vector<Root>& roots)
    {
        std::wstring word;
        bool quoted = false;
        while (NextWord(word, quoted))
        {
            if (quoted) return false;
            Root root{};
            if (!ParseRootName(word, bPerUser, root)) return false;
            if (!Expect(L"{") || !ParseKeys(root.keys)) return false;
            roots.push_back(std::move(root));
        }
        return m_ok;
    }

private:
    static bool ParseRootName(const std::wstring& word, bool bPerUser, Root& root)
    {
        if (_wcsicmp(word.c_str(), L"HKCR") == 0 || _wcsicmp(word.c_str(), L"HKEY_CLASSES_ROOT") == 0)
        {
            root.hive = bPerUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
            if (bPerUser) root.path = L"Software\\Classes";
            return true;
        }
        if (_wcsicmp(word.c_str(), L"HKCU") == 0 || _wcsicmp(word.c_str(), L"HKEY_CURRENT_USER") == 0)
        {
            root.hive = HKEY_CURRENT_USER;
            return true;
        }
        if (_wcsicmp(word.c_str(), L"HKLM") == 0 || _wcsicmp(word.c_str(), L"HKEY_LOCAL_MACHINE") == 0)
        {
            root.hive = HKEY_LOCAL_MACHINE;
            return true;
        }
        return false;
    }

    // Keys up to and including the closing brace of the block.
    bool ParseKeys(std::vector<Key>& keys)
    {
        std::wstring word;
        bool quoted = false;
        while (NextWord(word, quoted))
        {
            if (!quoted && word == L"}") return true;
            Key key;
            if (!ParseKey(word, quoted, key)) return false;
            keys.push_back(std::move(key));
        }
        return false; // the block never closed
    }

    // A key from its first word on: an optional removal keyword, the name, then its body.
    bool ParseKey(std::wstring word, bool quoted, Key& key)
    {
        if (!quoted && _wcsicmp(word.c_str(), L"NoRemove") == 0) key.removal = Key::Removal::NoRemove;
        if (!quoted && _wcsicmp(word.c_str(), L"ForceRemove") == 0) key.removal = Key::Removal::ForceRemove;
        if (key.removal != Key::Removal::Normal && !NextWord(word, quoted)) return false;
        if (!quoted && (word == L"{" || word == L"}" || word == L"=")) return false;
        key.name = word;
        return ParseKeyBody(key);
    }

    // After a key's name: an optional "= value", then an optional block of values and subkeys.
    bool ParseKeyBody(Key& key)
    {
        if (PeekIs(L"="))
        {
            Skip();
            if (!ParseValue(key.defaultValue)) return false;
            key.hasDefault = true;
        }
        if (!PeekIs(L"{")) return true;
        Skip();
        std::wstring word;
        bool quoted = false;
        while (NextWord(word, quoted))
        {
            if (!quoted && word == L"}") return true;
            if (!quoted && _wcsicmp(word.c_str(), L"val") == 0)
            {
                Value value;
                if (!NextWord(value.name, quoted) || !Expect(L"=") || !ParseValue(value)) return false;
                key.values.push_back(std::move(value));
                continue;
            }
            Key subkey;
            if (!ParseKey(word, quoted, subkey)) return false;
            key.subkeys.push_back(std::move(subkey));
        }
        return false;
    }

    bool ParseValue(Value& value)
    {
        std::wstring type, text;
        bool quoted = false;
        if (!NextWord(type, quoted) || quoted || type.size() != 1) return false;
        if (!NextWord(text, quoted) || !quoted) return false;
        switch (std::towlower(type[0]))
        {
        case L's':
            value.type = L's';
            value.text = text;
            return true;
        case L'd': {
            value.type = L'd';
            wchar_t* end = nullptr;
            const unsigned long long number = std::wcstoull(text.c_str(), &end, 0);
            return !text.empty() && end && *end == L'\0' && number <= 0xFFFFFFFFull &&
                   (value.number = static_cast<DWORD>(number), true);
        }
        default:
            return false;
        }
    }

    bool Expect(const wchar_t* what)
    {
        std::wstring word;
        bool quoted = false;
        return NextWord(word, quoted) && !quoted && word == what;
    }
    bool PeekIs(const wchar_t* what)
    {
        const size_t saved = m_pos;
        std::wstring word;
        bool quoted = false;
        const bool is = NextWord(word, quoted) && !quoted && word == what;
        m_pos = saved;
        return is;
    }
    void Skip()
    {
        std::wstring word;
        bool quoted = false;
        NextWord(word, quoted);
    }

    // False at the end of the text (or on an unclosed quote, which also marks the script bad).
    bool NextWord(std::wstring& word, bool& quoted)
    {
        word.clear();
        quoted = false;
        while (m_pos < m_text.size() && IsWordBreak(m_text[m_pos]))
            ++m_pos;
        if (m_pos >= m_text.size()) return false;
        if (m_text[m_pos] != L'\'')
        {
            while (m_pos < m_text.size() && !IsWordBreak(m_text[m_pos]))
                word += m_text[m_pos++];
            return true;
        }
        quoted = true;
        for (++m_pos; m_pos < m_text.size(); ++m_pos)
        {
            if (m_text[m_pos] != L'\'')
            {
                word += m_text[m_pos];
                continue;
            }
            if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == L'\'')
            {
                word += L'\'';
                ++m_pos;
                continue;
            }
            ++m_pos;
            return true;
        }
        m_ok = false;
        return false;
    }

    const std::wstring& m_text;
    size_t m_pos = 0;
    bool m_ok = true;
};

HRESULT CRegistrar::AddReplacement(LPCWSTR key, LPCWSTR item)
{
    if (!key || !item) return E_INVALIDARG;
    try
    {
        m_replacements[key] = item;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CRegistrar::ClearReplacements() noexcept
{
    m_replacements.clear();
    return S_OK;
}

bool CRegistrar::Expand(const std::wstring& script, std::wstring& expanded) const
{
    expanded.clear();
    for (size_t pos = 0; pos < script.size(); ++pos)
    {
        if (script[pos] != L'%')
        {
            expanded += script[pos];
            continue;
        }
        const size_t end = script.find(L'%', pos + 1);
        if (end == std::wstring::npos) return false;
        if (end == pos + 1)
            expanded += L'%';
        else
        {
            const auto found = m_replacements.find(script.substr(pos + 1, end - pos - 1));
            if (found == m_replacements.end()) return false;
            expanded += found->second;
        }
        pos = end;
    }
    return true;
}

HRESULT CRegistrar::Run(LPCWSTR script, bool bRegister) noexcept
{
    if (!script) return E_POINTER;
    try
    {
        std::wstring expanded;
        std::vector<Root> roots;
        if (!Expand(script, expanded)) return DISP_E_EXCEPTION;
        Parser parser(expanded);
        if (!parser.ParseScript(m_bPerUser, roots)) return DISP_E_EXCEPTION;
        for (const Root& root : roots)
        {
            CRegKeyHandle hRoot;
            HKEY hBase = root.hive;
            if (!root.path.empty())
            {
                HKEY h = nullptr;
                const LSTATUS status = bRegister ? ::RegCreateKeyExW(root.hive, root.path.c_str(), 0, nullptr, 0,
                                                                     KEY_ALL_ACCESS, nullptr, &h, nullptr)
                                                 : ::RegOpenKeyExW(root.hive, root.path.c_str(), 0, KEY_ALL_ACCESS, &h);
                if (!bRegister && IsMissing(status)) continue;
                if (status != ERROR_SUCCESS) return FromStatus(status);
                hRoot.Attach(h);
                hBase = h;
            }
            for (const Key& key : root.keys)
            {
                const LSTATUS status = bRegister ? RegisterKey(hBase, key) : UnregisterKey(hBase, key);
                if (status != ERROR_SUCCESS) return FromStatus(status);
            }
        }
        return S_OK;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}

LSTATUS CRegistrar::WriteValue(HKEY hKey, const Value& value)
{
    LPCWSTR name = value.name.empty() ? nullptr : value.name.c_str();
    if (value.type == L'd')
        return ::RegSetValueExW(hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.number),
                                sizeof(value.number));
    return ::RegSetValueExW(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                            static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t)));
}

LSTATUS CRegistrar::RegisterKey(HKEY hParent, const Key& key)
{
    if (key.removal == Key::Removal::ForceRemove)
    {
        const LSTATUS status = ::RegDeleteTreeW(hParent, key.name.c_str());
        if (status != ERROR_SUCCESS && !IsMissing(status)) return status;
    }
    HKEY h = nullptr;
    LSTATUS status = ::RegCreateKeyExW(hParent, key.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
    if (status != ERROR_SUCCESS) return status;
    CRegKeyHandle hKey(h);
    if (key.hasDefault && (status = WriteValue(hKey, key.defaultValue)) != ERROR_SUCCESS) return status;
    for (const Value& value : key.values)
        if ((status = WriteValue(hKey, value)) != ERROR_SUCCESS) return status;
    for (const Key& subkey : key.subkeys)
        if ((status = RegisterKey(hKey, subkey)) != ERROR_SUCCESS) return status;
    return ERROR_SUCCESS;
}

LSTATUS CRegistrar::UnregisterKey(HKEY hParent, const Key& key)
{
    if (key.removal == Key::Removal::ForceRemove)
    {
        LSTATUS status = ::RegDeleteTreeW(hParent, key.name.c_str());
        if (status == ERROR_SUCCESS) status = ::RegDeleteKeyW(hParent, key.name.c_str());
        return IsMissing(status) ? ERROR_SUCCESS : status;
    }
    HKEY h = nullptr;
    LSTATUS status = ::RegOpenKeyExW(hParent, key.name.c_str(), 0, KEY_ALL_ACCESS, &h);
    if (IsMissing(status)) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    {
        CRegKeyHandle hKey(h);
        for (const Key& subkey : key.subkeys)
            if ((status = UnregisterKey(hKey, subkey)) != ERROR_SUCCESS) return status;
        for (const Value& value : key.values)
        {
            status = ::RegDeleteValueW(hKey, value.name.c_str());
            if (status != ERROR_SUCCESS && !IsMissing(status)) return status;
        }
        if (key.removal == Key::Removal::NoRemove) return ERROR_SUCCESS;
        DWORD nSubkeys = 0;
        status = ::RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &nSubkeys, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return status;
        if (nSubkeys > 0) return ERROR_SUCCESS; // someone else's keys live below it
    }
    status = ::RegDeleteKeyW(hParent, key.name.c_str());
    return IsMissing(status) ? ERROR_SUCCESS : status;
}

HRESULT CRegistrar::ResourceRegister(HMODULE hModule, UINT nID, LPCWSTR type) noexcept
{
    return RunResource(hModule, nID, type, true);
}

HRESULT CRegistrar::ResourceUnregister(HMODULE hModule, UINT nID, LPCWSTR type) noexcept
{
    return RunResource(hModule, nID, type, false);
}

HRESULT CRegistrar::RunResource(HMODULE hModule, UINT nID, LPCWSTR type, bool bRegister) noexcept
{
    HRSRC hResource = ::FindResourceW(hModule, MAKEINTRESOURCEW(nID), type);
    if (!hResource) return HRESULT_FROM_WIN32(::GetLastError());
    HGLOBAL hData = ::LoadResource(hModule, hResource);
    const DWORD size = ::SizeofResource(hModule, hResource);
    const auto* bytes = static_cast<const char*>(::LockResource(hData));
    if (!bytes) return HRESULT_FROM_WIN32(::GetLastError());
    try
    {
        std::wstring script;
        if (size >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
            script.assign(reinterpret_cast<const wchar_t*>(bytes + 2), (size - 2) / sizeof(wchar_t));
        else if (size > 0)
        {
            const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
            script.resize(static_cast<size_t>(n));
            ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), script.data(), n);
        }
        // A resource compiler may pad the data with zeros.
        if (auto nul = script.find(L'\0'); nul != std::wstring::npos) script.resize(nul);
        return Run(script.c_str(), bRegister);
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}
