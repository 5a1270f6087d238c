#pragma once

// The root of every class that an object map can store.
class CLFObjectMapClassBase
{
public:
    virtual ~CLFObjectMapClassBase() = default;
};
