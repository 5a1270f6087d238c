#include "standins/tarvex/CTarvexScript.h"
#include "framework/CArchiveException.h"
#include <map>
#include <mutex>

namespace
{
struct CScriptEntry
{
    double dResult = 0;
    long nFrom = 1;
    bool bThrow = false;
};

struct CScriptState
{
    std::mutex lock;
    std::map<CString, CScriptEntry> entries;
    std::map<CString, long> calls;
};

CScriptState& State()
{
    static CScriptState state;
    return state;
}

// The entry that applies to this call, counting it; false when the engine answers itself.
bool FindApplying(LPCWSTR pszCall, CScriptEntry& entry)
{
    CScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    const long nCall = ++state.calls[pszCall];
    const auto it = state.entries.find(pszCall);
    if (it == state.entries.end() || nCall < it->second.nFrom) return false;
    entry = it->second;
    return true;
}
} // namespace

void CTarvexScript::Set(LPCWSTR pszCall, double dResult, long nFrom, bool bThrow)
{
    CScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    state.entries[pszCall] = CScriptEntry{dResult, nFrom < 1 ? 1 : nFrom, bThrow};
}

void CTarvexScript::Reset()
{
    CScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    state.entries.clear();
    state.calls.clear();
}

bool CTarvexScript::Decide(LPCWSTR pszCall, bool bOwnResult)
{
    return DecideNumber(pszCall, bOwnResult ? 1.0 : 0.0) != 0.0;
}

double CTarvexScript::DecideNumber(LPCWSTR pszCall, double dOwnResult)
{
    CScriptEntry entry;
    if (!FindApplying(pszCall, entry)) return dOwnResult;
    if (entry.bThrow) AfxThrowArchiveException(CArchiveException::genericException, pszCall);
    return entry.dResult;
}

long CTarvexScript::GetCallCount(LPCWSTR pszCall)
{
    CScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    const auto it = state.calls.find(pszCall);
    return it == state.calls.end() ? 0 : it->second;
}
