#include "clientctl/CSyncSocketCommand.h"
#include <algorithm>
#include <cstdarg>

CSyncSocketCommand::CSyncSocketCommand(SYNC_COMMAND_HANDLER handler, int nType, bool bNeedsSession, int nCountRule, ...)
    : m_nType(nType), m_bNeedsSession(bNeedsSession), m_nCountRule(nCountRule), m_pfnHandler(handler)
{
    va_list args;
    va_start(args, nCountRule);
    for (int nCount = va_arg(args, int); nCount >= 0; nCount = va_arg(args, int))
        m_arrCounts.push_back(nCount);
    va_end(args);
}

bool CSyncSocketCommand::AcceptsFieldCount(int nFields) const
{
    if (m_nCountRule == ruleAtLeast) return m_arrCounts.empty() || nFields >= m_arrCounts.front();
    if (m_nCountRule == ruleOneOf)
        return std::find(m_arrCounts.begin(), m_arrCounts.end(), nFields) != m_arrCounts.end();
    return true;
}

void CSyncSocketCommandMap::CopyFrom(const CSyncSocketCommandMap& other)
{
    for (const auto& [word, pCommand] : other.m_map)
        m_map[word] = std::make_unique<CSyncSocketCommand>(*pCommand);
}

void CSyncSocketCommandMap::Add(LPCWSTR pszWord, CSyncSocketCommand* pCommand)
{
    m_map[pszWord].reset(pCommand);
}

CSyncSocketCommand* CSyncSocketCommandMap::Lookup(const CString& strWord) const
{
    const auto it = m_map.find(std::wstring(strWord.GetString()));
    return it == m_map.end() ? nullptr : it->second.get();
}
