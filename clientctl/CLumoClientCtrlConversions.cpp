// The control's conversions of a client's maps and string collections into request data.
#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoClientMap.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CHandleOwner.h"
#include "framework/CMemFile.h"
#include <memory>

namespace
{
const wchar_t kNotAString[] =
    L" CLumoClientCtrl::ParseLumoClientStringCollectionToCStringArray => Not a string in the collection";
const wchar_t kNoTextForm[] = L"CLumoClientCtrl::ParseLumoClientMapToPropertyList => The value of %s is not a text!";
const wchar_t kNotByteArray[] = L"CLumoClientCtrl::ParseAttachmentsMap => Attachement is not an byte array!";
const wchar_t kNoSize[] = L"CLumoClientCtrl::ParseAttachmentsMap => Could not get size of pInterviewData array!";
const wchar_t kNoAccess[] = L"CLumoClientCtrl::ParseAttachmentsMap => Could not access pInterviewData array!";
constexpr UINT kMemFileGrowth = 1024;
} // namespace

BOOL CLumoClientCtrl::ParseLumoClientStringCollectionToCStringArray(ILumoClientStringCollection* pCollection,
                                                                    CStringArray& arr)
{
    LONG nCount = 0;
    if (!pCollection || FAILED(pCollection->get_Count(&nCount))) return FALSE;
    for (LONG i = 0; i < nCount; ++i)
    {
        CComVariant item;
        if (SUCCEEDED(pCollection->get_Item(CComVariant(i), &item)) && item.vt == VT_BSTR)
            arr.Add(CString(item.bstrVal, static_cast<int>(::SysStringLen(item.bstrVal))));
        else
            LogError(kNotAString);
    }
    return TRUE;
}

BOOL CLumoClientCtrl::ParseLumoClientStringCollectionToLongList(ILumoClientStringCollection* pCollection,
                                                                CList<long, long>& list)
{
    CStringArray arrTexts;
    if (!ParseLumoClientStringCollectionToCStringArray(pCollection, arrTexts)) return FALSE;
    for (INT_PTR i = 0; i < arrTexts.GetSize(); ++i)
        list.AddTail(CStaticTools::ToLong(arrTexts[i].GetString()));
    return TRUE;
}

// Values that are no text are written as the map's GetValues shows them; one without a text form
// (an object, an array, nothing) would become an empty value that nobody asked for: it is skipped.
BOOL CLumoClientCtrl::ParseLumoClientMapToPropertyList(ILumoClientMap* pMap, CPropertyList& list)
{
    CComPtr<ILumoClientStringCollection> keys;
    if (!pMap || FAILED(pMap->GetKeys(&keys)) || !keys) return FALSE;
    CStringArray arrKeys;
    ParseLumoClientStringCollectionToCStringArray(keys, arrKeys);
    keys.Release();
    for (INT_PTR i = 0; i < arrKeys.GetSize(); ++i)
    {
        const CString& strKey = arrKeys[i];
        CComVariant value;
        if (FAILED(pMap->get_Item(CComVariant(strKey.GetString()), &value))) continue;
        CString strValue;
        if (!CLumoClientMap::ValueText(value, strValue))
        {
            CString strText;
            strText.Format(kNoTextForm, strKey.GetString());
            LogError(strText);
            continue;
        }
        list.SetProperty(strKey.GetString(), strValue);
    }
    return TRUE;
}

// The bytes of an array are its element count, whatever its lower bound: counting up to its upper
// bound from the start would read past an array that begins at 1.
BOOL CLumoClientCtrl::ParseAttachmentsMap(ILumoClientMap* pMap, CMessage& message)
{
    CComPtr<ILumoClientStringCollection> keys;
    if (!pMap || FAILED(pMap->GetKeys(&keys)) || !keys) return FALSE;
    CStringArray arrKeys;
    ParseLumoClientStringCollectionToCStringArray(keys, arrKeys);
    keys.Release();
    for (INT_PTR i = 0; i < arrKeys.GetSize(); ++i)
    {
        CComVariant value;
        if (FAILED(pMap->get_Item(CComVariant(arrKeys[i].GetString()), &value))) continue;
        SAFEARRAY* pArray = value.vt == (VT_ARRAY | VT_UI1) ? value.parray : nullptr;
        if (!pArray || ::SafeArrayGetDim(pArray) != 1)
        {
            LogError(kNotByteArray);
            continue;
        }
        LONG nLower = 0, nUpper = 0;
        if (FAILED(::SafeArrayGetLBound(pArray, 1, &nLower)) || FAILED(::SafeArrayGetUBound(pArray, 1, &nUpper)) ||
            static_cast<LONGLONG>(nUpper) - nLower + 1 < 0)
        {
            LogError(kNoSize);
            continue;
        }
        const UINT nCount = static_cast<UINT>(static_cast<LONGLONG>(nUpper) - nLower + 1);
        void* pData = nullptr;
        if (FAILED(::SafeArrayAccessData(pArray, &pData)))
        {
            LogError(kNoAccess);
            continue;
        }
        auto pFile = std::make_unique<CMemFile>(kMemFileGrowth);
        {
            const CSafeArrayAccess access(pArray);
            if (nCount > 0) pFile->Write(pData, nCount);
        }
        auto pAttachment = std::make_unique<CMessage::CMessageAttachment>();
        pAttachment->m_strName = arrKeys[i];
        pAttachment->m_nSize = static_cast<long>(nCount);
        pAttachment->m_pFile = pFile.release();
        message.AddAttachment(pAttachment.release());
    }
    return TRUE;
}
