#pragma once
#include "framework/Platform.h"
#include <cstddef>
// The body of an enumerator's Next: copies up to celt elements from position pos on (element i
// is at(i)) into rgelt with Copy. S_FALSE when fewer than celt were left. On a failed copy none
// stays copied and the position is where it was.
template <class T, class Copy, class At>
HRESULT ComEnumNext(ULONG celt, T* rgelt, ULONG* pceltFetched, size_t size, size_t& pos, At at) noexcept
{
    if (pceltFetched) *pceltFetched = 0;
    if (!rgelt || (celt > 1 && !pceltFetched)) return E_POINTER;
    ULONG fetched = 0;
    for (; fetched < celt && pos < size; ++fetched, ++pos)
    {
        const HRESULT hr = Copy::copy(&rgelt[fetched], at(pos));
        if (FAILED(hr))
        {
            pos -= fetched;
            while (fetched > 0)
                Copy::destroy(&rgelt[--fetched]);
            return hr;
        }
    }
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
}
