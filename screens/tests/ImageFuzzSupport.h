#pragma once
// Damaged copies of fixture files from a fixed seed, shared by the fuzz tests of the image readers.
#include "screens/tests/ImageTestSupport.h"
#include <cstdint>
#include <functional>
#include <vector>

namespace ImageTest
{
class CRandom // a fixed sequence on every run and machine
{
public:
    explicit CRandom(uint32_t nSeed) : m_n(nSeed) {}
    uint32_t Next()
    {
        m_n = m_n * 1664525u + 1013904223u;
        return m_n >> 8;
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }

private:
    uint32_t m_n;
};

// One damaged copy: flipped bytes, a header field set to an extreme, or a cut.
inline Bytes Damage(const Bytes& seed, CRandom& random)
{
    Bytes bytes = seed;
    if (bytes.empty()) return bytes;
    static const uint32_t kExtremes[] = {0, 1, 2, 12, 40, 124, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 0x10000};
    const uint32_t nKind = random.Below(4);
    if (nKind == 0 || nKind == 3)
        for (uint32_t i = 1 + random.Below(6); i > 0; --i)
            bytes[random.Below(static_cast<uint32_t>(std::min<size_t>(bytes.size(), 80)))] ^=
                static_cast<BYTE>(1 + random.Below(255));
    if (nKind == 1 && bytes.size() >= 4)
    {
        const uint32_t at = random.Below(static_cast<uint32_t>(std::min<size_t>(bytes.size(), 80) - 3));
        const uint32_t v = kExtremes[random.Below(sizeof(kExtremes) / sizeof(kExtremes[0]))];
        memcpy(&bytes[at], &v, random.Below(2) ? 4 : 2);
    }
    if (nKind >= 2) bytes.resize(random.Below(static_cast<uint32_t>(bytes.size())));
    return bytes;
}

inline std::vector<Bytes> Seeds(std::initializer_list<const wchar_t*> names)
{
    std::vector<Bytes> seeds;
    for (const wchar_t* name : names)
        seeds.push_back(ReadMade(name));
    return seeds;
}

// Runs `read` on damaged copies of the seeds. Each must come back, and soon: a damaged size must
// not make a reader loop or walk a huge picture. Ten seconds leaves room for a loaded machine;
// a sound round takes milliseconds.
inline void Fuzz(const std::vector<Bytes>& seeds, int nRounds, uint32_t nSeed,
                 const std::function<void(const Bytes&)>& read)
{
    CRandom random(nSeed);
    for (int i = 0; i < nRounds; ++i)
    {
        const Bytes input = Damage(seeds[random.Below(static_cast<uint32_t>(seeds.size()))], random);
        const ULONGLONG nStart = GetTickCount64();
        read(input);
        ASSERT_LT(GetTickCount64() - nStart, 10000u) << "round " << i << " took over ten seconds";
    }
}

} // namespace ImageTest
