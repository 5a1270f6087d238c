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
