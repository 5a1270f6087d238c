#pragma once
#include "sessions/CLFObjectMapBase.h"

// A walk over a snapshot of a map's objects, taken at construction: the map is not locked while
// the loop runs, and the versions it hands out stay whole whatever writers do meanwhile.
template <class T> class CLFObjectLoop
{
public:
    CLFObjectLoop(const CLFObjectMapBase<T>& map, BOOL bAll)
    {
        map.GetObjects(m_objects, bAll);
        m_pos = m_objects.GetHeadPosition();
    }
    CLFObjectLoop(const CLFObjectLoop&) = delete;
    CLFObjectLoop& operator=(const CLFObjectLoop&) = delete;
    virtual ~CLFObjectLoop() = default;

    BOOL HasNext() const { return m_pos != nullptr; }
    // The next object, or null once the loop has ended.
    std::shared_ptr<const T> GetNext() { return m_pos ? m_objects.GetNext(m_pos) : nullptr; }

private:
    typename CLFObjectMapBase<T>::ObjectList m_objects;
    POSITION m_pos = nullptr;
};
