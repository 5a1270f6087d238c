#pragma once
// The Windows headers in the one order that works for every part of the system: Winsock 2 must come
// before <windows.h>, which would otherwise pull in the old Winsock 1 declarations.
#include <winsock2.h>
#include <windows.h>
