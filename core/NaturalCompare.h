#pragma once
#include "framework/Platform.h"

// Compares two texts the way people sort them: digit runs by their value, blanks and leading
// zeros ignored ("file9" before "file10"). A null text reads as the empty text.
// Negative, zero or positive; the list sorting relies only on the sign.
int NaturalCompare(LPCWSTR pszFirst, LPCWSTR pszSecond, BOOL bIgnoreCase);
