#include "core/NaturalCompare.h"
#include <cwctype>

namespace
{

// A position past the end reads as the zero character, so both walks may run ahead safely.
wchar_t CharAt(LPCWSTR psz, size_t nPos, size_t nLength)
{
    return nPos < nLength ? psz[nPos] : L'\0';
}

bool IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

// Skips blanks and zeros; returns the zeros of this step (a blank starts the count again).
int SkipBlanksAndZeros(LPCWSTR psz, size_t& nPos, size_t nLength)
{
    int nZeros = 0;
    for (wchar_t ch = CharAt(psz, nPos, nLength); ch == L'0' || std::iswspace(ch); ch = CharAt(psz, ++nPos, nLength))
        nZeros = ch == L'0' ? nZeros + 1 : 0;
    return nZeros;
}

// Two digit runs: the shorter one is the smaller number; of equal length, the first differing
// digit decides.
int CompareDigitRuns(LPCWSTR pszA, size_t nA, size_t nLengthA, LPCWSTR pszB, size_t nB, size_t nLengthB)
{
    int nFirstDifference = 0;
    for (;; ++nA, ++nB)
    {
        const wchar_t chA = CharAt(pszA, nA, nLengthA);
        const wchar_t chB = CharAt(pszB, nB, nLengthB);
        const bool bDigitA = IsDigit(chA);
        const bool bDigitB = IsDigit(chB);
        if (!bDigitA && !bDigitB) return nFirstDifference;
        if (!bDigitA) return -1;
        if (!bDigitB) return 1;
        if (nFirstDifference == 0 && chA != chB) nFirstDifference = static_cast<int>(chA) - static_cast<int>(chB);
    }
}

} // namespace

int NaturalCompare(LPCWSTR pszFirst, LPCWSTR pszSecond, BOOL bIgnoreCase)
{
    const LPCWSTR pszA = pszFirst ? pszFirst : L"";
    const LPCWSTR pszB = pszSecond ? pszSecond : L"";
    const size_t nLengthA = wcslen(pszA);
    const size_t nLengthB = wcslen(pszB);
    size_t nA = 0;
    size_t nB = 0;
    for (;;)
    {
        const int nZerosA = SkipBlanksAndZeros(pszA, nA, nLengthA);
        const int nZerosB = SkipBlanksAndZeros(pszB, nB, nLengthB);
        wchar_t chA = CharAt(pszA, nA, nLengthA);
        wchar_t chB = CharAt(pszB, nB, nLengthB);
        if (IsDigit(chA) && IsDigit(chB))
        {
            const int nRuns = CompareDigitRuns(pszA, nA, nLengthA, pszB, nB, nLengthB);
            if (nRuns != 0) return nRuns;
        }
        if (chA == L'\0' && chB == L'\0') return nZerosA - nZerosB;
        if (bIgnoreCase)
        {
            chA = static_cast<wchar_t>(std::towupper(chA));
            chB = static_cast<wchar_t>(std::towupper(chB));
        }
        if (chA != chB) return static_cast<int>(chA) - static_cast<int>(chB);
        ++nA;
        ++nB;
    }
}
