#pragma once
#include "framework/CComVariant.h"
#include <vector>
// Calls a member of an IDispatch by DISPID the way a script engine does: the arguments are
// given first to last (sent last-first); a property put sends its value as the named argument
// DISPID_PROPERTYPUT. pResult may be null. puArgErr receives the index of a rejected argument.
HRESULT InvokeByDispId(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                       VARIANT* pResult = nullptr, UINT* puArgErr = nullptr);
// The DISPID of a member name; DISPID_UNKNOWN when GetIDsOfNames fails (its HRESULT in *pHr).
DISPID DispIdOfName(IDispatch* pDispatch, const wchar_t* name, HRESULT* pHr = nullptr);
// As InvokeByDispId, but a member's own failure, which IDispatch reports as DISP_E_EXCEPTION, comes
// back as the member's HRESULT (the exception's scode).
HRESULT InvokeMember(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                     VARIANT* pResult = nullptr);
// Calls the same member through the vtable of the dual interface behind pDispatch, found by DISPID
// in its type information, so that the member's own HRESULT comes back (IDispatch turns every success,
// S_FALSE too, into S_OK). Arguments are coerced to the parameter types; a pointer parameter takes a
// VT_BYREF argument as it is, a VARIANT* one any VARIANT by its address (a
// VT_BYREF|VT_VARIANT one as it is); omitted optional ones get
// their default; the [retval] lands in pResult, holding 0x5A5A5A5A (or its low 16 bits) when the member
// did not write a number or flag, null when it did not write a pointer. E_INVALIDARG when no such
// member is found.
HRESULT InvokeThroughVtable(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                            VARIANT* pResult = nullptr);
