#pragma once
#include "framework/Platform.h"
#include <ole2.h>
// What a control's OnDraw gets: the device context to draw on and the bounds to draw in (device
// units of that context), with the aspect and target device the container asked for.
struct ATL_DRAWINFO
{
    UINT cbSize = sizeof(ATL_DRAWINFO);
    DWORD dwDrawAspect = DVASPECT_CONTENT;
    LONG lindex = -1;
    DVTARGETDEVICE* ptd = nullptr;
    HDC hicTargetDev = nullptr;
    HDC hdcDraw = nullptr;
    LPCRECTL prcBounds = nullptr;
    LPCRECTL prcWBounds = nullptr; // only for a metafile
};
