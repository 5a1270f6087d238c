#pragma once
#include "framework/CArray.h"
#include "framework/CString.h"

// An array of CString; narrow and wide texts are added through CString's conversions.
class CStringArray : public CArray<CString, const CString&>
{
};
