#pragma once
#include "framework/CException.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include <utility>

// The framework's doubly linked list, walked with POSITION values:
//     for (POSITION pos = list.GetHeadPosition(); pos; ) Use(list.GetNext(pos));
// A POSITION stays valid until its element is removed. Asking an empty list for its head or tail, or
// passing a null POSITION where an element is needed, throws CInvalidArgException*.
template <typename TYPE, typename ARG_TYPE = const TYPE&> class CList : public CObject
{
    struct Node
    {
        Node* pNext;
        Node* pPrev;
        TYPE data;
    };

public:
    explicit CList(INT_PTR /*nBlockSize*/ = 10) {} // nodes are allocated one by one
    CList(const CList& other) : CObject() { AddTail(&other); }
    CList& operator=(const CList& other)
    {
        if (this != &other)
        {
            RemoveAll();
            AddTail(&other);
        }
        return *this;
    }
    ~CList() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    TYPE& GetHead() { return Need(m_pHead)->data; }
    const TYPE& GetHead() const { return Need(m_pHead)->data; }
    TYPE& GetTail() { return Need(m_pTail)->data; }
    const TYPE& GetTail() const { return Need(m_pTail)->data; }

    TYPE RemoveHead()
    {
        Node* node = Need(m_pHead);
        TYPE value(std::move(node->data));
        Unlink(node);
        return value;
    }
    TYPE RemoveTail()
    {
        Node* node = Need(m_pTail);
        TYPE value(std::move(node->data));
        Unlink(node);
        return value;
    }

    POSITION AddHead(ARG_TYPE newElement) { return InsertBefore(GetHeadPosition(), newElement); }
    POSITION AddTail(ARG_TYPE newElement) { return InsertAfter(GetTailPosition(), newElement); }
    void AddHead(const CList* pNewList)
    {
        if (!pNewList) AfxThrowInvalidArgException();
        const CList copy(*pNewList); // the list may be this one
        for (Node* n = copy.m_pTail; n; n = n->pPrev)
            AddHead(n->data);
    }
    void AddTail(const CList* pNewList)
    {
        if (!pNewList) AfxThrowInvalidArgException();
        if (pNewList == this)
        {
            const CList copy(*this);
            AddTail(&copy);
            return;
        }
        for (Node* n = pNewList->m_pHead; n; n = n->pNext)
            AddTail(n->data);
    }
    void RemoveAll()
    {
        for (Node* n = m_pHead; n;)
        {
            Node* next = n->pNext;
            delete n;
            n = next;
        }
        m_pHead = m_pTail = nullptr;
        m_nCount = 0;
    }

    POSITION GetHeadPosition() const { return ToPos(m_pHead); }
    POSITION GetTailPosition() const { return ToPos(m_pTail); }
    TYPE& GetNext(POSITION& rPosition)
    {
        Node* node = Need(FromPos(rPosition));
        rPosition = ToPos(node->pNext);
        return node->data;
    }
    const TYPE& GetNext(POSITION& rPosition) const
    {
        Node* node = Need(FromPos(rPosition));
        rPosition = ToPos(node->pNext);
        return node->data;
    }
    TYPE& GetPrev(POSITION& rPosition)
    {
        Node* node = Need(FromPos(rPosition));
        rPosition = ToPos(node->pPrev);
        return node->data;
    }
    const TYPE& GetPrev(POSITION& rPosition) const
    {
        Node* node = Need(FromPos(rPosition));
        rPosition = ToPos(node->pPrev);
        return node->data;
    }
    TYPE& GetAt(POSITION position) { return Need(FromPos(position))->data; }
    const TYPE& GetAt(POSITION position) const { return Need(FromPos(position))->data; }
    void SetAt(POSITION pos, ARG_TYPE newElement) { Need(FromPos(pos))->data = newElement; }
    void RemoveAt(POSITION position) { Unlink(Need(FromPos(position))); }

    // A null position inserts at the head (InsertBefore) or the tail (InsertAfter).
    POSITION InsertBefore(POSITION position, ARG_TYPE newElement)
    {
        Node* next = position ? FromPos(position) : m_pHead;
        Node* node = new Node{next, next ? next->pPrev : m_pTail, TYPE(newElement)};
        Link(node);
        return ToPos(node);
    }
    POSITION InsertAfter(POSITION position, ARG_TYPE newElement)
    {
        Node* prev = position ? FromPos(position) : m_pTail;
        Node* node = new Node{prev ? prev->pNext : m_pHead, prev, TYPE(newElement)};
        Link(node);
        return ToPos(node);
    }

    // The first element equal to searchValue after startAfter (from the head when null); null if none.
    POSITION Find(ARG_TYPE searchValue, POSITION startAfter = nullptr) const
    {
        for (Node* n = startAfter ? FromPos(startAfter)->pNext : m_pHead; n; n = n->pNext)
            if (n->data == searchValue) return ToPos(n);
        return nullptr;
    }
    POSITION FindIndex(INT_PTR nIndex) const // null when out of range
    {
        if (nIndex < 0 || nIndex >= m_nCount) return nullptr;
        Node* n = m_pHead;
        while (nIndex-- > 0)
            n = n->pNext;
        return ToPos(n);
    }

private:
    static POSITION ToPos(Node* node) { return reinterpret_cast<POSITION>(node); }
    static Node* FromPos(POSITION pos) { return reinterpret_cast<Node*>(pos); }
    static Node* Need(Node* node)
    {
        if (!node) AfxThrowInvalidArgException();
        return node;
    }
    // node's pNext and pPrev already name its neighbours
    void Link(Node* node)
    {
        if (node->pPrev)
            node->pPrev->pNext = node;
        else
            m_pHead = node;
        if (node->pNext)
            node->pNext->pPrev = node;
        else
            m_pTail = node;
        ++m_nCount;
    }
    void Unlink(Node* node)
    {
        if (node->pPrev)
            node->pPrev->pNext = node->pNext;
        else
            m_pHead = node->pNext;
        if (node->pNext)
            node->pNext->pPrev = node->pPrev;
        else
            m_pTail = node->pPrev;
        --m_nCount;
        delete node;
    }

    Node* m_pHead = nullptr;
    Node* m_pTail = nullptr;
    INT_PTR m_nCount = 0;
};

