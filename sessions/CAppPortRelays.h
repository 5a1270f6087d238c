#pragma once
#include "framework/CString.h"
#include <memory>

class CAgentSetting;
class CJexSocket;
class CPropertyList;
class CSessionCore;

// What both application ports do alike: interview data go to Jex only when their checksum holds,
// and a refusal leaves one line in the desktop's log file; the settings an application saves and
// reads back. The two ports differ only in how they read their requests.
class CAppPortRelays
{
public:
    // Relays interview data that an application sent when their CRC-32 equals nCrc (and there is a
    // Jex link: each port decides which link counts); otherwise writes the refusal to strLogFile. The surveys and calls
    // of the old port are unsigned numbers, those of the current one signed. TRUE when the data went to Jex.
    static BOOL RelayInterviewData(CJexSocket* pJex, long nSurveyId, long nCallId, const BYTE* pData, DWORD nLength,
                                   DWORD nCrc, BOOL bCurrentPort, const CString& strLogFile);
    static CString FormatRefusal(long nSurveyId, long nCallId, DWORD nComputed, DWORD nReceived, BOOL bCurrentPort);

    // Appends "hh:mm:ss  dd-mm-yyyy text" to the file, local date and time: a line written just after
    // midnight must carry the day it was written on. Both ports write the one file through here, so
    // its lines read alike. FALSE, with nothing written, when no file is named or it cannot be opened.
    static BOOL WriteLogLine(const CString& strLogFile, const CString& strText);
    // The clock of the log lines: the UTC time and the zone it is shown in. Tests pin both; null
    // restores the machine's.
    static void SetClock(void (*pfnUtcNow)(SYSTEMTIME&), const TIME_ZONE_INFORMATION* pZone);

    // An application's SAVASE: a number with a text, without limits, kept for that application only.
    static CAgentSetting MakeApplicationSetting(long nSettingId, const CString& strName, long nNumber,
                                                const CString& strText);
    // The GETASE answer for a stored setting: its id, name, deleted flag, its value (or default)
    // within its limits and its text (or default). Null gives the empty list.
    static CPropertyList MakeSettingAnswer(const std::shared_ptr<const CAgentSetting>& pSetting);
    // What an application's GETASE is answered with: a switch of Jex's permissions where the
    // setting is built in for it (on the current port -1 "OrvialFullScreen", -2 "OrvialHideLumo"
    // and -3 "IsAllowStartRecording" for BrennClient and Quillan; on the old port -1 and -2 for
    // BrennClient alone), else its cached setting, for which the core may wait for Jex.
    static CPropertyList AnswerSettingRequest(CSessionCore& core, long nApplicationId, long nSettingId,
                                              BOOL bCurrentPort);
};
