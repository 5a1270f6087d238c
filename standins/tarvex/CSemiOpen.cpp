#include "standins/tarvex/CSemiOpen.h"
#include "core/CPropertyList.h"
#include "standins/tarvex/CTarvexJournal.h"

bool CSemiOpen::FromString(const CString& strText)
{
    const CPropertyList fields(strText.GetString());
    m_strQuestion = fields.GetPropertyString(L"question", L"");
    m_nId = fields.GetPropertyLong(L"id", 0L);
    m_nKind = fields.GetPropertyLong(L"kind", 2);
    m_nLangue = fields.GetPropertyLong(L"language", 0);
    m_strLibelle = fields.GetPropertyString(L"text", L"");
    const bool bOk = !m_strQuestion.IsEmpty() && !m_strLibelle.IsEmpty();
    CTarvexJournal::Append(L"CSemiOpen", L"FromString", strText, CTarvexJournal::FromBool(bOk));
    return bOk;
}
