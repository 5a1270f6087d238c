#pragma once
#include "framework/CObject.h"
#include "framework/CString.h"

// The client of the local update service, a TCP service on 127.0.0.1 that runs update programs
// with system rights. Blocking: every call runs on the GUI thread and holds it for the connect.
class CContactCenterUpdater : public CObject
{
public:
    static constexpr UINT kServicePort = 1919; // what every user passes

    explicit CContactCenterUpdater(UINT nPort) : m_nPort(nPort) {}
    ~CContactCenterUpdater() override = default;

    // TRUE when a connection to the service can be opened; it is closed again at once and
    // nothing is sent. FALSE with the text to show the agent in strError.
    bool CheckService(CString& strError) const;

private:
    UINT m_nPort;
};
