#include "framework/AfxInitCommonControls.h"
#include <atomic>

BOOL AfxInitCommonControls(DWORD dwIccClasses)
{
    static std::atomic<DWORD> registered{0};
    if ((registered.load() & dwIccClasses) == dwIccClasses) return TRUE;
    INITCOMMONCONTROLSEX icc{sizeof(icc), dwIccClasses};
    if (!::InitCommonControlsEx(&icc)) return FALSE;
    registered.fetch_or(dwIccClasses);
    return TRUE;
}
