#pragma once
#include "framework/CString.h"
#include <vector>

// What a routing changed, for the web pages: the hooks report their actions into it.
class CMasqueAjaxImpact
{
public:
    void AddSendEmail(int nPosition) { Add(L"email", nPosition); }
    void AddStartRecording(int nPosition) { Add(L"record", nPosition); }
    void AddStopRecording(int nPosition) { Add(L"stoprecord", nPosition); }
    void AddStartPredictive(int nPosition) { Add(L"predictive", nPosition); }
    // Drops repeats of the same action at the same position, keeping the first.
    void RemoveSuperfluousCalls();
    const std::vector<CString>& GetCalls() const { return m_calls; } // "email@3", in order

private:
    void Add(LPCWSTR pszAction, int nPosition);
    std::vector<CString> m_calls;
};
