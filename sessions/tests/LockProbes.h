#pragma once
// Tries on a lock from a second thread, the way another user of the lock would come in. Each try
// waits for nothing and leaves nothing behind.
#include "sessions/CReadWriteLock.h"
#include <functional>

BOOL OnOtherThread(const std::function<BOOL()>& call);
BOOL ReaderWouldEnter(CReadWriteLock& lock);
BOOL WriterWouldEnter(CReadWriteLock& lock);
BOOL UntrackedReaderWouldEnter(CReadWriteLock& lock);
BOOL UntrackedWriterWouldEnter(CReadWriteLock& lock);
