// High-score table, its dates and checks, and the score server's addresses.
#include "high_scores.h"

#include <shellapi.h>

#include "game_rules.h"
#include "registry.h"
#include "tl_format.h"
#include "tl_language.h"

#ifndef VEXLIN_SCORE_SERVER
#error "VEXLIN_SCORE_SERVER names the score server (set by the game's CMake configuration)"
#endif

namespace {

const DWORD kCheckSeed = 0x3E5D9A17;
const DWORD kHighScoresVersion = 0x00010000;
const TCHAR kGameKey[] = TEXT("HKCU\\Software\\Tessel\\Vexlin");
const TCHAR kOwnerKey[] = TEXT("HKCU\\ControlPanel\\Owner");
const UINT kAnonymousString = 8;

const HighScoreEntry kDefaultTable[kHighScoreCount] = {
    {70000, 14, 0, 0}, {60000, 13, 0, 0}, {50000, 12, 0, 0}, {40000, 11, 0, 0}, {30000, 10, 0, 0},
    {24000, 9, 0, 0},  {22000, 8, 0, 0},  {18000, 7, 0, 0},  {15000, 6, 0, 0},
};

bool IsAsciiLetterOrDigit(TCHAR c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool ShellOpen(const string& url) {
    SHELLEXECUTEINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = TEXT("open");
    info.lpFile = url.Psz();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteEx(&info) != FALSE;
}

UrlOpener g_opener = ShellOpen;

} // namespace

DWORD DayNumber(DWORD year, DWORD month, DWORD day) { return year * 372 + (month - 1) * 31 + (day - 1); }

void DecodeDayNumber(DWORD dayNumber, DWORD* year, DWORD* month, DWORD* day) {
    *day = dayNumber % 31 + 1;
    *month = (dayNumber / 31) % 12 + 1;
    *year = dayNumber / 31 / 12;
}

DWORD TodayDayNumber() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DayNumber(now.wYear, now.wMonth, now.wDay);
}

DWORD HighScoreChecksum(const HighScoreEntry& entry) {
    return ((kCheckSeed ^ entry.date ^ entry.level ^ entry.score) * 2) ^ entry.score;
}

bool IsSignedEntry(const HighScoreEntry& entry) {
    return entry.check != 0 && entry.date != 0 && entry.check == HighScoreChecksum(entry);
}

void SetDefaultHighScores(HighScoreTable* table) {
    for (int i = 0; i < kHighScoreCount; i++) table->entries[i] = kDefaultTable[i];
}

void ValidateHighScores(HighScoreTable* table) {
    for (int i = 0; i < kHighScoreCount; i++) {
        HighScoreEntry& e = table->entries[i];
        if (e.check != 0 && e.check != HighScoreChecksum(e)) e.date = e.check = 0;
    }
}

int InsertHighScore(HighScoreTable* table, DWORD score, int level, DWORD today) {
    int place = 0;
    // Strictly greater: an equal score goes below the older one.
    while (place < kHighScoreCount && score <= table->entries[place].score) place++;
    if (place == kHighScoreCount) return -1;
    for (int i = kHighScoreCount - 1; i > place; i--) table->entries[i] = table->entries[i - 1];
    HighScoreEntry& e = table->entries[place];
    e.score = score;
    e.level = static_cast<DWORD>(DisplayedLevel(level));
    e.date = today;
    e.check = HighScoreChecksum(e);
    return place;
}

bool LoadHighScores(HighScoreTable* table) {
    HighScoreTable read;
    if (!RegValue(string(kGameKey), string(TEXT("HighScores")))
             .GetVersioned(kHighScoresVersion, &read, sizeof(read)))
        return false;
    *table = read;
    return true;
}

bool SaveHighScores(const HighScoreTable& table) {
    RegData data(&table, sizeof(table));
    return RegValue(string(kGameKey), string(TEXT("HighScores"))).SetVersioned(kHighScoresVersion, data);
}

string PlayerName() {
    string name;
    RegData data;
    if (RegValue(string(kOwnerKey), string(TEXT("Owner"))).GetBinary(data)) {
        // The name is the leading wide text of the record, up to its end or a terminator.
        const WCHAR* chars = reinterpret_cast<const WCHAR*>(data.Data());
        DWORD count = data.Size() / sizeof(WCHAR);
        DWORD length = 0;
        while (length < count && chars[length]) length++;
        if (length) name = string(chars, 0, length);
    }
    if (name.IsEmpty()) name = string(kAnonymousString);
    return name;
}

string EncodePlayerName(const string& name) {
    // Only ASCII letters and digits are kept, so that the name travels in the
    // query unescaped and the server signs exactly the characters it receives.
    string encoded;
    for (DWORD i = 0; i < name.GetLength(); i++) {
        TCHAR c = name[i];
        if (c == ' ')
            encoded += TEXT("@");
        else if (IsAsciiLetterOrDigit(c))
            encoded += c;
    }
    return encoded;
}

DWORD ScoreSignature(DWORD score, DWORD date, const string& encodedName) {
    DWORD h = kCheckSeed ^ score ^ date;
    for (DWORD i = 0; i < encodedName.GetLength(); i++) {
        TCHAR c = encodedName[i];
        DWORD code = c == '@' ? 32 : static_cast<DWORD>(static_cast<WORD>(c));
        h = ((h << 1) | (h >> 31)) ^ code;
    }
    return h;
}

const TCHAR* ScoreLanguageCode(LANGID language) {
    return language == kLangEsperanto ? TEXT("eo") : TEXT("en");
}

const TCHAR* ScoreServerAddress() { return TEXT(VEXLIN_SCORE_SERVER); }

string BuildPostScoresUrl(const TCHAR* server, const HighScoreTable& table, const string& playerName,
                          LANGID language) {
    string url(server);
    url += TEXT("/cgi-bin/score.cgi?post&game&10&lang&");
    url += ScoreLanguageCode(language);
    string name = EncodePlayerName(playerName);
    for (int i = 0; i < kHighScoreCount; i++) {
        const HighScoreEntry& e = table.entries[i];
        if (!IsSignedEntry(e)) continue;
        url += sformat(TEXT("&score&%lu&%s&%lu&%lu"), e.score, name.Psz(), e.date,
                       ScoreSignature(e.score, e.date, name));
    }
    return url;
}

string BuildScoresPageUrl(const TCHAR* server, LANGID language) {
    string url(server);
    url += TEXT("/vexlin/scores-");
    url += ScoreLanguageCode(language);
    url += TEXT(".html");
    return url;
}

UrlOpener SetUrlOpener(UrlOpener opener) {
    UrlOpener old = g_opener;
    g_opener = opener ? opener : ShellOpen;
    return old;
}

bool OpenUrl(const string& url) { return g_opener(url); }

void PostScores(const HighScoreTable& table) {
    OpenUrl(BuildPostScoresUrl(ScoreServerAddress(), table, PlayerName(), GetLanguage()));
}

void OpenScoresPage() { OpenUrl(BuildScoresPageUrl(ScoreServerAddress(), GetLanguage())); }
