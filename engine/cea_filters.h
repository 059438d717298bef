// `FilterTable` holds the input filters of an animation window in call order (priority, then newest
// first) with their message masks and reference counts, and dispatches window messages through them.
#pragma once

#include <windows.h>

#include "cea_entry_table.h"

// Mask bits of a filter: mouse messages, keyboard messages, or every message.
const DWORD afMOUSE = 0x0001;
const DWORD afKEYBOARD = 0x0002;
const DWORD afALL = 0xFFFF;
// Priority when the flags give none; smaller priorities are called first.
const DWORD afDEFAULT_PRIORITY = 100;

// Flags of AddFilter: mask in the low 16 bits, priority in the high 16 bits.
inline DWORD FilterFlags(DWORD mask, DWORD priority) { return (priority << 16) | (mask & 0xFFFF); }

struct FILTERENTRY {
    WNDPROC filter; // null while free
    WORD mask;
    WORD priority;
    DWORD refCount;
};

class FilterTable : public EntryTable<FILTERENTRY> {
public:
    // With a mask: a filter already present gains a reference and the mask bits (its priority stays);
    // a new one is placed before the first entry of equal or higher priority. With mask 0: one
    // reference is dropped and the entry freed at 0. FALSE when the table could not grow.
    BOOL Add(WNDPROC filter, DWORD flags);
    BOOL Remove(WNDPROC filter) { return Add(filter, 0); }

    // Calls the matching filters in order until one answers non-zero; returns that answer or 0.
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    static BOOL IsMouseMessage(UINT message);
    static BOOL IsKeyboardMessage(UINT message) { return message >= 0x100 && message <= 0x108; }
};
