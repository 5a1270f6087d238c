#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CObjet.h"

// A semi-open answer: a text a respondent gave beside the closed responses.
class CSemiOpen : public CObjet
{
public:
    // Reads a property-list text (question, id, text, kind, language); false without question or text.
    bool FromString(const CString& strText);

    CString m_strQuestion; // the question's name
    long m_nId = 0;
    int m_nKind = 2; // 2: offered in the lists of the screens
    int m_nLangue = 0;
    CString m_strLibelle;
};
