#pragma once
#include "framework/CObject.h"
#include "framework/CArchive.h"
#include "framework/CException.h"
#include <algorithm>
#include <type_traits>
#include <vector>

// A growable array of values that is also a CObject. It serialises as the element count followed
// by the raw element values, so only arrays of trivially copyable elements can be archived.
template <typename T> class CStdArray : public CObject
{
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }
    const T& GetAt(INT_PTR i) const { return m_items.at(static_cast<size_t>(i)); }
    T& ElementAt(INT_PTR i) { return m_items.at(static_cast<size_t>(i)); }
    const T& operator[](INT_PTR i) const { return GetAt(i); }
    T& operator[](INT_PTR i) { return ElementAt(i); }
    INT_PTR Add(const T& item)
    {
        m_items.push_back(item);
        return GetSize() - 1;
    }
    void SetSize(INT_PTR nNewSize) { m_items.resize(static_cast<size_t>(nNewSize), T{}); } // new elements zeroed
    void RemoveAll() { m_items.clear(); }
    std::vector<T>& Items() { return m_items; }
    const std::vector<T>& Items() const { return m_items; }

    void Serialize(CArchive& ar) override
    {
        // Raw bytes of elements that own storage (texts) would be pointers; such arrays are kept
        // in memory only.
        if constexpr (!std::is_trivially_copyable_v<T>) AfxThrowNotSupportedException();
        else if (ar.IsStoring())
        {
            ar << static_cast<DWORD>(m_items.size());
            if (!m_items.empty()) ar.Write(m_items.data(), static_cast<UINT>(m_items.size() * sizeof(T)));
        }
        else
        {
            DWORD nCount = 0;
            ar >> nCount;
            // Grown as the bytes arrive: a damaged count ends in the archive's end-of-file error
            // instead of one huge allocation.
            constexpr DWORD kChunk = 4096;
            m_items.clear();
            for (DWORD nDone = 0; nDone < nCount;)
            {
                const DWORD nNow = std::min(kChunk, nCount - nDone);
                m_items.resize(m_items.size() + nNow);
                ar.EnsureRead(m_items.data() + nDone, static_cast<UINT>(nNow * sizeof(T)));
                nDone += nNow;
            }
        }
    }

private:
    std::vector<T> m_items;
};
