#include "clientctl/CLumoClientErrorSink.h"
#include "framework/CHandleOwner.h"
#include <vector>

void CLumoClientErrorSink::Report(LogModes nLogMode, const CString& strText) noexcept
{
    try
    {
        switch (nLogMode)
        {
        case logMode_Verbose:
            m_showBox(strText);
            break;
        case logMode_Event:
            m_fireEvent(strText);
            break;
        case logMode_File:
            AppendToLogFile(strText);
            break;
        default:
            break;
        }
    }
    catch (...)
    {
        // The sink never fails towards its caller; the text is lost.
    }
}

void CLumoClientErrorSink::AppendToLogFile(const CString& strText)
{
    CFileHandle file(::CreateFileW(kLogFile, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return;
    if (::SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR)
        return;
    const UINT nCodePage = CP_THREAD_ACP;
    std::vector<char> bytes;
    const int nChars = strText.GetLength();
    if (nChars > 0)
    {
        const int nBytes =
            ::WideCharToMultiByte(nCodePage, 0, strText.GetString(), nChars, nullptr, 0, nullptr, nullptr);
        if (nBytes <= 0) return;
        bytes.resize(static_cast<size_t>(nBytes));
        ::WideCharToMultiByte(nCodePage, 0, strText.GetString(), nChars, bytes.data(), nBytes, nullptr, nullptr);
    }
    bytes.push_back('\n');
    DWORD nWritten = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &nWritten, nullptr);
}
