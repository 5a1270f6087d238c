#pragma once
#include "framework/Platform.h"
#include <objbase.h>
#include <vector>
// The sinks of a connection point: slots that hold one reference each. A cookie is the slot's
// index + 1; removing empties the slot, and a new sink takes the first empty slot, so a firing
// loop that reads the size once can meet empty slots and must skip them.
class CComDynamicUnkArray
{
public:
    CComDynamicUnkArray() = default;
    CComDynamicUnkArray(const CComDynamicUnkArray&) = delete;
    CComDynamicUnkArray& operator=(const CComDynamicUnkArray&) = delete;
    ~CComDynamicUnkArray()
    {
        for (IUnknown* p : m_slots)
            if (p) p->Release();
    }

    // Takes over one reference; the cookie, or 0 when there is no memory.
    DWORD Add(IUnknown* pUnk) noexcept
    {
        for (size_t i = 0; i < m_slots.size(); ++i)
            if (!m_slots[i])
            {
                m_slots[i] = pUnk;
                return static_cast<DWORD>(i + 1);
            }
        try
        {
            m_slots.push_back(pUnk);
        }
        catch (...)
        {
            return 0;
        }
        return static_cast<DWORD>(m_slots.size());
    }
    // Empties the cookie's slot and hands its reference to the caller; null for an unknown cookie.
    IUnknown* Remove(DWORD dwCookie) noexcept
    {
        if (dwCookie == 0 || dwCookie > m_slots.size()) return nullptr;
        IUnknown* p = m_slots[dwCookie - 1];
        m_slots[dwCookie - 1] = nullptr;
        return p;
    }
    int GetSize() const noexcept { return static_cast<int>(m_slots.size()); }
    IUnknown* GetAt(int nIndex) const noexcept // borrowed; null for an empty slot or past the end
    {
        return nIndex >= 0 && nIndex < GetSize() ? m_slots[static_cast<size_t>(nIndex)] : nullptr;
    }

private:
    std::vector<IUnknown*> m_slots;
};
