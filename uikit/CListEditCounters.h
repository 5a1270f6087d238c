#pragma once
// What the editable list's edits hold on the heap, counted so that tests see it freed.
// GUI thread only.
class CListEditCounters
{
public:
    static inline int s_nEditors = 0;    // in-place editors and watched combos and pickers
    static inline int s_nWatchers = 0;   // editor watchers
    static inline int s_nDateValues = 0; // picker values on their way to the list
    static inline int s_nReopens = 0;    // reopen requests posted and not yet handled
};
