// score_urls: writes the addresses the game opens for "Post scores" and "Scores on the web", made by the
// game's own code, one a line into the file named on the command line, for the score server's agreement
// test. The table holds dated entries among the defaults; the owner name is set in the registry as the
// device keeps it, once with two words and a hyphen and once empty.
#include <windows.h>

#include <stdio.h>

#include "high_scores.h"
#include "tl_language.h"

namespace {

const WCHAR kOwnerKey[] = L"ControlPanel\\Owner";

// The owner's name as the control panel stores it: wide characters in a binary value.
bool SetOwner(const WCHAR* name) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kOwnerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    DWORD bytes = DWORD(lstrlenW(name) * sizeof(WCHAR));
    bool ok = RegSetValueExW(key, L"Owner", 0, REG_BINARY, reinterpret_cast<const BYTE*>(name), bytes) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

void RemoveOwner() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kOwnerKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, L"Owner");
    RegCloseKey(key);
}

bool WriteLine(FILE* out, const char* kind, const string& url) {
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, url.Psz16(), -1, utf8, sizeof(utf8), nullptr, nullptr);
    return n > 0 && fprintf(out, "%s %s\n", kind, utf8) > 0;
}

bool WriteUrls(FILE* out) {
    HighScoreTable table;
    SetDefaultHighScores(&table);
    // Three finished games on real dates; the defaults around them are never posted.
    if (InsertHighScore(&table, 123455, 23, DayNumber(2024, 2, 29)) != 0) return false;
    if (InsertHighScore(&table, 88880, 16, DayNumber(2025, 12, 31)) != 1) return false;
    if (InsertHighScore(&table, 45005, 11, TodayDayNumber()) < 0) return false;
    const WCHAR* owners[] = {L"Ann Lee-Smith", L""};
    const LANGID languages[] = {kLangEnglish, kLangEsperanto};
    for (const WCHAR* owner : owners) {
        if (!SetOwner(owner)) return false;
        for (LANGID language : languages) {
            if (!WriteLine(out, "post",
                           BuildPostScoresUrl(ScoreServerAddress(), table, PlayerName(), language)))
                return false;
        }
    }
    for (LANGID language : languages)
        if (!WriteLine(out, "page", BuildScoresPageUrl(ScoreServerAddress(), language))) return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: score_urls OUTPUT\n");
        return 2;
    }
    FILE* out = fopen(argv[1], "w");
    if (!out) return 1;
    bool ok = WriteUrls(out);
    RemoveOwner();
    if (ok) fprintf(out, "end\n");
    fclose(out);
    return ok ? 0 : 1;
}
