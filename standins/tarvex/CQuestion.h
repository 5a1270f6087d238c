#pragma once
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "standins/tarvex/CModalite.h"
#include "standins/tarvex/CObjet.h"
#include "standins/tarvex/CSemiOpen.h"
#include "standins/tarvex/TarvexCodes.h"
#include <vector>

class CListe;

// One question of a survey (chapters included). Its data members are read directly by the screens.
class CQuestion : public CObjet
{
public:
    bool EstAModalite() const { return m_nKind == kTvxKindQuestion && IsClosedSubKind(m_nSubKind); }
    bool EstNumeriqueLibre() const { return m_nKind == kTvxKindQuestion && m_nSubKind == kTvxSubNumeric; }
    bool EstOuverte() const { return m_nKind == kTvxKindQuestion && m_nSubKind == kTvxSubOpen; }
    bool EstDate() const { return m_nKind == kTvxKindQuestion && m_nSubKind == kTvxSubDate; }
    bool EstChapitre() const { return m_nKind == kTvxKindChapter; }
    bool EstCommeUneMultiple() const { return EstAModalite() && m_nMaxAnswers > 1; }
    static bool IsClosedSubKind(int nSubKind);

    CString GetLongCaption() const { return m_strText; }
    CString GetLocalisedShortCaption(int /*nLanguage*/) const { return m_strName; }

    // Copies of the modalities, in order, into a filled array the caller frees (CObjet::DeleteArray).
    void DonnerModalites(CListe& array, bool bIncludingLinked) const;
    // The codes in order; then -3 when semi-open answers are allowed and -1 for don't know.
    void DonnerCodeModalites(std::vector<long>& codes, bool bIncludingLinked) const;
    void GetAllModalityCodes(std::vector<long>& codes, bool bIncludingLinked) const;
    int GetNbreModaliteIncludingLinkedQuestions() const { return static_cast<int>(m_modalites.size()); }
    const std::vector<CModalite>& GetAdrModalities(bool /*bIncludingLinked*/ = true) const { return m_modalites; }
    const CModalite* FindModaliteById(long nCode) const;
    // The 1-based place of the code among the modalities; 0 when the question does not know it.
    int TransformCodeIntoOrder(long nCode) const;

    int GetSemiOpenCount() const { return static_cast<int>(m_semiOpens.size()); }
    const CSemiOpen* GetSemiOpen(int i) const;

    // Joins a date part and a time part; date kind 1 date only, 2 time only, 3 both. A part that is
    // not valid makes a null date.
    static COleDateTime CombineDateTime(int nDateKind, const COleDateTime& date, const COleDateTime& time);
    // "dd/mm/yyyy", "hh:mm" or both, by the question's date kind; empty for no value.
    CString FormatDateTime(double dValue, int nLanguage) const;

    long m_nId = 0;
    CString m_strName;
    CString m_strText;
    CString m_strShortcut;
    int m_nKind = kTvxKindQuestion;
    int m_nSubKind = kTvxSubSingle;
    short m_nMaxAnswers = 1;
    bool m_bDontKnow = false;
    bool m_bOther = false; // takes semi-open answers
    bool m_bGeoLumo = false;
    bool m_bBlock = false; // shown as a response block
    double m_dMin = kTvxNoValue;
    double m_dMax = kTvxNoValue;
    short m_nDecimals = 0;
    int m_nDateKind = 1;
    std::vector<CModalite> m_modalites;
    std::vector<CSemiOpen> m_semiOpens;
};
