// `Schedule` holds what an animation window must do at given frame numbers: show or move an object, or
// raise an event with a code and a value. Free slots are reused before the table grows.
#pragma once

#include <windows.h>

#include "cea_entry_table.h"

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

class Schedule : public EntryTable<SCHEDENTRY> {
public:
    // Index of a new entry, or kNoEntry when the table cannot grow.
    DWORD AddObject(DWORD frame, AnimObject* object, Graphic* graphic, const RECT* rect);
    DWORD AddEvent(DWORD frame, DWORD code, LPARAM value);
    void Free(DWORD index);

    void RemoveObject(AnimObject* object);
    void RemoveGraphic(Graphic* graphic);
    // Code 0 and value 0 match any.
    void RemoveEvents(DWORD code, LPARAM value);
    void RemoveFrame(DWORD frame);

private:
    // A cleared entry in use for `frame` in the first free slot, else in new room; null when there is none.
    SCHEDENTRY* NewEntry(DWORD frame, DWORD* index);
};
