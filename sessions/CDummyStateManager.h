#pragma once
#include "framework/Platform.h"

// The state of a Jex object: one byte that the object map sets when it stores an object with its
// mark flag. Nothing else here reads it; it is copied and compared with the object.
class CDummyStateManager
{
public:
    CDummyStateManager() = default;
    CDummyStateManager(const CDummyStateManager&) = default;
    CDummyStateManager& operator=(const CDummyStateManager&) = default;
    virtual ~CDummyStateManager() = default;

    virtual void CopyState(const CDummyStateManager& other);
    virtual void ClearState() { m_nState = 0; }
    virtual void SetState() { m_nState = 1; }
    virtual BOOL CanChangeState() const { return TRUE; }
    virtual BOOL IsSameState(const CDummyStateManager& other) const { return m_nState == other.m_nState; }
    virtual BYTE GetState() const { return m_nState; }

private:
    BYTE m_nState = 0;
};
