// Frame schedule of the animation window.
#include "cea_schedule.h"

#include <string.h>

#include "mem_manager.h"

Schedule::Schedule() : entries_(nullptr), count_(0) {}

Schedule::~Schedule() { Reset(); }

void Schedule::Reset() {
    if (entries_) MEMFREE(entries_);
    entries_ = nullptr;
    count_ = 0;
}

DWORD Schedule::NewEntry() {
    for (DWORD i = 0; i < count_; ++i)
        if (!entries_[i].inUse) return i;
    DWORD index = count_;
    if (!MEMREALLOC(SCHEDENTRY, entries_, count_, index + 1, 16)) return kNoEntry;
    return index;
}

DWORD Schedule::AddObject(DWORD frame, AnimObject* object, Graphic* graphic, const RECT* rect) {
    if (!object) return kNoEntry;
    DWORD index = NewEntry();
    if (index == kNoEntry) return kNoEntry;
    SCHEDENTRY& e = entries_[index];
    memset(&e, 0, sizeof e);
    e.inUse = 1;
    e.frame = frame;
    e.object = object;
    e.graphic = graphic;
    if (rect) e.rect = *rect;
    return index;
}

DWORD Schedule::AddEvent(DWORD frame, DWORD code, LPARAM value) {
    DWORD index = NewEntry();
    if (index == kNoEntry) return kNoEntry;
    SCHEDENTRY& e = entries_[index];
    memset(&e, 0, sizeof e);
    e.inUse = 1;
    e.frame = frame;
    e.code = code;
    e.value = value;
    return index;
}

void Schedule::Free(DWORD index) {
    if (index < count_) memset(&entries_[index], 0, sizeof(SCHEDENTRY));
}

void Schedule::RemoveObject(AnimObject* object) {
    for (DWORD i = 0; i < count_; ++i)
        if (entries_[i].inUse && entries_[i].object && entries_[i].object == object) Free(i);
}

void Schedule::RemoveGraphic(Graphic* graphic) {
    for (DWORD i = 0; i < count_; ++i)
        if (entries_[i].inUse && entries_[i].object && entries_[i].graphic == graphic) Free(i);
}

void Schedule::RemoveEvents(DWORD code, LPARAM value) {
    for (DWORD i = 0; i < count_; ++i) {
        const SCHEDENTRY& e = entries_[i];
        if (e.inUse && !e.object && (code == 0 || e.code == code) && (value == 0 || e.value == value))
            Free(i);
    }
}

void Schedule::RemoveFrame(DWORD frame) {
    for (DWORD i = 0; i < count_; ++i)
        if (entries_[i].inUse && entries_[i].frame == frame) Free(i);
}
