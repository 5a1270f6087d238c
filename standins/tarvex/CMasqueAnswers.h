#pragma once
#include "framework/CString.h"
#include "framework/CStringArray.h"
#include "framework/Platform.h"
#include <vector>
// The answers as they are given: each kind checked against its question (codes, numbers, texts,
// dates, ranks, captions typed by name) and the survey's own checks, stored with its state, or
// refused with an error the caller deletes.
class CMasqueEntryError;
class CMasqueSaisie;
class CQuestion;

class CMasqueAnswers
{
public:
    explicit CMasqueAnswers(CMasqueSaisie& mask);
    CMasqueAnswers(const CMasqueAnswers&) = delete;
    CMasqueAnswers& operator=(const CMasqueAnswers&) = delete;

    bool StockerReponseModalite(int nPosition, bool bMessages, const std::vector<long>& codes,
                                CMasqueEntryError*& pError);
    bool StockerReponseNumerique(int nPosition, const CString& strText, bool bMessages, CMasqueEntryError*& pError);
    bool StockerReponseOuverte(int nPosition, const CString& strText, bool bMessages, CMasqueEntryError*& pError);
    bool StockerReponseDate(int nPosition, const CString& strText, bool bMessages, CMasqueEntryError*& pError);
    bool StockerAutreReponse(int nPosition, bool bMessages);
    bool EstReponseModaliteOk(int nPosition, const std::vector<long>& codes, bool bValidate,
                              CMasqueEntryError*& pError) const;
    bool EstReponseNumeriqueOk(int nPosition, const CString& strText, bool bValidate, CMasqueEntryError*& pError) const;
    bool EstReponseOuverteOk(int nPosition, const CString& strText, bool bValidate, CMasqueEntryError*& pError) const;
    bool EstReponseDateOk(int nPosition, const CString& strText, bool bValidate, CMasqueEntryError*& pError) const;
    bool IsValidityFilterOK(int nPosition, int nMode, CMasqueEntryError*& pError) const;
    bool SetValueFromScript(int nPosition, const CString& strValue);
    bool EstReponseRangOk(int nPosition, const CStringArray& texts, std::vector<long>& codes, bool bValidate,
                          CMasqueEntryError*& pError) const;
    bool IsResponseByNameOK(int nPosition, const CString& strText, std::vector<long>& codes,
                            CMasqueEntryError*& pError) const;
    CString WriteErrorMessage(int nMessage, int nPosition) const;

private:
    bool CheckClosed(int nPosition, const std::vector<long>& codes, CMasqueEntryError*& pError) const;
    bool CheckNumber(int nPosition, const CString& strText, double& dValue, CMasqueEntryError*& pError) const;
    bool CheckDate(int nPosition, const CString& strText, double& dValue, CMasqueEntryError*& pError) const;
    bool CheckKind(int nPosition, bool (CQuestion::*pfnIs)() const, CMasqueEntryError*& pError) const;
    bool ScriptedCheck(LPCWSTR pszCall, int nPosition, bool bOk, CMasqueEntryError*& pError) const;
    bool StoreText(LPCWSTR pszMember, int nPosition, const CString& strText, double dValue, bool bOk,
                   CMasqueEntryError*& pError);
    bool FinishStore(LPCWSTR pszMember, int nPosition, const CString& strArguments, bool bOk,
                     CMasqueEntryError*& pError);

    CMasqueSaisie& m_mask;
};
