#include "sessions/CLocation.h"
#include "core/CPropertyList.h"
#include <algorithm>
#include <memory>

CLocation::CLocation() = default;

CLocation::CLocation(const CLocation& other) = default;

CLocation& CLocation::operator=(const CLocation& other) = default;

CLocation::~CLocation() = default;

void CLocation::ParseLocationList(CObArray& arr, LPCWSTR pszText)
{
    const CPropertyList list(pszText);
    // Missing entries give empty locations, as Jex's own readers do, but a list cannot announce
    // more locations than it holds entries besides its count: a hostile Count would otherwise
    // loop and allocate without bound.
    const long nHeld = list.GetCount() - (list.HasProperty(L"Count") ? 1 : 0);
    const long nCount = std::min(list.GetPropertyLong(L"Count", 0L), nHeld);
    for (long n = 0; n < nCount; ++n)
    {
        auto pLocation = std::make_unique<CLocation>();
        pLocation->m_nId = GetNumberedLong(list, L"ID%ld", n);
        pLocation->m_strName = GetNumberedString(list, L"NM%ld", n);
        pLocation->m_strComputerName = GetNumberedString(list, L"CNM%ld", n);
        arr.Add(pLocation.get());
        pLocation.release(); // the array holds it now
    }
}
