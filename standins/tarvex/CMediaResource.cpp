#include "standins/tarvex/CMediaResource.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"

bool CMediaResource::PrepareAdxObject(const CString& strFolder, CString* pstrError) const
{
    const DWORD dwAttributes = GetFileAttributesW(strFolder.GetString());
    bool bOk = dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bOk = CTarvexScript::Decide(L"CMediaResource::PrepareAdxObject", bOk);
    if (!bOk && pstrError) *pstrError = L"No survey folder";
    CTarvexJournal::Append(L"CMediaResource", L"PrepareAdxObject", strFolder, CTarvexJournal::FromBool(bOk));
    return bOk;
}

CString CMediaResource::GetPath(const CString& strFolder) const
{
    if (strFolder.IsEmpty()) return m_strFile;
    CString strPath = strFolder;
    if (strPath[strPath.GetLength() - 1] != L'\\') strPath += L'\\';
    return strPath + m_strFile;
}
