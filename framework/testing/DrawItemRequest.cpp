#include "framework/testing/DrawItemRequest.h"

DRAWITEMSTRUCT DrawItemRequest(HWND hItem, HDC hDC, const RECT& rc, UINT nCtlType, UINT nItemState, UINT nItemId)
{
    DRAWITEMSTRUCT dis{};
    dis.CtlType = nCtlType;
    dis.CtlID = static_cast<UINT>(::GetDlgCtrlID(hItem));
    dis.itemID = nItemId;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = nItemState;
    dis.hwndItem = hItem;
    dis.hDC = hDC;
    dis.rcItem = rc;
    return dis;
}
