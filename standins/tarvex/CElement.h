#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CObjet.h"
#include "standins/tarvex/CRectDouble.h"
#include <vector>

// One element of a screen: here always one response of the interview, laid out under the previous one.
class CElement : public CObjet
{
public:
    void SetLibelle(const CString& strLibelle) { m_strLibelle = strLibelle; }
    void SetCodeSaisie(const CString& strCode) { m_strCodeSaisie = strCode; }
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    long GetItem(int i) const { return m_items.at(static_cast<size_t>(i)); } // a response code
    // Lists and combos are the elements a route can grey out.
    bool IsTypeTargetForFilter() const { return m_nType == 7 || m_nType == 8 || m_nType == 18; }

    short m_nType = 1;
    int m_nPosition = -1;
    long m_nQuestionId = 0;
    CRectDouble m_rect;
    CString m_strLibelle;      // the caption as shown
    CString m_strLibelleModel; // the caption with its references, for live labels
    bool m_bLiveLabel = false;
    CString m_strCodeSaisie;
    bool m_bHidden = false;
    bool m_bDisabled = false;
    std::vector<long> m_items;
    bool m_bChecked = false; // a response box's initial state
};
