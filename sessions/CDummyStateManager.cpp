#include "sessions/CDummyStateManager.h"

void CDummyStateManager::CopyState(const CDummyStateManager& other)
{
    if (&other != this) m_nState = other.m_nState;
}
