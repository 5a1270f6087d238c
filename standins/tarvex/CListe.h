#pragma once
#include "framework/Platform.h"
#include <vector>

class CObjet;

// The engine's list: plain values (positions) or objects. A list the engine fills with objects of its
// own is "filled": it counts as live until CObjet::DeleteArray frees them, so that a caller that
// forgets shows in the object counts.
class CListe
{
public:
    CListe() = default;
    CListe(const CListe&) = delete; // a filled list owns a count
    CListe& operator=(const CListe&) = delete;
    ~CListe(); // the objects are the caller's: a filled list stays counted

    int GetCount() const { return static_cast<int>(m_items.size()); }
    INT_PTR GetAt(int i) const { return m_items.at(static_cast<size_t>(i)); }
    CObjet* GetObjet(int i) const { return reinterpret_cast<CObjet*>(GetAt(i)); }
    bool Contains(INT_PTR item) const;
    void Add(INT_PTR item) { m_items.push_back(item); }
    void AddObjet(CObjet* pObjet)
    {
        Add(reinterpret_cast<INT_PTR>(pObjet));
        m_bObjects = true;
    }
    // Objects went in (not only positions): CObjet::DeleteArray deletes nothing else.
    bool HoldsObjects() const { return m_bObjects; }
    void RemoveAll();

    // The engine's side: objects it made go in through here.
    void AddEngineObjet(CObjet* pObjet);

private:
    std::vector<INT_PTR> m_items;
    bool m_bFilled = false;
    bool m_bObjects = false;
};
