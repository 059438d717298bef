// The checks a posted score entry must pass before it is stored: the game's day numbers, the alphabet of
// the names it sends and the signature it computes, so that the server keeps exactly what a real game
// produced and says why it refuses anything else.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace scores {

enum class Language { English, Esperanto };

struct CivilDate {
    int year;
    int month; // 1 to 12
    int day;   // 1 to 31
};

// The game's day number: year x 372 + (month - 1) x 31 + (day - 1).
uint32_t dayNumber(const CivilDate& date);
CivilDate decodeDayNumber(uint32_t day);
// True for a date of the Gregorian calendar (no 30 February).
bool isRealDate(const CivilDate& date);
// The day number of the calendar date at `utcOffsetHours` from UTC at the moment `now`.
uint32_t dayNumberAt(std::time_t now, int utcOffsetHours);

// The signature the game appends to each posted entry; `encodedName` holds the name as sent (UTF-8,
// spaces as "@"), each of its characters counted by its UTF-16 code.
uint32_t entrySignature(uint32_t score, uint32_t day, const std::u16string& encodedName);

// Lowest and highest score a dated table entry can hold: a new entry must beat the lowest entry of the
// default table (15000), and the game's score display stops at nine digits. Every point the game awards
// is a multiple of five, and so is the advanced start's 7500.
constexpr uint32_t kLowestScore = 15005;
constexpr uint32_t kHighestScore = 999999995;
// A longer name than any owner name the device keeps is refused rather than stored.
constexpr size_t kLongestName = 64;

enum class Refusal {
    None,
    ScoreNotNumber,
    ScoreUnreachable,
    DateNotNumber,
    DateNotReal,
    DateBefore2000,
    DateInFuture,
    NameNotGame,
    NameTooLong,
    SignatureNotNumber,
    SignatureMismatch,
};

// One posted entry as it arrived: the four fields of its part, percent-decoded.
struct PostedFields {
    std::string score;
    std::string name;
    std::string day;
    std::string signature;
};

// One entry that passed every check.
struct ScoreEntry {
    uint32_t score = 0;
    std::string name; // as sent: UTF-8, spaces as "@"
    uint32_t day = 0;
    uint32_t signature = 0;
};

// Checks one posted entry against `today` (the latest day number any device can have now). Fills `entry`
// and answers Refusal::None when it is accepted, else the first reason found.
Refusal checkEntry(const PostedFields& fields, uint32_t today, ScoreEntry& entry);

// Parses a decimal number as the game writes it with "%lu": digits only, no sign, at most 4294967295.
bool parseUnsigned32(const std::string& text, uint32_t& value);

// Decodes the encoded name into UTF-16 codes; false when it holds a character the game never sends.
bool decodeName(const std::string& name, std::u16string& codes);

} // namespace scores
