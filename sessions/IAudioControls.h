#pragma once
#include "framework/Platform.h"

// The loudspeaker and the microphone as the main window's knobs and mute buttons control them.
// The current application port reads and sets them for its applications; the desktop's main
// window serves it.
class IAudioControls
{
public:
    static constexpr const char* kRoleName = "IAudioControls";
    virtual ~IAudioControls() = default;

    virtual BOOL IsMasterMuted() = 0;
    virtual BOOL IsMicrophoneMuted() = 0;
    virtual void SetMasterMute(BOOL bMuted) = 0;
    virtual void SetMicrophoneMute(BOOL bMuted) = 0;
    virtual double GetSpeakerVolume() = 0; // 0.0 to 1.0, -1 when unknown
    virtual double GetMicrophoneVolume() = 0;
    virtual void SetMasterVolume(double dFraction) = 0;
    virtual void SetMicrophoneVolume(double dFraction) = 0;
};
