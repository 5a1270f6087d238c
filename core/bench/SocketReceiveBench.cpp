// Lines parsed and dispatched per second by the receive path, against a plain scan for line ends over the
// same bytes in the same run (the machines are shared; only the ratio means something).
#include "core/CAsyncSocketEx.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{

constexpr int kLines = 100000;

class CBenchSocket : public CAsyncSocketEx
{
public:
    CBenchSocket()
    {
        m_bDeleteOnClose = false;
        InitCommandMap();
    }
    void Run(const std::string& stream)
    {
        m_pStream = &stream;
        m_nDelivered = 0;
        while (m_nDelivered < stream.size())
            OnReceive(0);
    }
    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
            for (const wchar_t* pszWord : {L"HEARTB", L"AGSTAT", L"CALINF", L"UPDASE"})
                map.Add(pszWord, new CSocketCommand(SocketHandler(&CBenchSocket::OnLine), CSocketCommand::modeFields,
                                                    false, CSocketCommand::checkAtLeast, 0, 2, -1));
        });
    }
    long m_nDispatched = 0;
    size_t m_nFieldChars = 0;

protected:
    int ReadFromNetwork(void* pTarget, int nCount, int) override
    {
        const size_t nTaken = std::min(static_cast<size_t>(nCount), m_pStream->size() - m_nDelivered);
        std::memcpy(pTarget, m_pStream->data() + m_nDelivered, nTaken);
        m_nDelivered += nTaken;
        return static_cast<int>(nTaken);
    }
    void OnLine(CStringArray& arrFields)
    {
        ++m_nDispatched;
        m_nFieldChars += static_cast<size_t>(arrFields[1].GetLength());
    }

private:
    const std::string* m_pStream = nullptr;
    size_t m_nDelivered = 0;
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};

CSocketCommandMap CBenchSocket::s_map;
CCriticalSection CBenchSocket::s_cs;

// The reference: find every UTF-16LE line end with memchr, as the cheapest possible reader would.
long ScanLines(const std::string& stream)
{
    long nLines = 0;
    const char* p = stream.data();
    const char* pEnd = p + stream.size();
    while (p < pEnd)
    {
        const char* pFound = static_cast<const char*>(std::memchr(p, 0x0D, static_cast<size_t>(pEnd - p)));
        if (!pFound) break;
        if ((pFound - stream.data()) % 2 == 0 && pFound + 1 < pEnd && pFound[1] == 0)
        {
            ++nLines;
            p = pFound + 2;
        }
        else
            p = pFound + 1;
    }
    return nLines;
}

template <class F> double Seconds(F fn)
{
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    const wchar_t* const words[] = {L"HEARTB", L"AGSTAT", L"CALINF", L"UPDASE"};
    std::wstring text;
    for (int i = 0; i < kLines; ++i)
        text += std::wstring(words[i % 4]) + L" " + std::to_wstring(i) + L" state\x0Cnumber " + std::to_wstring(i % 7) +
                L"\r";
    const std::string stream(reinterpret_cast<const char*>(text.data()), text.size() * 2);

    long nScanned = 0;
    double scan = 1e9;
    double framework = 1e9;
    long nDispatched = 0;
    // Best of fifteen, for both: a round of the scan takes about a millisecond, and one preemption on a
    // shared machine would decide a shorter series.
    for (int round = 0; round < 15; ++round)
    {
        scan = std::min(scan, Seconds([&] { nScanned = ScanLines(stream); }));
        CBenchSocket link;
        framework = std::min(framework, Seconds([&] { link.Run(stream); }));
        nDispatched = link.m_nDispatched;
    }
    if (nScanned != kLines || nDispatched != kLines)
    {
        std::printf("bench: expected %d lines, scanned %ld, dispatched %ld\n", kLines, nScanned, nDispatched);
        return 1;
    }
    std::printf("receive path: %d lines, %zu bytes in one stream\n", kLines, stream.size());
    std::printf("  memchr scan      %10.0f lines/s\n", kLines / scan);
    std::printf("  parse+dispatch   %10.0f lines/s\n", kLines / framework);
    std::printf("  ratio            %10.1fx the scan's time (aim: within 10x)\n", framework / scan);
    return 0;
}
