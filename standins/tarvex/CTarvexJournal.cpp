#include "standins/tarvex/CTarvexJournal.h"
#include "framework/CHandleOwner.h"
#include "framework/CStringConversion.h"
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace
{
CString FormatCounts(const std::map<CString, long>& live)
{
    CString strLine = L"counts";
    for (const auto& [name, count] : live)
        if (count != 0) strLine.AppendFormat(L" %s=%ld", name.GetString(), count);
    return strLine;
}

// One per process, made on first use and ended at exit with the counts as its last line.
class CJournalState
{
public:
    CJournalState()
    {
        const wchar_t* pszPath = _wgetenv(L"TVX_JOURNAL");
        if (pszPath && *pszPath) m_file.Attach(_wfopen(pszPath, L"ab"));
    }
    ~CJournalState()
    {
        WriteToFile(FormatCounts(m_live)); // not through State(): this object is being destroyed
    }
    CJournalState(const CJournalState&) = delete;
    CJournalState& operator=(const CJournalState&) = delete;

    void WriteToFile(const CString& strLine)
    {
        if (!m_file.IsValid()) return;
        const std::string utf8 = NarrowText(strLine.GetString(), strLine.GetLength(), CP_UTF8) + "\n";
        fwrite(utf8.data(), 1, utf8.size(), m_file);
        fflush(m_file);
    }

    std::mutex m_lock; // screens and lists may be made on worker threads of the callers
    std::vector<CString> m_lines;
    std::map<CString, long> m_live;

private:
    CStdioFileHandle m_file;
};

CJournalState& State()
{
    static CJournalState state;
    return state;
}
} // namespace

void CTarvexJournal::Append(LPCWSTR pszClass, LPCWSTR pszMember, const CString& strArguments, const CString& strResult)
{
    CString strLine;
    strLine.Format(L"%s %s(%s) -> %s", pszClass, pszMember, strArguments.GetString(), strResult.GetString());
    CJournalState& state = State();
    std::lock_guard<std::mutex> lock(state.m_lock);
    state.m_lines.push_back(strLine);
    state.WriteToFile(strLine);
}

std::vector<CString> CTarvexJournal::GetLines()
{
    CJournalState& state = State();
    std::lock_guard<std::mutex> lock(state.m_lock);
    return state.m_lines;
}

void CTarvexJournal::Clear()
{
    CJournalState& state = State();
    std::lock_guard<std::mutex> lock(state.m_lock);
    state.m_lines.clear();
}

void CTarvexJournal::CountCreated(LPCWSTR pszClass)
{
    CJournalState& state = State();
    std::lock_guard<std::mutex> lock(state.m_lock);
    ++state.m_live[pszClass];
}

void CTarvexJournal::CountDeleted(LPCWSTR pszClass)
{
    CJournalState& state = State();
    std::lock_guard<std::mutex> lock(state.m_lock);
    --state.m_live[pszClass];
}

long CTarvexJournal::GetLiveCount(LPCWSTR pszClass)
{
    CJournalState& state = State();
    std::lock_guard<std::mutex> lock(state.m_lock);
    const auto it = state.m_live.find(pszClass);
    return it == state.m_live.end() ? 0 : it->second;
}

std::map<CString, long> CTarvexJournal::GetLiveCounts()
{
    CJournalState& state = State();
    std::lock_guard<std::mutex> lock(state.m_lock);
    std::map<CString, long> counts;
    for (const auto& [name, count] : state.m_live)
        if (count != 0) counts[name] = count;
    return counts;
}

CString CTarvexJournal::FormatLiveCounts()
{
    return FormatCounts(GetLiveCounts());
}

CString CTarvexJournal::FromLong(long n)
{
    CString str;
    str.Format(L"%ld", n);
    return str;
}

CString CTarvexJournal::FromNumbers(std::initializer_list<long> values)
{
    CString str;
    for (long n : values)
        str.AppendFormat(str.IsEmpty() ? L"%ld" : L", %ld", n);
    return str;
}
