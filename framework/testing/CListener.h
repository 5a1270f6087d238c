#pragma once
#include "framework/CAsyncSocket.h"
// A listening socket for tests and benchmarks that accepts one connection into the socket object
// it is given (m_pInto); m_bAccepted tells when that happened.
class CListener : public CAsyncSocket
{
public:
    CAsyncSocket* m_pInto = nullptr;
    bool m_bAccepted = false;
    void OnAccept(int nErrorCode) override;
};
