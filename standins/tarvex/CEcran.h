#pragma once
#include "standins/tarvex/CElement.h"
#include "standins/tarvex/CObjet.h"
#include <memory>
#include <vector>

class CListeTriee;
class CMasqueSaisie;

// One screen of an interview as the engine hands it out: the caller deletes it.
class CEcran : public CObjet
{
public:
    explicit CEcran(int nIndex);
    CEcran(const CEcran&) = delete;
    CEcran& operator=(const CEcran&) = delete;
    ~CEcran() override;

    int GetNbreElement() const { return static_cast<int>(m_elements.size()); }
    CElement* GetAdrElement(int i);
    int GetFirstPositionSaisie() const;
    void FindEntryPositions(CListeTriee& positions, const CMasqueSaisie* pMask) const;

    int m_nIndex;     // the screen's place in the survey
    int m_nGroup = 0; // screen group: every screen is in group 0
    int m_nToolBarPosition = 0;
    int m_nNavigationLevel = 0;
    std::vector<std::unique_ptr<CElement>> m_elements; // response blocks among them
};
