#pragma once
#include "framework/CWnd.h"
#include <unordered_map>
#include <utility>
#include <vector>
// The per-thread state of the window classes, shared by the files CWnd's members live in.

// Everything a thread knows about its windows.
struct WndThreadState
{
    std::unordered_map<HWND, CWnd*> permanent;
    std::unordered_map<HWND, CWnd*> temporary;
    MSG lastSent{};           // the message of the innermost window procedure (for Default)
    CWnd* pWndInit = nullptr; // the object the next window created on this thread belongs to
    HHOOK hCreateHook = nullptr;
    HWND hLockoutNotify = nullptr; // the window whose UpdateData is running (see OnCommand)
    // The other kinds of temporary wrappers the thread has made (CTempHandleMap): emptied at idle
    // time, freed with this state.
    std::vector<std::pair<void (*)(), void (*)()>> tempMaps;
    ~WndThreadState()
    {
        for (auto& [h, p] : temporary)
        {
            p->m_hWnd = nullptr;
            delete p;
        }
    }
};

// The calling thread's state, made at its first use and freed when the thread ends.
WndThreadState& WndState();
