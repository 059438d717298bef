// Dirty-rectangle lists of the animation window.
#include "cea_dirty_region.h"

#include "mem_manager.h"

BOOL RectsOverlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

BOOL RectInside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

DirtyRegion::DirtyRegion() : count_(0), capacity_(0), rects_(nullptr) {}

DirtyRegion::~DirtyRegion() {
    if (rects_) MEMFREE(rects_);
}

BOOL DirtyRegion::Add(const RECT* rect) {
    if (!rect || rect->left >= rect->right || rect->top >= rect->bottom) return TRUE;
    const DWORD kNone = 0xFFFFFFFF;
    DWORD merged = kNone; // the slot that holds what has been merged so far
    RECT merging = *rect;
    for (;;) {
        DWORD found = kNone;
        for (DWORD i = 0; i < count_; ++i)
            if (i != merged && RectsOverlap(rects_[i], merging)) {
                found = i;
                break;
            }
        if (found == kNone) break;
        RECT& r = rects_[found];
        if (merging.left < r.left) r.left = merging.left;
        if (merging.top < r.top) r.top = merging.top;
        if (merging.right > r.right) r.right = merging.right;
        if (merging.bottom > r.bottom) r.bottom = merging.bottom;
        if (merged != kNone) {
            // The earlier merge result is now inside `found`: its slot takes the last rectangle.
            DWORD last = count_ - 1;
            rects_[merged] = rects_[last];
            if (found == last) found = merged;
            --count_;
        }
        merged = found;
        merging = rects_[merged];
    }
    if (merged != kNone) return TRUE;
    if (count_ == capacity_) {
        DWORD capacity = capacity_;
        if (!MEMREALLOC(RECT, rects_, capacity, count_ + 1, 16)) return FALSE;
        capacity_ = capacity;
    }
    rects_[count_++] = *rect;
    return TRUE;
}
