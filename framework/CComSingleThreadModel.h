#pragma once
#include "framework/Platform.h"
// The threading model of apartment objects: used only on their apartment's thread, so the
// reference count needs no interlocked operation.
class CComSingleThreadModel
{
public:
    static ULONG Increment(LONG* p) noexcept { return static_cast<ULONG>(++*p); }
    static ULONG Decrement(LONG* p) noexcept { return static_cast<ULONG>(--*p); }
};
