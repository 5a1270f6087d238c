#pragma once
#include "framework/Platform.h"
#include <functional>
// Pumping the calling thread's messages in tests, the way our message loops do (each message
// walks PreTranslateMessage before it is dispatched). Every wait has a time bound.

// Pumps until `done` is true; false when the bound passed first.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Pumps until no message has arrived for quietMs; false when the bound passed first.
bool PumpUntilIdle(DWORD quietMs = 100, DWORD timeoutMs = 5000);
// Pumps everything that arrives during the given time.
void PumpFor(DWORD durationMs);
