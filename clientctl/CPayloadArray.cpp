#include "clientctl/CPayloadArray.h"

CPayloadArray::CPayloadArray(const BYTE* pData, DWORD nLength) noexcept
{
    m_array.cDims = 1;
    m_array.fFeatures = FADF_AUTO | FADF_FIXEDSIZE;
    m_array.cbElements = 1;
    m_array.cLocks = 0;
    m_array.pvData = nLength ? const_cast<BYTE*>(pData) : nullptr;
    m_array.rgsabound[0].cElements = pData ? nLength : 0;
    m_array.rgsabound[0].lLbound = 0;
    ::VariantInit(&m_variant);
    m_variant.vt = VT_ARRAY | VT_UI1;
    m_variant.parray = &m_array;
}
