#pragma once
#include "framework/Platform.h"
// What the toolkit's dialogs ask of the program that hosts them. The agent desktop installs its
// host once its application object exists; the interviewing client installs none. The dialogs ask
// at every position change and every typed character, so a change of the answers takes effect at
// once.
class IDialogHost
{
public:
    virtual ~IDialogHost() = default;
    // FALSE while the desktop runs hidden: no dialog may then make itself visible.
    virtual BOOL IsDesktopVisible() = 0;
    // Offers a typed character as a telephone key; TRUE when it was used (sent on a call). FALSE
    // when it was not, or when there is no main window to send it.
    virtual BOOL HandleDialKey(wchar_t ch) = 0;
};

// The installed host, or null: then the desktop counts as visible and no key is forwarded. The
// caller keeps the host alive while it is installed. GUI thread only.
void SetDialogHost(IDialogHost* pHost);
IDialogHost* GetDialogHost();
