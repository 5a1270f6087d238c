#pragma once
#include "framework/Platform.h"
#include <vector>

// Objects of a class derived from this live on pages of their own, which are decommitted (not
// released, so no later object can take the address) when deleted: code that touches an object
// after its deletion, or deletes it twice, faults at once instead of corrupting the heap now and
// then. Only one thread may create such objects; any thread may delete them.
class CGuardedPages
{
public:
    static void* operator new(size_t size);
    static void operator delete(void* p, size_t size);
    // Gives the address space back once no thread can use any of the objects.
    static void ReleaseAll();

private:
    static std::vector<void*> s_reserved;
};
