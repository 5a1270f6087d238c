#pragma once
#include "framework/Platform.h"

// Jex's answers that go to the local application they belong to, on the port it registered on.
// The application ports implement it; the Jex command link only names the application.
class IApplicationRelay
{
public:
    // The answers that follow a call's sound or question recording; the application that owns the
    // call gets them.
    enum CallAnswer
    {
        answerSoundStart,     // Jex PLSSTA: "PLSSTA" on both ports
        answerSoundEnd,       // Jex PLSEND: "PLSEND" on the old port, "PLSSTO" on the current one
        answerRecordingStart, // Jex QRESTA: "QRESTA" on both ports
        answerRecordingEnd,   // Jex QREEND: "QREEND" on the old port, "QRESTO" on the current one
    };

    virtual ~IApplicationRelay() = default;
    // Jex confirms interview data that came from the application's port (bCurrentPort) with its
    // first and third values; nothing when no application of that id is registered there.
    virtual void SendInterviewConfirmation(long nApplicationId, BOOL bCurrentPort, long nFirst, long nThird) = 0;
    // To the application of that id on both ports: the old port gets call id and result, the
    // current one the request id as well.
    virtual void SendCallAnswer(CallAnswer kind, long nApplicationId, long nRequestId, long nCallId, long nResult) = 0;
};
