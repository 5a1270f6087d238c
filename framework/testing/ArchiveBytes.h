#pragma once
#include "framework/CArchive.h"
#include <functional>
#include <vector>
// Archives in tests: the exact bytes a store writes, and the cause of the archive error an action raises.

// Everything `store` writes into an archive over a memory file, as bytes.
std::vector<BYTE> StoredBytes(const std::function<void(CArchive&)>& store);
// The m_cause of the CArchiveException* that `action` raises (the exception is freed), or -1 when none.
int ArchiveExceptionCause(const std::function<void()>& action);
