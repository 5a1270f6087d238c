#include "sessions/COutboundGroup.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CStringArray.h"
#include <memory>

COutboundGroup::COutboundGroup() = default;

COutboundGroup::COutboundGroup(const COutboundGroup& other) = default;

COutboundGroup& COutboundGroup::operator=(const COutboundGroup& other) = default;

COutboundGroup::~COutboundGroup() = default;

void COutboundGroup::ParseOutboundGroupList(CObArray& arr, LPCWSTR pszText)
{
    DeleteObArray(arr);
    const CPropertyList list(pszText);
    CStringArray names;
    CStringArray values;
    list.GetNamesAndValues(names, values);
    for (INT_PTR i = 0; i < names.GetSize(); ++i)
    {
        auto pGroup = std::make_unique<COutboundGroup>();
        pGroup->m_nId = CStaticTools::ToLong(names[i].GetString());
        pGroup->m_strName = values[i];
        arr.Add(pGroup.get());
        pGroup.release(); // the array holds it now
    }
}
