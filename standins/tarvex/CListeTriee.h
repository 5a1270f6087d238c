#pragma once
#include <cstddef>
#include <vector>

// A sorted list of numbers without repeats: the entry positions of a screen.
class CListeTriee
{
public:
    int GetCount() const { return static_cast<int>(m_items.size()); }
    long GetAt(int i) const { return m_items.at(static_cast<size_t>(i)); }
    void Insert(long n);
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<long> m_items;
};
