// Frame schedule of the animation window.
#include "cea_schedule.h"

#include <string.h>

SCHEDENTRY* Schedule::NewEntry(DWORD frame, DWORD* index) {
    DWORD slot = 0;
    while (slot < count_ && entries_[slot].inUse) ++slot;
    if (slot == count_ && !Grow(slot + 1, 16)) return nullptr;
    SCHEDENTRY& e = entries_[slot];
    memset(&e, 0, sizeof e);
    e.inUse = 1;
    e.frame = frame;
    *index = slot;
    return &e;
}

DWORD Schedule::AddObject(DWORD frame, AnimObject* object, Graphic* graphic, const RECT* rect) {
    DWORD index = kNoEntry;
    SCHEDENTRY* e = object ? NewEntry(frame, &index) : nullptr;
    if (!e) return kNoEntry;
    e->object = object;
    e->graphic = graphic;
    if (rect) e->rect = *rect;
    return index;
}

DWORD Schedule::AddEvent(DWORD frame, DWORD code, LPARAM value) {
    DWORD index = kNoEntry;
    SCHEDENTRY* e = NewEntry(frame, &index);
    if (!e) return kNoEntry;
    e->code = code;
    e->value = value;
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
