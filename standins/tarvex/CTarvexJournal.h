#pragma once
#include "framework/CString.h"
#include <initializer_list>
#include <map>
#include <vector>

// What the engine did, for the tests of its callers: every operation appends one line
// "class member(arguments) -> result". Lines stay in memory; with TVX_JOURNAL set they also go to that
// file, flushed per line, so that a program that dies still leaves them. The journal also counts the
// live objects that the engine hands out and the caller must free (masks, screens, filled arrays,
// error objects); a program's journal file ends with those counts.
class CTarvexJournal
{
public:
    static void Append(LPCWSTR pszClass, LPCWSTR pszMember, const CString& strArguments, const CString& strResult);
    static std::vector<CString> GetLines();
    static void Clear(); // the lines only: counts follow the objects, not the test

    static void CountCreated(LPCWSTR pszClass);
    static void CountDeleted(LPCWSTR pszClass);
    static long GetLiveCount(LPCWSTR pszClass);
    static std::map<CString, long> GetLiveCounts(); // classes with a count other than 0
    static CString FormatLiveCounts();              // "counts CEcran=0 CMasqueSaisie=1 ..."

    // Result texts of the journal lines.
    static CString FromBool(bool b) { return b ? CString(L"true") : CString(L"false"); }
    static CString FromLong(long n);
    // Argument texts: the numbers joined by ", ".
    static CString FromNumbers(std::initializer_list<long> values);
};
