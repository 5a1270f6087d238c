#pragma once
#include "core/CAsyncSocketEx.h"
// A core link with command words of its own, for the benchmarks' answering Lumo and core clients:
// TLink::AddWords(map) adds them to the class's map once, after the core's own words.
template <class TLink> class CWordLink : public CAsyncSocketEx
{
public:
    CWordLink()
    {
        m_bDeleteOnClose = false;
        InitCommandMap();
    }
    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap,
                                              [](CSocketCommandMap& map) { TLink::AddWords(map); });
    }

private:
    static inline CSocketCommandMap s_map;
    static inline CCriticalSection s_cs;
};
