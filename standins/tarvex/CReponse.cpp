#include "standins/tarvex/CReponse.h"

void CReponse::Clear()
{
    m_nEtat = kTvxStateNotReached;
    m_codes.clear();
    m_strTexte.Empty();
    m_dValeur = kTvxNoValue;
}
