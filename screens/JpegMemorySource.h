#pragma once
#include "framework/Platform.h"
#include <cstdio>
#include <jpeglib.h>
// A libjpeg data source that reads either a C stream or a global memory block, 4096 bytes at a
// time. Installs itself on the decompressor (made in its permanent pool on first use) and starts
// over from the beginning. An empty input is the library's fatal "Empty input file"; input that
// ends early gets the warning "Premature end of JPEG file" and an end-of-image marker.
void JpegMemorySource(j_decompress_ptr pInfo, FILE* pFile, HGLOBAL hMemory, DWORD nSize);
