#pragma once
#include "clientctl/CLumoClientCtrl.h"
#include "framework/CString.h"
// What the request helpers behind the control share: the client's texts taken whole, its booleans,
// and the frame every member runs in.

// A client's text whole, NULs included; a null BSTR is the empty text.
inline CString TextOf(BSTR bstr)
{
    return bstr ? CString(bstr, static_cast<int>(::SysStringLen(bstr))) : CString();
}

inline VARIANT_BOOL ToVariantBool(BOOL b)
{
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

// Every member holds the control while it runs: a sink of the refusal text, or a message pumped
// while a member waits, may release it. Used inside a helper that reaches the control as m_ctrl;
// nothing crosses the COM boundary.
#define LUMO_MEMBER_BEGIN                                                                                              \
    try                                                                                                                \
    {                                                                                                                  \
        CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
#define LUMO_MEMBER_END                                                                                                \
    }                                                                                                                  \
    catch (...)                                                                                                        \
    {                                                                                                                  \
        return E_UNEXPECTED;                                                                                           \
    }
