#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CObjet.h"

// One action routing of a survey: run when the route passes its question. The e-mail hook reads the
// parameters as a property-list text; the other actions read the value.
class CFiltre : public CObjet
{
public:
    int m_nKind = 0;      // ETvxActionKind
    int m_nQuestion = -1; // index of the question it follows
    CString m_strParameters;
    CString m_strValue;
};
