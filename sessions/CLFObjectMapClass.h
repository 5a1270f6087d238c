#pragma once
#include "sessions/CLFObjectLoop.h"
#include "sessions/CLFObjectMapClassBase.h"

// Makes T storable in a CLFObjectMap<T> and gives it T::Loop, a walk over a map of T.
template <class T> class CLFObjectMapClass : public CLFObjectMapClassBase
{
public:
    class Loop : public CLFObjectLoop<T>
    {
    public:
        using CLFObjectLoop<T>::CLFObjectLoop;
    };

    ~CLFObjectMapClass() override = default;
};
