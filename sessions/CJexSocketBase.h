#pragma once
#include "core/CAsyncSocketEx.h"

// The common base of the links to Jex. The handshake decides encryption and compression, so the
// constructor offers neither as a default; the links are owned by the desktop and never delete
// themselves on close.
class CJexSocketBase : public CAsyncSocketEx
{
public:
    CJexSocketBase();
    ~CJexSocketBase() override;

    bool IsGreetingRefused() const { return m_bGreetingRefused; }
    // What the connection dialog shows for a refused greeting; the link itself leaves it empty.
    const CString& GetGreetingRefusalText() const { return m_strGreetingRefusalText; }
    // Winsock error of the last connect attempt: -1 before any, 0 after success.
    int GetConnectError() const { return m_nConnectError; }

protected:
    bool m_bGreetingRefused = false; // the first word of STARTS was not a number
    CString m_strGreetingRefusalText;
    int m_nConnectError = -1;
};
