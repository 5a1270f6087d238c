#include "uikit/IDialogHost.h"

namespace
{
IDialogHost* g_pDialogHost = nullptr;
}

void SetDialogHost(IDialogHost* pHost)
{
    g_pDialogHost = pHost;
}

IDialogHost* GetDialogHost()
{
    return g_pDialogHost;
}
