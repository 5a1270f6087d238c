#pragma once
#include "framework/CException.h"
#include "framework/CObject.h"
#include <algorithm>
#include <type_traits>
#include <utility>
#include <vector>

// The framework's growable array. Indexes are INT_PTR; every index outside the elements (GetAt,
// ElementAt, SetAt, operator[], RemoveAt, a negative InsertAt or SetAtGrow) throws
// CInvalidArgException*, which callers catch as CException*.
// Storage is a std::vector; the grow-by value of SetSize decides how much room is reserved ahead.
template <typename TYPE, typename ARG_TYPE = const TYPE&> class CArray : public CObject
{
    static_assert(!std::is_same_v<TYPE, bool>, "std::vector<bool> has no element references");

public:
    CArray() = default;
    CArray(const CArray&) = default;
    CArray(CArray&&) noexcept = default;
    CArray& operator=(const CArray&) = default;
    CArray& operator=(CArray&&) noexcept = default;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    BOOL IsEmpty() const { return m_data.empty(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }

    // New elements are value-initialised (0 for numbers and pointers). nGrowBy -1 keeps the current
    // rule: by default an eighth of the size, at least 4 and at most 1024 elements.
    void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1)
    {
        if (nNewSize < 0) AfxThrowInvalidArgException();
        if (nGrowBy >= 0) m_nGrowBy = nGrowBy;
        Reserve(nNewSize);
        m_data.resize(static_cast<size_t>(nNewSize));
    }
    void FreeExtra() { m_data.shrink_to_fit(); }
    void RemoveAll() { m_data.clear(); }

    const TYPE& GetAt(INT_PTR nIndex) const { return m_data[Checked(nIndex)]; }
    TYPE& GetAt(INT_PTR nIndex) { return m_data[Checked(nIndex)]; }
    TYPE& ElementAt(INT_PTR nIndex) { return m_data[Checked(nIndex)]; }
    const TYPE& ElementAt(INT_PTR nIndex) const { return m_data[Checked(nIndex)]; }
    const TYPE& operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
    void SetAt(INT_PTR nIndex, ARG_TYPE newElement) { m_data[Checked(nIndex)] = newElement; }
    const TYPE* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }
    TYPE* GetData() { return m_data.empty() ? nullptr : m_data.data(); }

    void SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement)
    {
        if (nIndex < 0) AfxThrowInvalidArgException();
        TYPE copy(newElement); // newElement may live in this array, which may move
        if (nIndex >= GetSize()) SetSize(nIndex + 1);
        m_data[static_cast<size_t>(nIndex)] = std::move(copy);
    }
    INT_PTR Add(ARG_TYPE newElement)
    {
        TYPE copy(newElement);
        Reserve(GetSize() + 1);
        m_data.push_back(std::move(copy));
        return GetSize() - 1;
    }
    INT_PTR Append(const CArray& src) // the index of the first appended element
    {
        const INT_PTR first = GetSize();
        if (&src == this)
        {
            const std::vector<TYPE> copy(m_data);
            m_data.insert(m_data.end(), copy.begin(), copy.end());
        }
        else
        {
            Reserve(first + src.GetSize());
            m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end());
        }
        return first;
    }
    void Copy(const CArray& src)
    {
        if (&src != this) m_data = src.m_data;
    }

    void InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount = 1)
    {
        if (nIndex < 0 || nCount < 0) AfxThrowInvalidArgException();
        TYPE copy(newElement);
        if (nIndex > GetSize()) SetSize(nIndex); // inserting past the end first grows the array
        Reserve(GetSize() + nCount);
        m_data.insert(m_data.begin() + nIndex, static_cast<size_t>(nCount), copy);
    }
    void InsertAt(INT_PTR nStartIndex, const CArray* pNewArray)
    {
        if (!pNewArray || nStartIndex < 0) AfxThrowInvalidArgException();
        const std::vector<TYPE> copy(pNewArray->m_data);
        if (nStartIndex > GetSize()) SetSize(nStartIndex);
        m_data.insert(m_data.begin() + nStartIndex, copy.begin(), copy.end());
    }
    void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1)
    {
        if (nIndex < 0 || nCount < 0 || nIndex + nCount > GetSize()) AfxThrowInvalidArgException();
        m_data.erase(m_data.begin() + nIndex, m_data.begin() + nIndex + nCount);
    }

    // For code that speaks std:: (range-for, algorithms).
    auto begin() { return m_data.begin(); }
    auto end() { return m_data.end(); }
    auto begin() const { return m_data.begin(); }
    auto end() const { return m_data.end(); }

private:
    size_t Checked(INT_PTR nIndex) const
    {
        if (nIndex < 0 || nIndex >= GetSize()) AfxThrowInvalidArgException();
        return static_cast<size_t>(nIndex);
    }
    void Reserve(INT_PTR nNeeded)
    {
        const auto needed = static_cast<size_t>(nNeeded);
        if (needed <= m_data.capacity()) return;
        INT_PTR growBy = m_nGrowBy;
        if (growBy <= 0) growBy = std::clamp<INT_PTR>(GetSize() / 8, 4, 1024);
        m_data.reserve(std::max(needed, m_data.size() + static_cast<size_t>(growBy)));
    }

    std::vector<TYPE> m_data;
    INT_PTR m_nGrowBy = -1;
};

class CByteArray : public CArray<BYTE, BYTE>
{
};
class CWordArray : public CArray<WORD, WORD>
{
};
class CDWordArray : public CArray<DWORD, DWORD>
{
};
class CUIntArray : public CArray<UINT, UINT>
{
};
// Arrays of pointers do not own what they point to.
class CObArray : public CArray<CObject*, CObject*>
{
};
class CPtrArray : public CArray<void*, void*>
{
};

// A CObArray or CPtrArray that hands out TYPE (a pointer type) instead of the base pointer.
template <typename BASE_CLASS, typename TYPE> class CTypedPtrArray : public BASE_CLASS
{
    using Base = BASE_CLASS;
    using BaseElement = std::remove_reference_t<decltype(std::declval<Base&>().ElementAt(0))>;

public:
    TYPE GetAt(INT_PTR nIndex) const { return static_cast<TYPE>(Base::GetAt(nIndex)); }
    TYPE& ElementAt(INT_PTR nIndex) { return reinterpret_cast<TYPE&>(Base::ElementAt(nIndex)); }
    TYPE operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
    void SetAt(INT_PTR nIndex, TYPE ptr) { Base::SetAt(nIndex, static_cast<BaseElement>(ptr)); }
    void SetAtGrow(INT_PTR nIndex, TYPE ptr) { Base::SetAtGrow(nIndex, static_cast<BaseElement>(ptr)); }
    INT_PTR Add(TYPE ptr) { return Base::Add(static_cast<BaseElement>(ptr)); }
    void InsertAt(INT_PTR nIndex, TYPE ptr, INT_PTR nCount = 1)
    {
        Base::InsertAt(nIndex, static_cast<BaseElement>(ptr), nCount);
    }
};
