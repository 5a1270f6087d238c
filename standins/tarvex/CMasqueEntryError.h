#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CObjet.h"

// Why a store or a check refused an answer. The engine makes one; the caller deletes it.
class CMasqueEntryError : public CObjet
{
public:
    CMasqueEntryError(const CString& strText, int nLevel);
    CMasqueEntryError(const CMasqueEntryError&) = delete;
    CMasqueEntryError& operator=(const CMasqueEntryError&) = delete;
    ~CMasqueEntryError() override;

    bool IsBlocking() const { return m_nLevel != 0; }

    CString m_strText;
    int m_nLevel; // 0 warning (the interviewer may go on), 1 error
    int m_nPosition = -1;
};
