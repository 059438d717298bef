// The table of the nine best scores: its defaults, the day numbers and
// checksums that date and sign real entries, insertion at game over, the
// player's name, and the two addresses of the score server (the posting URL
// and the scores page) with the seam through which they are opened.
#pragma once

#include <windows.h>

#include "tl_string.h"

// One place of the table: four little-endian 32-bit words as stored.
struct HighScoreEntry {
    DWORD score;
    DWORD level; // displayed level at the end of the game
    DWORD date;  // day number, 0 for none
    DWORD check; // checksum, 0 for none
};

const int kHighScoreCount = 9;

struct HighScoreTable {
    HighScoreEntry entries[kHighScoreCount];
};

// year x 372 + (month - 1) x 31 + (day - 1), the full year.
DWORD DayNumber(DWORD year, DWORD month, DWORD day);
void DecodeDayNumber(DWORD dayNumber, DWORD* year, DWORD* month, DWORD* day);
// Today's local date as a day number.
DWORD TodayDayNumber();

DWORD HighScoreChecksum(const HighScoreEntry& entry);
// An entry made by a real game: dated, checked, and its check still matches.
bool IsSignedEntry(const HighScoreEntry& entry);

void SetDefaultHighScores(HighScoreTable* table);
// Entries whose check no longer matches lose their date and check, not their score.
void ValidateHighScores(HighScoreTable* table);
// The place (0 to 8) a score of internal level `level` takes, dated `today`,
// or -1 when it is not better than the ninth entry (the table is unchanged).
int InsertHighScore(HighScoreTable* table, DWORD score, int level, DWORD today);

// "HighScores" under the game's key, a versioned record. Load fails (and
// leaves the table as it was) when the value is missing or of another layout.
bool LoadHighScores(HighScoreTable* table);
bool SaveHighScores(const HighScoreTable& table);

// The owner's name from the device's control panel, else the localized
// "Anonymous" (string 8 and its language pair).
string PlayerName();
// Spaces become "@", ASCII letters and digits stay, everything else goes.
string EncodePlayerName(const string& name);
// The signature of one posted entry over its encoded name ("@" counts as a space).
DWORD ScoreSignature(DWORD score, DWORD date, const string& encodedName);

// "en" for English, "eo" for Esperanto (language id 0).
const TCHAR* ScoreLanguageCode(LANGID language);
// The score server's address as configured in the build, without a trailing slash.
const TCHAR* ScoreServerAddress();
// The posting URL with every signed entry, best first; the base alone when none is.
string BuildPostScoresUrl(const TCHAR* server, const HighScoreTable& table, const string& playerName,
                          LANGID language);
string BuildScoresPageUrl(const TCHAR* server, LANGID language);

// How a URL reaches the browser. The default opens it with the shell's "open"
// verb; tests put their own in place. Returns the one that was in place (null
// restores the default).
typedef bool (*UrlOpener)(const string& url);
UrlOpener SetUrlOpener(UrlOpener opener);
// A failed browser start is ignored by the callers; the result is for tests.
bool OpenUrl(const string& url);

// Commands of the high-score screen, in the current language.
void PostScores(const HighScoreTable& table);
void OpenScoresPage();
