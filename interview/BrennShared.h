#pragma once
#include "framework/Platform.h"
// What the interviewing client's pieces share: the call results an interview ends with, the pause
// state handed from screen to screen, the numbers that stand for "no value", and the window
// messages between the main window and the windows that wait on it.

// Call results: signed 16-bit codes written to the task and shown in the end-of-interview dialog.
enum BrennCallResult : short
{
    kCallNotCalled = -1,
    kCallComplete = 0,
    kCallNoTone = 1,
    kCallBusy = 2,
    kCallNoAnswer = 3,
    kCallHangedUp = 4,
    kCallAnsweringMachine = 5,
    kCallRespondentNotIn = 6,
    kCallRefused = 7,
    kCallWrongNumber = 8,
    kCallAppointment = 9, // sub-result 1: call back now; 3: switched to the web interview with a mail
    kCallQuotaReached = 10,
    kCallFax = 11,
    kCallDuplicate = 12,
    kCallNotInTarget = 13,
    kCallCannotCommunicate = 14,
    kCallClientDisconnection = 15,
    kCallUnknownError = 16,
    kCallSurveyFirst = 17, // 17 to 21: the survey's own results
    kCallSurveyLast = 21,
    kCallAbandonedByDialer = 22,
    kCallNuisance = 23,
    kCallRefusedByAgent = 24,
};
constexpr short kAppointmentCallBackNow = 1;
constexpr short kAppointmentSwitchedToWeb = 3;

// The pause state written to the task as calPause: a chosen pause-reason id is 0 or more.
constexpr long kNoPauseAfterCall = -2;
constexpr long kPauseWithoutReason = -1;

// Numeric and date answers and bounds without a value.
constexpr double kNoValue = -999999.99;
// Response codes of semi-open answers: the generic one, one with id n is -n, and a predefined one
// without id is kFirstUnnamedSemiOpen - i (i its index among the question's semi-open answers).
constexpr long kGenericSemiOpen = -3;
constexpr long kFirstUnnamedSemiOpen = -4;

// The main window to the window that asked for something. wParam: the answer's code
// (kAnswer...); lParam: as the code says.
constexpr UINT WM_BRENN_ANSWER = WM_USER + 100;
enum BrennAnswerCode : WPARAM
{
    kAnswerAgentList = 0,        // lParam: the array of agent records
    kAnswerCategoryDefinition = 3, // lParam: the survey id
    kAnswerStartRecording = 4,   // lParam: the result (16-bit)
    kAnswerPause = 5,            // lParam: the pause id, -1 none exists, -2 the choice was cancelled
    kAnswerStartSound = 6,       // lParam: the result (16-bit)
    kAnswerStopRecording = 7,    // lParam: the result (16-bit)
    kAnswerCallHistory = 8,      // lParam: the call-history array
};
// To the load-survey and send dialogs: the link to Jex was lost (no arguments) / is back.
constexpr UINT WM_BRENN_JEX_LOST = WM_USER + 102;
constexpr UINT WM_BRENN_JEX_BACK = WM_USER + 103;

// The main window to itself. WM_BRENN_START_TASK: start the queued task (no arguments);
// WM_BRENN_QUIT: BrennClient ends (no arguments).
constexpr UINT WM_BRENN_START_TASK = WM_USER;
constexpr UINT WM_BRENN_QUIT = WM_USER + 1;
