#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CObjet.h"
#include "standins/tarvex/TarvexCodes.h"
#include <vector>

// The answer at one position of an interview. The screens read and write its state directly.
class CReponse : public CObjet
{
public:
    bool EstTypeReponseSautee() const { return m_nEtat == kTvxStateSkipped; }
    bool EstTypeReponseLisible() const { return m_nEtat == kTvxStateAnswered || m_nEtat == kTvxStateSetByAction; }
    bool EstTypeReponseModifiable() const { return !EstTypeReponseSautee(); }
    bool EstTypeReponseARemplir() const { return false; } // no data imports in this engine
    // The codes of a closed answer; the single code (-2 for none) of a single-choice one.
    const std::vector<long>& GetReponseAModalite() const { return m_codes; }
    long GetReponseAModalite(int /*nSingle*/) const { return m_codes.empty() ? -2 : m_codes.front(); }
    void Clear();
    static CString FormatCodes(const std::vector<long>& codes); // "1,3": saved interviews, pages, the journal

    int m_nQuestion = -1; // index of its question
    short m_nEtat = kTvxStateNotReached;
    std::vector<long> m_codes;
    CString m_strTexte;             // open answers, and the text a number or date was given as
    double m_dValeur = kTvxNoValue; // numeric and date answers
    long m_nDuree = 0;              // seconds spent on it
};
