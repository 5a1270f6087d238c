#pragma once
#include "framework/CString.h"
#include "framework/CStringArray.h"

// An application on the old application port as the session core sees it: plain lines without
// request ids, escapes or payload-length fields. The port's socket implements it; the core keeps
// such links in its old-port register and sends to them through it.
class IOldApplicationLink
{
public:
    virtual ~IOldApplicationLink() = default;

    // One line, its CR included, in the encoding the application chose.
    virtual void SendLine(const CString& strLine) = 0;
    // Bytes that follow a line (a task resource); sent right behind it.
    virtual void SendBytes(const BYTE* pBytes, DWORD nCount) = 0;
    // The pause list this application was sent last: ids and names in the same order. Its PAUSES
    // request picks a reason by an index into it.
    virtual void KeepPauseList(const CStringArray& /*arrIds*/, const CStringArray& /*arrNames*/) {}
    // Closes the connection (logging off ends every old-port application's): the link leaves the
    // register at once; the object is gone at once or, while it is serving a request of its own,
    // right after that request.
    virtual void CloseLink() = 0;

    template <FormatArgument... Args> void SendCommand(LPCWSTR pszFormat, Args... args)
    {
        CString strLine;
        strLine.Format(pszFormat, args...);
        SendLine(strLine);
    }
};
