#include "clientctl/CLumoClientArguments.h"
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

// Adds key and value; a key the map already holds keeps its first value.
void AddToMap(ILumoClientMap* pMap, const CComVariant& key, const CComVariant& value)
{
    if (pMap) pMap->Add(key, value);
}

bool IsNumber(const CString& strText)
{
    CString strTrimmed(strText);
    strTrimmed.Trim(L" \t");
    if (strTrimmed.IsEmpty()) return false;
    int i = (strTrimmed[0] == L'-' || strTrimmed[0] == L'+') ? 1 : 0;
    if (i == strTrimmed.GetLength()) return false;
    for (; i < strTrimmed.GetLength(); ++i)
        if (strTrimmed[i] < L'0' || strTrimmed[i] > L'9') return false;
    return true;
}
} // namespace

BOOL CLumoClientArguments::ParseLumoClientStringCollectionToCStringArray(ILumoClientStringCollection* pCollection,
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

BOOL CLumoClientArguments::ParseLumoClientStringCollectionToLongList(ILumoClientStringCollection* pCollection,
                                                                     CList<long, long>& list)
{
    CStringArray arrTexts;
    if (!ParseLumoClientStringCollectionToCStringArray(pCollection, arrTexts)) return FALSE;
    for (INT_PTR i = 0; i < arrTexts.GetSize(); ++i)
        list.AddTail(CStaticTools::ToLong(arrTexts[i].GetString()));
    return TRUE;
}

BOOL CLumoClientArguments::ReadMapKeys(ILumoClientMap* pMap, CStringArray& arrKeys)
{
    CComPtr<ILumoClientStringCollection> keys;
    if (!pMap || FAILED(pMap->GetKeys(&keys)) || !keys) return FALSE;
    ParseLumoClientStringCollectionToCStringArray(keys, arrKeys);
    return TRUE;
}

// Values that are no text are written as the map's GetValues shows them; one without a text form
// (an object, an array, nothing) would become an empty value that nobody asked for: it is skipped.
BOOL CLumoClientArguments::ParseLumoClientMapToPropertyList(ILumoClientMap* pMap, CPropertyList& list)
{
    CStringArray arrKeys;
    if (!ReadMapKeys(pMap, arrKeys)) return FALSE;
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
BOOL CLumoClientArguments::ParseAttachmentsMap(ILumoClientMap* pMap, CMessage& message)
{
    CStringArray arrKeys;
    if (!ReadMapKeys(pMap, arrKeys)) return FALSE;
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

// ---------------------------------------------------------------------------------------------
// Conversions from property lists

long CLumoClientArguments::ParsePropertyListToLumoClientMap(const CPropertyList& list, ILumoClientMap* pMap)
{
    CStringArray arrNames, arrValues;
    list.GetNamesAndValues(arrNames, arrValues);
    for (INT_PTR i = 0; i < arrNames.GetSize() && i < arrValues.GetSize(); ++i)
        AddToMap(pMap, CComVariant(arrNames[i].GetString()), CComVariant(arrValues[i].GetString()));
    return static_cast<long>(arrNames.GetSize());
}

long CLumoClientArguments::ParsePropertyListToIdMap(const CPropertyList& list, ILumoClientMap* pMap)
{
    CStringArray arrNames, arrValues;
    list.GetNamesAndValues(arrNames, arrValues);
    for (INT_PTR i = 0; i < arrNames.GetSize() && i < arrValues.GetSize(); ++i)
        AddToMap(pMap, CComVariant(CStaticTools::ToLong(arrNames[i].GetString())),
                 CComVariant(arrValues[i].GetString()));
    return static_cast<long>(arrNames.GetSize());
}

long CLumoClientArguments::ParseAgentList(const CPropertyList& list, ILumoClientMap* pFirstNames,
                                          ILumoClientMap* pLastNames, ILumoClientMap* pUserNames)
{
    return ParseNumberedList(list, {{L"FN%d", pFirstNames}, {L"LN%d", pLastNames}, {L"UN%d", pUserNames}});
}

long CLumoClientArguments::ParseLocationList(const CPropertyList& list, ILumoClientMap* pNames,
                                             ILumoClientMap* pComputerNames)
{
    return ParseNumberedList(list, {{L"NM%d", pNames}, {L"CNM%d", pComputerNames}});
}

// Entries "ID<n>" with their names under the given patterns, n from 0 to Count - 1. An entry without
// a numeric id is skipped: it must not take another entry's id.
long CLumoClientArguments::ParseNumberedList(const CPropertyList& list,
                                             std::initializer_list<std::pair<LPCWSTR, ILumoClientMap*>> maps)
{
    const short nCount = list.GetPropertyShort(L"Count", 0);
    for (int n = 0; n < nCount; ++n)
    {
        CString strName, strId;
        strName.Format(L"ID%d", n);
        if (!list.GetProperty(strName.GetString(), strId) || !IsNumber(strId)) continue;
        const CComVariant id(CStaticTools::ToLong(strId.GetString()));
        for (const auto& [pszPattern, pMap] : maps)
        {
            strName.Format(pszPattern, n);
            AddToMap(pMap, id, CComVariant(list.GetPropertyString(strName.GetString(), L"").GetString()));
        }
    }
    return nCount;
}
