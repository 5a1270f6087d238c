#include "framework/testing/CFreeWatch.h"
#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
// A few slots, searched linearly: the allocator must not allocate to look one up.
constexpr int kSlots = 32;
std::atomic<const void*> g_watched[kSlots];
std::atomic<int> g_frees[kSlots];

int FindSlot(const void* p)
{
    for (int i = 0; i < kSlots; ++i)
        if (g_watched[i].load() == p) return i;
    return -1;
}

void CountedFree(void* p) noexcept
{
    if (!p) return;
    if (const int i = FindSlot(p); i >= 0)
    {
        ++g_frees[i];
        return; // kept, so that the address cannot come back while it is watched
    }
    std::free(p);
}
} // namespace

void CFreeWatch::Watch(const void* p)
{
    for (int i = 0; i < kSlots; ++i)
    {
        const void* pFree = nullptr;
        if (g_watched[i].compare_exchange_strong(pFree, p))
        {
            g_frees[i] = 0;
            return;
        }
    }
    std::abort(); // more watches than slots: a test's own mistake
}

int CFreeWatch::CountFrees(const void* p)
{
    const int i = FindSlot(p);
    return i < 0 ? -1 : g_frees[i].load();
}

void CFreeWatch::Forget(const void* p)
{
    if (const int i = FindSlot(p); i >= 0) g_watched[i] = nullptr;
}

void* operator new(size_t size)
{
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* operator new[](size_t size)
{
    return ::operator new(size);
}

void operator delete(void* p) noexcept
{
    CountedFree(p);
}

void operator delete[](void* p) noexcept
{
    CountedFree(p);
}

void operator delete(void* p, size_t) noexcept
{
    CountedFree(p);
}

void operator delete[](void* p, size_t) noexcept
{
    CountedFree(p);
}
