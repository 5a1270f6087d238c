#pragma once
#include <ocidl.h>
// How a connection-point container finds its point for one interface among its bases.
template <const IID* piid> class IConnectionPointLocator
{
public:
    virtual IConnectionPoint* LocateConnectionPoint() noexcept = 0; // borrowed

protected:
    ~IConnectionPointLocator() = default;
};
