// Builds score posts the way the game does, written apart from the server so that the tests catch a server
// that drifts from the game: the table entries with their checksums, the owner name's encoding, the
// signature and the URL of a post.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gamepost {

struct TableEntry {
    uint32_t score;
    uint32_t level;
    uint32_t date;
    uint32_t check;
};

uint32_t dayNumber(int year, int month, int day);
// Today's day number in UTC.
uint32_t today();
uint32_t entryChecksum(const TableEntry& entry);
// A table entry as a finished game makes it (internal level L shown as L - L/5).
TableEntry datedEntry(uint32_t score, uint32_t internalLevel, uint32_t date);
// The owner name as posted: spaces as "@", letters and digits kept, the rest dropped; an empty owner
// name is the game's anonymous name in the post's language.
std::u16string encodeOwnerName(const std::u16string& owner, bool esperanto);
uint32_t signature(uint32_t score, uint32_t date, const std::u16string& encodedName);
// UTF-8, with every byte beyond ASCII percent-encoded as a browser sends it.
std::string urlText(const std::u16string& encodedName);
// The path and query of a post of `table` (only entries that carry a valid date and check are sent).
std::string postTarget(bool esperanto, const std::vector<TableEntry>& table, const std::u16string& owner);
// One part, "&score&...", from the values as given (for building broken parts).
std::string part(const std::string& score, const std::string& name, const std::string& day,
                 const std::string& sig);
std::string part(uint32_t score, const std::u16string& encodedName, uint32_t day);

} // namespace gamepost