// Lists of pointers do not own what they point to.
class CPtrList : public CList<void*, void*>
{
public:
    using CList::CList;
};
class CObList : public CList<CObject*, CObject*>
{
public:
    using CList::CList;
};
class CStringList : public CList<CString, const CString&>
{
public:
    using CList::CList;
};

// A CObList or CPtrList that hands out TYPE (a pointer type) instead of the base pointer.
template <typename BASE_CLASS, typename TYPE> class CTypedPtrList : public BASE_CLASS
{
    using Base = BASE_CLASS;
    using BaseElement = std::remove_reference_t<decltype(std::declval<Base&>().GetHead())>;

public:
    using Base::Base;

    TYPE& GetHead() { return reinterpret_cast<TYPE&>(Base::GetHead()); }
    TYPE GetHead() const { return static_cast<TYPE>(Base::GetHead()); }
    TYPE& GetTail() { return reinterpret_cast<TYPE&>(Base::GetTail()); }
    TYPE GetTail() const { return static_cast<TYPE>(Base::GetTail()); }
    TYPE RemoveHead() { return static_cast<TYPE>(Base::RemoveHead()); }
    TYPE RemoveTail() { return static_cast<TYPE>(Base::RemoveTail()); }
    TYPE& GetNext(POSITION& rPosition) { return reinterpret_cast<TYPE&>(Base::GetNext(rPosition)); }
    TYPE GetNext(POSITION& rPosition) const { return static_cast<TYPE>(Base::GetNext(rPosition)); }
    TYPE& GetPrev(POSITION& rPosition) { return reinterpret_cast<TYPE&>(Base::GetPrev(rPosition)); }
    TYPE GetPrev(POSITION& rPosition) const { return static_cast<TYPE>(Base::GetPrev(rPosition)); }
    TYPE& GetAt(POSITION position) { return reinterpret_cast<TYPE&>(Base::GetAt(position)); }
    TYPE GetAt(POSITION position) const { return static_cast<TYPE>(Base::GetAt(position)); }
    void SetAt(POSITION pos, TYPE newElement) { Base::SetAt(pos, static_cast<BaseElement>(newElement)); }
    POSITION AddHead(TYPE newElement) { return Base::AddHead(static_cast<BaseElement>(newElement)); }
    POSITION AddTail(TYPE newElement) { return Base::AddTail(static_cast<BaseElement>(newElement)); }
    void AddHead(const CTypedPtrList* pNewList) { Base::AddHead(pNewList); }
    void AddTail(const CTypedPtrList* pNewList) { Base::AddTail(pNewList); }
};
