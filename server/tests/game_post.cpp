// The game's side of a score post, for the tests.
#include "game_post.h"

#include <ctime>

namespace gamepost {

uint32_t dayNumber(int year, int month, int day) { return uint32_t(year * 372 + (month - 1) * 31 + day - 1); }

uint32_t today() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    return dayNumber(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

uint32_t entryChecksum(const TableEntry& e) {
    return ((0x3E5D9A17u ^ e.date ^ e.level ^ e.score) * 2u) ^ e.score;
}

TableEntry datedEntry(uint32_t score, uint32_t internalLevel, uint32_t date) {
    TableEntry e{score, internalLevel - internalLevel / 5, date, 0};
    e.check = entryChecksum(e);
    return e;
}

static bool isLetterOrDigit(char16_t c) {
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    // Latin-1 and Latin Extended-A letters, enough for the names the tests use.
    return c >= 0xC0 && c <= 0x17F && c != 0xD7 && c != 0xF7;
}

std::u16string encodeOwnerName(const std::u16string& owner, bool esperanto) {
    std::u16string name = owner.empty() ? (esperanto ? u"Nenomita" : u"Anonymous") : owner;
    std::u16string out;
    for (char16_t c : name) {
        if (c == u' ')
            out += u'@';
        else if (isLetterOrDigit(c))
            out += c;
    }
    return out;
}

uint32_t signature(uint32_t score, uint32_t date, const std::u16string& encodedName) {
    uint32_t h = 0x3E5D9A17u ^ score ^ date;
    for (char16_t c : encodedName) h = ((h << 1) | (h >> 31)) ^ uint32_t(c == u'@' ? u' ' : c);
    return h;
}

std::string urlText(const std::u16string& encodedName) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    auto escaped = [&](unsigned v) {
        out += '%';
        out += hex[v >> 4];
        out += hex[v & 15];
    };
    for (char16_t c : encodedName) {
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
            escaped(0xC0 | (c >> 6)), escaped(0x80 | (c & 0x3F));
        else
            escaped(0xE0 | (c >> 12)), escaped(0x80 | ((c >> 6) & 0x3F)), escaped(0x80 | (c & 0x3F));
    }
    return out;
}

std::string part(const std::string& score, const std::string& name, const std::string& day,
                 const std::string& sig) {
    return "&score&" + score + "&" + name + "&" + day + "&" + sig;
}

std::string part(uint32_t score, const std::u16string& encodedName, uint32_t day) {
    return part(std::to_string(score), urlText(encodedName), std::to_string(day),
                std::to_string(signature(score, day, encodedName)));
}

std::string postTarget(bool esperanto, const std::vector<TableEntry>& table, const std::u16string& owner) {
    std::string target = std::string("/cgi-bin/score.cgi?post&game&10&lang&") + (esperanto ? "eo" : "en");
    std::u16string name = encodeOwnerName(owner, esperanto);
    for (const TableEntry& e : table)
        if (e.check != 0 && e.date != 0 && e.check == entryChecksum(e)) target += part(e.score, name, e.date);
    return target;
}

} // namespace gamepost
