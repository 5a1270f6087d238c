#pragma once
#include "core/CAsyncSocketEx.h"
#include "LumoVersion.h"
#include <memory>
#include <vector>
// The benchmarks' answering Lumo: accepts every application link into a TLink (a CWordLink with
// Lumo's answers) and greets it as Lumo does. The links live as long as the listener.
template <class TLink> class CAnsweringListener : public CAsyncSocketEx
{
public:
    CAnsweringListener() { m_bDeleteOnClose = false; }
    void OnAccept(int nErrorCode) override
    {
        if (nErrorCode != 0) return;
        auto pLink = std::make_unique<TLink>();
        if (!Accept(*pLink)) return;
        pLink->SendCommand(L"STARTS 0 -1 %s\r", LUMO_VERSION_WTEXT);
        m_links.push_back(std::move(pLink));
    }
    std::vector<std::unique_ptr<TLink>> m_links;
};
