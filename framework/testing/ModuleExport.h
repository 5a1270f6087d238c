#pragma once
#include "framework/Platform.h"
// A function a loaded library exports, as the function type F; null when it has none.
template <class F> F ModuleExport(HMODULE hModule, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(hModule, name)));
}
