// The uninstall journal: every folder, file, registry key and value an installation created, in the order
// it created them, and the plain-text uninstall log that keeps the journal on disk for the uninstaller.
#pragma once

#include "cetl_vector.h"
#include "tl_string.h"

enum JournalKind {
    kJournalDeleteDir = 0, // remove the folder if it is empty
    kJournalDeleteFile,    // delete the file
    kJournalDeleteKey,     // delete the registry key if it has no subkeys and no values
    kJournalDeleteVal,     // delete the registry value (second text: the value name)
    kJournalAppHook,       // call the hook library at uninstall
    kJournalKinds
};

struct JournalEntry {
    DWORD kind;
    string first;  // a folder, file or hook library path, or a registry key path
    string second; // the value name of a "deleteval" entry, else empty
};

// The log keyword of a kind ("deletedir" ...); null for an unknown kind.
const CHAR* JournalKeyword(DWORD kind);

class Journal {
public:
    // Whether an entry of the same kind with an equal first text (and, for
    // "deleteval", an equal second text) is already there.
    bool Contains(DWORD kind, const string& first, const string& second = string()) const;
    // Appends the entry unless it is a duplicate or of an unknown kind; returns whether it was added.
    bool Add(DWORD kind, const string& first, const string& second = string());
    DWORD Count() const { return entries_.size(); }
    const JournalEntry& At(DWORD index) const { return entries_[index]; }
    void Clear() { entries_.clear(); }

    // The whole uninstall log: its ten header lines, then one line per entry.
    string ToLogText() const;
    // Replaces the entries with those of a log text. Reading stops at the first line that is not an
    // entry (an unknown keyword, a missing brace), keeping the entries read before it; the text may
    // hold anything, including zero bytes, and is read only within its length.
    void ReadLogText(const CHAR* text, DWORD length);

private:
    cetl::vector<JournalEntry> entries_;
};
