#include "standins/tarvex/CListeTriee.h"
#include <algorithm>

void CListeTriee::Insert(long n)
{
    const auto it = std::lower_bound(m_items.begin(), m_items.end(), n);
    if (it == m_items.end() || *it != n) m_items.insert(it, n);
}
