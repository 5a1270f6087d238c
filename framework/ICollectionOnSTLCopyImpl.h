#pragma once
#include "framework/CComEnum.h"
#include "framework/ICollectionOnSTLImpl.h"
#include <vector>
namespace VCUE
{
// A collection whose enumerator works on a copy of the container taken when _NewEnum is
// called: later changes to the collection do not reach an enumerator already handed out.
// EnumType names the enumerator interface and its IID as in ICollectionOnSTLImpl.
template <class T, class CollType, class ItemType, class CopyItem, class EnumType>
class ICollectionOnSTLCopyImpl : public ICollectionOnSTLImpl<T, CollType, ItemType, CopyItem, EnumType>
{
public:
    STDMETHOD(get__NewEnum)(IUnknown** ppUnk) override
    {
        if (!ppUnk) return E_POINTER;
        *ppUnk = nullptr;
        std::vector<ItemType> items;
        HRESULT hr = S_OK;
        try
        {
            items.reserve(this->m_coll.size());
            for (const auto& element : this->m_coll)
            {
                ItemType item;
                hr = CopyItem::copy(&item, &element);
                if (FAILED(hr)) break;
                items.push_back(item);
            }
        }
        catch (...)
        {
            hr = E_OUTOFMEMORY;
        }
        typename EnumType::EnumInterface* pEnum = nullptr;
        if (SUCCEEDED(hr))
            hr = CComEnum<typename EnumType::EnumInterface, EnumType::kpiid, ItemType>::Create(
                items.data(), items.data() + items.size(), &pEnum);
        for (ItemType& item : items)
            CComCopy<ItemType>::destroy(&item);
        if (SUCCEEDED(hr)) *ppUnk = pEnum;
        return hr;
    }
};
} // namespace VCUE
