#pragma once
#include "framework/CComDynamicUnkArray.h"
#include "CSoftphoneJournal.h"
// The control's event sinks, counted in the journal so a test sees every one given back.
class CCountedSinkArray
{
public:
    CCountedSinkArray() = default;
    CCountedSinkArray(const CCountedSinkArray&) = delete;
    CCountedSinkArray& operator=(const CCountedSinkArray&) = delete;
    ~CCountedSinkArray()
    {
        for (int i = 0; i < m_sinks.GetSize(); ++i)
            if (m_sinks.GetAt(i)) --CSoftphoneJournal::Get().m_nSinks;
    }
    DWORD Add(IUnknown* pUnk) noexcept
    {
        const DWORD cookie = m_sinks.Add(pUnk);
        if (cookie) ++CSoftphoneJournal::Get().m_nSinks;
        return cookie;
    }
    IUnknown* Remove(DWORD dwCookie) noexcept
    {
        IUnknown* p = m_sinks.Remove(dwCookie);
        if (p) --CSoftphoneJournal::Get().m_nSinks;
        return p;
    }
    int GetSize() const noexcept { return m_sinks.GetSize(); }
    IUnknown* GetAt(int nIndex) const noexcept { return m_sinks.GetAt(nIndex); }

private:
    CComDynamicUnkArray m_sinks;
};
