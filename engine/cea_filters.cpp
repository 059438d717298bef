// Input filters of the animation window.
#include "cea_filters.h"

#include <string.h>

BOOL FilterTable::IsMouseMessage(UINT message) {
#ifdef UNICODE
    // The game build also takes the wheel.
    return message >= 0x200 && message <= 0x20A;
#else
    return message >= 0x200 && message <= 0x209;
#endif
}

BOOL FilterTable::Add(WNDPROC filter, DWORD flags) {
    if (!filter) return FALSE;
    WORD mask = static_cast<WORD>(flags & 0xFFFF);
    WORD priority = static_cast<WORD>(flags >> 16);
    if (priority == 0) priority = afDEFAULT_PRIORITY;
    if (mask == 0) {
        for (DWORD i = 0; i < count_; ++i)
            if (entries_[i].filter == filter && entries_[i].refCount > 0 && --entries_[i].refCount == 0)
                memset(&entries_[i], 0, sizeof entries_[i]);
        return TRUE;
    }
    for (DWORD i = 0; i < count_; ++i)
        if (entries_[i].filter == filter) {
            ++entries_[i].refCount;
            entries_[i].mask |= mask;
            return TRUE;
        }
    // The new entry goes after the last lower-priority entry in use, or into a later free slot.
    const DWORD kNone = 0xFFFFFFFF;
    DWORD lastUsed = kNone, lastFree = kNone;
    for (DWORD i = 0; i < count_; ++i) {
        if (entries_[i].filter && entries_[i].priority >= priority) break;
        if (entries_[i].filter)
            lastUsed = i;
        else
            lastFree = i;
    }
    DWORD slot = lastUsed == kNone ? 0 : lastUsed + 1;
    if (lastFree != kNone && (lastUsed == kNone || lastFree > lastUsed)) slot = lastFree;
    if ((count_ == 0 || entries_[count_ - 1].filter) && !Grow(count_ + 1, 1)) return FALSE;
    // The last entry is free, so shifting up by one loses nothing.
    memmove(&entries_[slot + 1], &entries_[slot], (count_ - 1 - slot) * sizeof(FILTERENTRY));
    entries_[slot].filter = filter;
    entries_[slot].mask = mask;
    entries_[slot].priority = priority;
    entries_[slot].refCount = 1;
    return TRUE;
}

LRESULT FilterTable::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    BOOL mouse = IsMouseMessage(message), keyboard = IsKeyboardMessage(message);
    // A filter may add or remove filters while it runs: read the table afresh for every entry.
    for (DWORD i = 0; i < count_; ++i) {
        FILTERENTRY entry = entries_[i];
        if (!entry.filter) continue;
        if (entry.mask == afALL || ((entry.mask & afMOUSE) && mouse) ||
            ((entry.mask & afKEYBOARD) && keyboard)) {
            LRESULT result = entry.filter(window, message, wParam, lParam);
            if (result) return result;
        }
    }
    return 0;
}
