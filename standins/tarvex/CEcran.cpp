#include "standins/tarvex/CEcran.h"
#include "standins/tarvex/CListeTriee.h"
#include "standins/tarvex/CTarvexJournal.h"

CEcran::CEcran(int nIndex) : m_nIndex(nIndex)
{
    CTarvexJournal::CountCreated(L"CEcran");
}

CEcran::~CEcran()
{
    CTarvexJournal::CountDeleted(L"CEcran");
}

CElement* CEcran::GetAdrElement(int i)
{
    return i >= 0 && i < GetNbreElement() ? m_elements[static_cast<size_t>(i)].get() : nullptr;
}

int CEcran::GetFirstPositionSaisie() const
{
    int nFirst = -1;
    for (const auto& pElement : m_elements)
        if (pElement->m_nPosition >= 0 && (nFirst < 0 || pElement->m_nPosition < nFirst))
            nFirst = pElement->m_nPosition;
    return nFirst;
}

void CEcran::FindEntryPositions(CListeTriee& positions, const CMasqueSaisie* /*pMask*/) const
{
    positions.RemoveAll();
    for (const auto& pElement : m_elements)
        if (pElement->m_nPosition >= 0) positions.Insert(pElement->m_nPosition);
}
