#pragma once
#include "framework/CString.h"
#include "LumoClient.h"
#include <functional>

// Where the control's error texts go, by the client's LogMode: a message box, an event, a line
// appended to the log file (only when that file exists already), or nowhere. The box and the event
// are the control's to show and fire; the sink chooses between them. It never fails towards its
// caller: a text that cannot be delivered is lost.
class CLumoClientErrorSink
{
public:
    CLumoClientErrorSink(std::function<void(const CString&)> showBox, std::function<void(const CString&)> fireEvent)
        : m_showBox(std::move(showBox)), m_fireEvent(std::move(fireEvent))
    {
    }

    void Report(LogModes nLogMode, const CString& strText) noexcept;

    // LogMode 3 appends here, and only when the file exists.
    static constexpr wchar_t kLogFile[] = L"c:\\temp\\out.txt";

private:
    static void AppendToLogFile(const CString& strText);

    std::function<void(const CString&)> m_showBox;
    std::function<void(const CString&)> m_fireEvent;
};
