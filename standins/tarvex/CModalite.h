#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CObjet.h"

// One response of a closed question.
class CModalite : public CObjet
{
public:
    CString GetShortCaption(int /*nLanguage*/) const { return m_strLibelle; } // one language per survey here
    CString GetLocalisedShortCaption(int nLanguage) const { return GetShortCaption(nLanguage); }
    void SetQuestion(int nQuestion) { m_nQuestion = nQuestion; }

    long m_nCode = 0; // also its id
    CString m_strLibelle;
    bool m_bExclusive = false;
    int m_nQuestion = -1; // index of its question
};
