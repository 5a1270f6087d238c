#pragma once
// Date values and their texts as the date and time tests write them.
#include "core/CStaticTools.h"
#include "framework/COleDateTime.h"
#include <string>

namespace DateTestValues
{
inline COleDateTime Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    COleDateTime dt(y, mo, d, h, mi, s);
    dt.m_dt += ms / 86400000.0;
    return dt;
}

inline COleDateTime WithStatus(COleDateTime::DateTimeStatus status)
{
    COleDateTime dt;
    dt.SetStatus(status);
    return dt;
}

inline std::wstring W(const CString& s)
{
    return s.GetString();
}

inline std::wstring Iso(const COleDateTime& dt)
{
    return CStaticTools::FormatIsoDateTime(dt, true).GetString();
}
} // namespace DateTestValues
