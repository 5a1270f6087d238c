#include "standins/tarvex/CMasqueEntryError.h"
#include "standins/tarvex/CTarvexJournal.h"

CMasqueEntryError::CMasqueEntryError(const CString& strText, int nLevel) : m_strText(strText), m_nLevel(nLevel)
{
    CTarvexJournal::CountCreated(L"CMasqueEntryError");
}

CMasqueEntryError::~CMasqueEntryError()
{
    CTarvexJournal::CountDeleted(L"CMasqueEntryError");
}
