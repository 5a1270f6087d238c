#pragma once
#include "framework/CString.h"
#include "framework/CWinApp.h"
// The application object of LumoClient.ocx. Its InitInstance runs while the library loads, under
// the loader lock, so it does no more than start Windows sockets for the links to Lumo.
class CLumoClientLibApp : public CWinApp
{
public:
    BOOL InitInstance() override;
    int ExitInstance() override;
    // The library's own file version, the release version the build gave it; empty when it cannot be read.
    CString GetFileVersion() const;
};
