// `DirtyRegion` is a short list of rectangles of a window that must be recomposed; overlapping additions
// merge into their bounding rectangle so that the list stays short.
#pragma once

#include <windows.h>

// True when two rectangles share at least one pixel; touching edges don't count.
BOOL RectsOverlap(const RECT& a, const RECT& b);
// True when `inner` lies wholly inside `outer`.
BOOL RectInside(const RECT& inner, const RECT& outer);

class DirtyRegion {
public:
    DirtyRegion();
    ~DirtyRegion();

    // Forgets every rectangle but keeps the memory.
    void Clear() { count_ = 0; }
    BOOL IsEmpty() const { return count_ == 0; }
    DWORD GetCount() const { return count_; }
    // The rectangle at `index`, or null at or beyond the count.
    const RECT* Get(DWORD index) const { return index < count_ ? &rects_[index] : nullptr; }
    // Adds a rectangle, merging it with every stored one that it overlaps (and those the merged ones then
    // overlap). Null and empty rectangles are ignored. FALSE when the list had to grow and could not.
    BOOL Add(const RECT* rect);

private:
    DirtyRegion(const DirtyRegion&) = delete;
    DirtyRegion& operator=(const DirtyRegion&) = delete;

    DWORD count_;
    DWORD capacity_;
    RECT* rects_;
};
