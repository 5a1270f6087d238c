#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CTarvexJournal.h"
#include <algorithm>

CListe::~CListe() = default;

bool CListe::Contains(INT_PTR item) const
{
    return std::find(m_items.begin(), m_items.end(), item) != m_items.end();
}

void CListe::RemoveAll()
{
    m_items.clear();
    m_bObjects = false;
    if (m_bFilled) CTarvexJournal::CountDeleted(L"CListe");
    m_bFilled = false;
}

void CListe::AddEngineObjet(CObjet* pObjet)
{
    if (!m_bFilled) CTarvexJournal::CountCreated(L"CListe");
    m_bFilled = true;
    AddObjet(pObjet);
}
