#pragma once
#include "framework/Platform.h"
#include <map>
#include <utility>
// Temporary wrapper objects of borrowed handles (device contexts, GDI objects, menus, image
// lists), one map per kind and thread, like the window map's temporaries: FromHandle makes them,
// the thread's idle time deletes them (CWnd::DeleteTempMap). The handle stays with its owner:
// the wrapper is detached before it is deleted. Never keep such a pointer.
//
// Registers a kind of temporary wrapper with the calling thread's window state (CWnd.cpp):
// pfnDeleteAll runs at idle time, pfnFree when the thread ends.
void AfxRegisterTempMap(void (*pfnDeleteAll)(), void (*pfnFree)());

// T needs Detach(). The map itself is plain heap data reached through a thread-local pointer and
// freed with the thread's window state: no per-thread destructors.
template <class Key, class T> class CTempHandleMap
{
public:
    // The calling thread's wrapper of key, made by make() on first use.
    template <class Make> static T* Get(const Key& key, Make make)
    {
        auto& map = Map();
        if (auto it = map.find(key); it != map.end()) return it->second;
        T* p = make();
        map.emplace(key, p);
        return p;
    }
    // The wrapper of key when there is one; a permanent object taking the handle over drops it.
    static void Remove(const Key& key)
    {
        if (!t_pMap) return;
        if (auto it = t_pMap->find(key); it != t_pMap->end())
        {
            T* p = it->second;
            t_pMap->erase(it);
            Free(p);
        }
    }
    // How many wrappers the calling thread holds now (tests watch idle time free them).
    static size_t Count() { return t_pMap ? t_pMap->size() : 0; }
    static void DeleteAll()
    {
        if (!t_pMap) return;
        // A wrapper's destructor may make temporaries again: take the map first.
        auto temp = std::move(*t_pMap);
        t_pMap->clear();
        for (auto& entry : temp)
            Free(entry.second);
    }

private:
    static void Free(T* p)
    {
        p->Detach();
        delete p;
    }
    static std::map<Key, T*>& Map()
    {
        if (!t_pMap)
        {
            t_pMap = new std::map<Key, T*>;
            AfxRegisterTempMap(&DeleteAll, &FreeMap);
        }
        return *t_pMap;
    }
    static void FreeMap()
    {
        DeleteAll();
        delete t_pMap;
        t_pMap = nullptr;
    }
    static inline thread_local std::map<Key, T*>* t_pMap = nullptr;
};

// The object of a control window as a T: our own permanent object when it is a T, else a
// temporary T wrapper (whose members only send messages) freed at idle time like the others.
template <class T> T* AfxControlFromHandle(HWND hWnd)
{
    if (!hWnd) return nullptr;
    if (auto* p = dynamic_cast<T*>(T::FromHandlePermanent(hWnd))) return p;
    return CTempHandleMap<HWND, T>::Get(hWnd, [hWnd] {
        auto* p = new T;
        p->m_hWnd = hWnd; // borrowed: not in the permanent map, so never subclassed or destroyed
        return p;
    });
}
