// Helpers of the control tests: mouse messages posted to a real window and pumped through its filters,
// filter reference counts, and the memory manager's live block count.
#pragma once

#include "anim_test_window.h"
#include "cea_filters.h"
#include "mem_manager.h"

#include <windows.h>

namespace controltest {

// Dispatches every message waiting for this thread.
inline void Pump() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}

// Posts a mouse message at a client point of the window, as the system would, and lets it arrive.
inline void Mouse(HWND window, UINT message, int x, int y) {
    WPARAM keys = message == WM_LBUTTONUP ? 0 : (message == WM_LBUTTONDOWN ? MK_LBUTTON : 0);
    PostMessage(window, message, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    Pump();
}
inline void Press(HWND window, int x, int y) { Mouse(window, WM_LBUTTONDOWN, x, y); }
inline void Move(HWND window, int x, int y) { Mouse(window, WM_MOUSEMOVE, x, y); }
inline void Release(HWND window, int x, int y) { Mouse(window, WM_LBUTTONUP, x, y); }

// The references a filter holds on a window (0 when it is not there).
inline DWORD FilterRefs(AnimWindow* window, WNDPROC filter) {
    const FilterTable& table = window->GetFilters();
    DWORD refs = 0;
    for (DWORD i = 0; i < table.GetCount(); ++i)
        if (table.Get(i)->filter == filter) refs += table.Get(i)->refCount;
    return refs;
}

inline DWORD LiveBlocks() { return MemGetStats().liveBlocks; }

} // namespace controltest
