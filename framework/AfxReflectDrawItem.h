#pragma once
#include "framework/Platform.h"
// For the OnChildNotify of an owner-drawn control: a WM_DRAWITEM its parent reflected goes to the
// control's DrawItem and counts as handled (TRUE); any other message is left to the caller.
template <class TControl> BOOL AfxReflectDrawItem(TControl& control, UINT message, LPARAM lParam, LRESULT* pResult)
{
    if (message != WM_DRAWITEM) return FALSE;
    control.DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult) *pResult = TRUE;
    return TRUE;
}
