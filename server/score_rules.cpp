// The game's day numbers, name alphabet and signature, and the checks of one posted entry.
#include "score_rules.h"

namespace scores {

uint32_t dayNumber(const CivilDate& date) {
    return uint32_t(date.year) * 372 + uint32_t(date.month - 1) * 31 + uint32_t(date.day - 1);
}

CivilDate decodeDayNumber(uint32_t day) {
    return CivilDate{int(day / 31 / 12), int((day / 31) % 12 + 1), int(day % 31 + 1)};
}

bool isRealDate(const CivilDate& date) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.month < 1 || date.month > 12 || date.day < 1) return false;
    int last = kDays[date.month - 1];
    bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    if (date.month == 2 && leap) last = 29;
    return date.day <= last;
}

uint32_t dayNumberAt(std::time_t now, int utcOffsetHours) {
    std::time_t shifted = now + std::time_t(utcOffsetHours) * 3600;
    std::tm parts{};
    gmtime_r(&shifted, &parts);
    return dayNumber(CivilDate{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday});
}

uint32_t entrySignature(uint32_t score, uint32_t day, const std::u16string& encodedName) {
    uint32_t h = 0x3E5D9A17u ^ score ^ day;
    for (char16_t c : encodedName) {
        uint32_t code = c == u'@' ? 32u : uint32_t(c);
        h = ((h << 1) | (h >> 31)) ^ code;
    }
    return h;
}

bool parseUnsigned32(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > 0xFFFFFFFFull) return false;
    value = uint32_t(v);
    return true;
}

// The game keeps what its platform calls a letter or a digit and turns spaces into "@". ASCII letters and
// digits are certain; beyond ASCII the server cannot reproduce the device's character table, so it takes
// any character from U+00C0 on that is not a symbol, punctuation, private or surrogate code, and lets the
// signature decide. Controls, spaces, punctuation and everything outside the 16-bit range are refused: the
// game drops those before it signs.
static bool isNameCode(uint32_t c) {
    if (c == '@') return true;
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x2BFF) return false; // punctuation, symbols, arrows, boxes
    if (c >= 0x3000 && c <= 0x303F) return false; // CJK punctuation
    if (c >= 0xD800 && c <= 0xF8FF) return false; // surrogates and private use
    if (c >= 0xFE00 && c <= 0xFE0F) return false; // variation selectors
    if (c >= 0xFF00 && c <= 0xFF0F) return false; // full-width punctuation
    if (c >= 0xFFF0) return false;
    return c <= 0xFFFF;
}

bool decodeName(const std::string& name, std::u16string& codes) {
    codes.clear();
    size_t i = 0;
    while (i < name.size()) {
        unsigned char b = (unsigned char)name[i];
        uint32_t c;
        size_t extra;
        if (b < 0x80)
            c = b, extra = 0;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, extra = 1;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, extra = 2;
        else
            return false; // four-byte sequences lie outside the 16-bit range; the rest is not UTF-8
        if (i + extra >= name.size()) return false; // cut short
        for (size_t k = 1; k <= extra; k++) {
            unsigned char cont = (unsigned char)name[i + k];
            if ((cont & 0xC0) != 0x80) return false;
            c = (c << 6) | (cont & 0x3F);
        }
        // Overlong forms would let one character hide behind another.
        if ((extra == 1 && c < 0x80) || (extra == 2 && c < 0x800)) return false;
        if (!isNameCode(c)) return false;
        codes.push_back(char16_t(c));
        i += extra + 1;
    }
    return true;
}

Refusal checkEntry(const PostedFields& fields, uint32_t today, ScoreEntry& entry) {
    uint32_t score, day, signature;
    if (!parseUnsigned32(fields.score, score)) return Refusal::ScoreNotNumber;
    if (score < kLowestScore || score > kHighestScore || score % 5 != 0) return Refusal::ScoreUnreachable;
    if (!parseUnsigned32(fields.day, day)) return Refusal::DateNotNumber;
    CivilDate date = decodeDayNumber(day);
    if (!isRealDate(date)) return Refusal::DateNotReal;
    if (date.year < 2000) return Refusal::DateBefore2000;
    if (day > today) return Refusal::DateInFuture;
    std::u16string codes;
    if (!decodeName(fields.name, codes)) return Refusal::NameNotGame;
    if (codes.size() > kLongestName) return Refusal::NameTooLong;
    if (!parseUnsigned32(fields.signature, signature)) return Refusal::SignatureNotNumber;
    if (signature != entrySignature(score, day, codes)) return Refusal::SignatureMismatch;
    entry.score = score;
    entry.name = fields.name;
    entry.day = day;
    entry.signature = signature;
    return Refusal::None;
}

} // namespace scores
