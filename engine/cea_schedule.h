// `Schedule` holds what an animation window must do at given frame numbers: show or move an object, or
// raise an event with a code and a value. Free slots are reused before the table grows.
#pragma once

#include <windows.h>

class AnimObject;
class Graphic;

const DWORD kNoEntry = 0xFFFFFFFF;

struct SCHEDENTRY {
    DWORD inUse;
    DWORD frame;
    AnimObject* object; // null for an event
    union {
        Graphic* graphic; // for an object: shown from that frame on (may be null)
        DWORD code;       // for an event
    };
    union {
        RECT rect;    // for an object: where it moves (empty: it stays)
        LPARAM value; // for an event
    };
};

class Schedule {
public:
    Schedule();
    ~Schedule();

    // Index of a new entry, or kNoEntry when the table cannot grow.
    DWORD AddObject(DWORD frame, AnimObject* object, Graphic* graphic, const RECT* rect);
    DWORD AddEvent(DWORD frame, DWORD code, LPARAM value);
    void Free(DWORD index);

    void RemoveObject(AnimObject* object);
    void RemoveGraphic(Graphic* graphic);
    // Code 0 and value 0 match any.
    void RemoveEvents(DWORD code, LPARAM value);
    void RemoveFrame(DWORD frame);

    // Drops every entry and the table.
    void Reset();

    // Slots, used or free; the table may move whenever an entry is added.
    DWORD GetCount() const { return count_; }
    const SCHEDENTRY* Get(DWORD index) const { return index < count_ ? &entries_[index] : nullptr; }

private:
    Schedule(const Schedule&) = delete;
    Schedule& operator=(const Schedule&) = delete;

    DWORD NewEntry();

    SCHEDENTRY* entries_;
    DWORD count_;
};
