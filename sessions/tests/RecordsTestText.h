#pragma once
#include "framework/CString.h"
#include <string>

// CString as something gtest prints.
inline std::wstring W(const CString& str)
{
    return str.GetString();
}
