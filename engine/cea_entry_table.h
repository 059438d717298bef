// `EntryTable` is a growable array of fixed-size entries kept through the memory manager; the animation
// window's filter and schedule tables are built on it. New entries are zero, and so are free ones.
#pragma once

#include <windows.h>

#include "mem_manager.h"

template <class Entry>
class EntryTable {
public:
    EntryTable() : entries_(nullptr), count_(0) {}
    ~EntryTable() { Reset(); }

    // Drops every entry and the array.
    void Reset() {
        if (entries_) MEMFREE(entries_);
        entries_ = nullptr;
        count_ = 0;
    }

    // Slots, used or free; the array may move whenever the table grows.
    DWORD GetCount() const { return count_; }
    const Entry* Get(DWORD index) const { return index < count_ ? &entries_[index] : nullptr; }

protected:
    // Makes room for at least `minimum` entries, `growth` at a time; FALSE (table unchanged) when it cannot.
    BOOL Grow(DWORD minimum, DWORD growth) { return MEMREALLOC(Entry, entries_, count_, minimum, growth); }

    Entry* entries_;
    DWORD count_;

private:
    EntryTable(const EntryTable&) = delete;
    EntryTable& operator=(const EntryTable&) = delete;
};
