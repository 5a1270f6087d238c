#include "standins/tarvex/CReponse.h"

void CReponse::Clear()
{
    m_nEtat = kTvxStateNotReached;
    m_codes.clear();
    m_strTexte.Empty();
    m_dValeur = kTvxNoValue;
}

CString CReponse::FormatCodes(const std::vector<long>& codes)
{
    CString str;
    for (size_t i = 0; i < codes.size(); ++i)
        str.AppendFormat(i ? L",%ld" : L"%ld", codes[i]);
    return str;
}
