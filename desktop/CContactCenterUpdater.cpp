#include "desktop/CContactCenterUpdater.h"
#include "framework/CHandleOwner.h"
#include <winsock2.h>

bool CContactCenterUpdater::CheckService(CString& strError) const
{
    CSocketHandle link(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!link.IsValid())
    {
        strError.Format(L"Invalid socket: error %u.\n", static_cast<unsigned>(WSAGetLastError()));
        return false;
    }
    sockaddr_in service{};
    service.sin_family = AF_INET;
    service.sin_port = htons(static_cast<u_short>(m_nPort));
    service.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int nResult = ::connect(link, reinterpret_cast<const sockaddr*>(&service), sizeof service);
    if (nResult != 0)
    {
        // The text carries connect()'s result, as the update request's own failure text does.
        strError.Format(L"Could not connect to Contact Center Update Service: connect() error %d.\nUpdates will not "
                        L"work!.",
                        nResult);
        return false;
    }
    return true;
}
