#pragma once
#include "framework/Platform.h"

// Counts how often objects handed to a receiver are deleted, for tests of "the receiver frees it
// exactly once". Linking this class replaces the program's global operator new and delete with
// ones that go straight to the C heap and count the deletes of watched addresses. A watched block
// is never really freed, so no later allocation can take its address and be counted by mistake.
// One thread watches at a time; deletes on any thread are counted.
class CFreeWatch
{
public:
    CFreeWatch() = delete;
    static void Watch(const void* p);     // starts counting the deletes of p at 0
    static int CountFrees(const void* p); // -1 when p is not watched
    static void Forget(const void* p);    // stops watching p; its block stays allocated
};
