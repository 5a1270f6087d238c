#pragma once
#include "framework/Platform.h"
// Whether windows of this process may host ActiveX controls (CWnd::CreateControl). A program turns
// hosting on once at start-up, after initialising OLE; until then CreateControl refuses, so a
// program that never prepared OLE for its controls fails at the first one instead of later in
// the control's own calls. Any thread may ask; the switch is meant for the start-up thread.
void AfxEnableControlContainer(BOOL bEnable = TRUE); // FALSE puts the process back as it started
bool AfxIsControlContainerEnabled() noexcept;
