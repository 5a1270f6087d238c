#pragma once
#include "framework/CString.h"

// Scripted answers: a test (or a SCRIPT record of a survey) decides what a bool- or number-returning
// member answers from its n-th call on, or that it throws the framework's archive exception. Calls
// are counted per "Class::Member" from the last Reset.
class CTarvexScript
{
public:
    // nFrom: the first call (1-based) the entry applies to.
    static void Set(LPCWSTR pszCall, double dResult, long nFrom = 1, bool bThrow = false);
    static void Reset(); // entries and call counts

    // Counts the call; the scripted answer when an entry applies, else the engine's own.
    static bool Decide(LPCWSTR pszCall, bool bOwnResult);
    static double DecideNumber(LPCWSTR pszCall, double dOwnResult);
    static long GetCallCount(LPCWSTR pszCall);
};
