#include "framework/testing/CGuardedPages.h"
#include <new>

std::vector<void*> CGuardedPages::s_reserved;

void* CGuardedPages::operator new(size_t size)
{
    void* p = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
    s_reserved.push_back(p); // only the creating thread allocates
    return p;
}

void CGuardedPages::operator delete(void* p, size_t size)
{
    ::VirtualFree(p, size, MEM_DECOMMIT);
}

void CGuardedPages::ReleaseAll()
{
    for (void* p : s_reserved)
        ::VirtualFree(p, 0, MEM_RELEASE);
    s_reserved.clear();
}
