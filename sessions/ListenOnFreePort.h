#pragma once
#include "framework/Platform.h"
#include <functional>

// The port search of both application ports' listeners: nPort, or while it is taken (in use, or
// refused to this user) the next port, at most nFurtherPorts beyond it and never past 65535.
// tryPort binds and listens on one port (0: the system chooses) and gives the port it took, or 0
// with the last error set and nothing left open. Any other error ends the search: the next port
// would fail alike. Returns the port taken, or 0 with the last error of the last try set.
UINT ListenOnFreePort(UINT nPort, UINT nFurtherPorts, const std::function<UINT(UINT nPort)>& tryPort);
