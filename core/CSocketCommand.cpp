#include "core/CSocketCommand.h"
#include <cstdarg>

CSocketCommand::CSocketCommand(SOCKET_COMMAND_HANDLER handler, int nMode, bool bNeedsSession, int nCountCheck,
                               DWORD dwContext, ...)
    : m_nMode(nMode), m_bNeedsSession(bNeedsSession), m_nCountCheck(nCountCheck), m_pfnHandler(handler),
      m_dwContext(dwContext)
{
    va_list args;
    va_start(args, dwContext);
    for (int nCount = va_arg(args, int); nCount >= 0; nCount = va_arg(args, int))
        m_arrCounts.push_back(nCount);
    va_end(args);
}

CSocketCommandMap::CSocketCommandMap() : CMap(10)
{
    InitHashTable(17);
}

CSocketCommandMap::~CSocketCommandMap()
{
    DeleteAll();
}

void CSocketCommandMap::CopyFrom(const CSocketCommandMap& other)
{
    for (POSITION pos = other.GetStartPosition(); pos;)
    {
        CString strWord;
        CSocketCommand* pCommand = nullptr;
        other.GetNextAssoc(pos, strWord, pCommand);
        if (pCommand) Add(strWord, new CSocketCommand(*pCommand));
    }
}

void CSocketCommandMap::Add(LPCWSTR pszWord, CSocketCommand* pCommand)
{
    CSocketCommand* pOld = nullptr;
    if (Lookup(pszWord, pOld) && pOld != pCommand) delete pOld;
    SetAt(pszWord, pCommand);
}

void CSocketCommandMap::DeleteAll()
{
    for (POSITION pos = GetStartPosition(); pos;)
    {
        CString strWord;
        CSocketCommand* pCommand = nullptr;
        GetNextAssoc(pos, strWord, pCommand);
        delete pCommand;
    }
    RemoveAll();
}
