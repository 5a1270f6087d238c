#pragma once
#include "framework/CHandleOwner.h"
#include <lm.h>
#include <ntsecapi.h>
// What the local security authority and the network management functions hand out: a policy
// handle, and memory each frees its own way.
struct CLsaPolicyTraits // from LsaOpenPolicy
{
    using HandleType = LSA_HANDLE;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::LsaClose(h); }
};
using CLsaPolicy = CHandleOwner<CLsaPolicyTraits>;

template <class T> struct CLsaMemoryTraits // from LsaQueryInformationPolicy and its kin
{
    using HandleType = T*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::LsaFreeMemory(h); }
};
template <class T> using CLsaMemory = CHandleOwner<CLsaMemoryTraits<T>>;

template <class T> struct CNetApiMemoryTraits // from NetWkstaGetInfo and its kin, linked directly
{
    using HandleType = T*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::NetApiBufferFree(h); }
};
template <class T> using CNetApiMemory = CHandleOwner<CNetApiMemoryTraits<T>>;
