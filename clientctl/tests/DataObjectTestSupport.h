#pragma once
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include <string>
#include <vector>
// What the data-object tests share: the published DISPIDs they call, and a value written as text
// so that a table can say what a member gave.

namespace DispId
{
constexpr DISPID kItem = DISPID_VALUE;
constexpr DISPID kNewEnum = DISPID_NEWENUM;
constexpr DISPID kCount = 1;
constexpr DISPID kAdd = 10;
constexpr DISPID kRemove = 11;
constexpr DISPID kClear = 12;
constexpr DISPID kGetKeys = 13;
constexpr DISPID kGetValues = 14;
constexpr DISPID kContainsKey = 15;
} // namespace DispId

// "I4:7", "BSTR:ab", "BOOL:-1", "DATE:0", "EMPTY"; a collection as "TEXTS:a|b" (its items from 0
// to Count - 1, each written the same way without its type) and a call as "CALL:<CallId>".
std::wstring Render(const VARIANT& value);
// The items of an enumerator, each rendered, read one by one (at most 100).
std::vector<std::wstring> Drain(IEnumVARIANT* pEnum);
// The enumerator a collection's _NewEnum gives; null on failure.
CComPtr<IEnumVARIANT> EnumeratorOf(IDispatch* pCollection);
