// The high-score table and the score server's addresses: insertion order,
// validation of edited entries, the registry record, the owner's name and
// the posting URL with its signatures, and the seam that opens URLs.
#include <gtest/gtest.h>

#include <string>

#include "high_scores.h"
#include "registry.h"
#include "string_table_module.h"
#include "tl_language.h"

namespace {

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(
    new ResourceModuleEnvironment({{1, L"EN,EO"}, {8, L"Anonymous"}, {9, L"Nenomita"}}));

std::wstring W(const string& s) { return std::wstring(s.Psz16()); }

// The signature as the server computes it, over the name with its spaces.
DWORD ReferenceSignature(DWORD score, DWORD date, const std::wstring& nameWithSpaces) {
    DWORD h = 0x3E5D9A17u ^ score ^ date;
    for (wchar_t c : nameWithSpaces) h = ((h << 1) | (h >> 31)) ^ static_cast<DWORD>(c);
    return h;
}

HighScoreTable Defaults() {
    HighScoreTable t;
    SetDefaultHighScores(&t);
    return t;
}

TEST(HighScores, DayNumbersRoundTripAndUseTheFullYear) {
    EXPECT_EQ(2003u * 372 + 1 * 31 + 13, DayNumber(2003, 2, 14));
    DWORD y, m, d;
    DecodeDayNumber(DayNumber(2026, 12, 31), &y, &m, &d);
    EXPECT_EQ(2026u, y);
    EXPECT_EQ(12u, m);
    EXPECT_EQ(31u, d);
    DecodeDayNumber(TodayDayNumber(), &y, &m, &d);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, y);
    EXPECT_EQ(now.wMonth, m);
    EXPECT_EQ(now.wDay, d);
}

TEST(HighScores, ChecksumDoublingDropsTheTopBit) {
    HighScoreEntry e = {0x80000000u, 0, 0, 0};
    // (seed ^ score) has its top bit set; doubling drops it, then score is mixed in again.
    EXPECT_EQ(((0x3E5D9A17u ^ 0x80000000u) << 1) ^ 0x80000000u, HighScoreChecksum(e));
    HighScoreEntry f = {1234, 7, DayNumber(2004, 5, 6), 0};
    EXPECT_EQ(((0x3E5D9A17u ^ f.date ^ 7u ^ 1234u) * 2u) ^ 1234u, HighScoreChecksum(f));
}

TEST(HighScores, InsertPlacesEqualScoresBelowAndDropsTheNinth) {
    HighScoreTable t = Defaults();
    DWORD today = DayNumber(2026, 12, 7);
    EXPECT_EQ(-1, InsertHighScore(&t, 15000, 3, today)) << "equal to the ninth stays out";
    EXPECT_EQ(15000u, t.entries[8].score);
    EXPECT_EQ(0u, t.entries[8].date);
    EXPECT_EQ(8, InsertHighScore(&t, 15001, 3, today)) << "one point more enters";
    EXPECT_EQ(15001u, t.entries[8].score);
    EXPECT_EQ(4, InsertHighScore(&t, 40000, 11, today)) << "equal to place 4 goes below it";
    EXPECT_EQ(40000u, t.entries[3].score);
    EXPECT_EQ(0u, t.entries[3].date) << "the older entry stays above";
    EXPECT_EQ(40000u, t.entries[4].score);
    EXPECT_EQ(today, t.entries[4].date);
    EXPECT_EQ(18000u, t.entries[8].score) << "15001 dropped off the end";

    HighScoreTable best = Defaults();
    EXPECT_EQ(0, InsertHighScore(&best, 999999, 12, today));
    EXPECT_EQ(999999u, best.entries[0].score);
    EXPECT_EQ(10u, best.entries[0].level) << "internal level 12 is displayed as 10";
    EXPECT_EQ(today, best.entries[0].date);
    EXPECT_EQ(HighScoreChecksum(best.entries[0]), best.entries[0].check);
    for (int i = 1; i < kHighScoreCount; i++)
        EXPECT_EQ(Defaults().entries[i - 1].score, best.entries[i].score);
}

TEST(HighScores, ValidationStripsOnlyTheDateOfAnEditedEntry) {
    HighScoreTable t = Defaults();
    DWORD today = DayNumber(2026, 1, 2);
    InsertHighScore(&t, 80000, 15, today);
    InsertHighScore(&t, 75000, 14, today);
    t.entries[1].score = 75500; // edited in the registry
    ValidateHighScores(&t);
    EXPECT_EQ(80000u, t.entries[0].score);
    EXPECT_EQ(today, t.entries[0].date);
    EXPECT_NE(0u, t.entries[0].check);
    EXPECT_EQ(75500u, t.entries[1].score) << "the edited score stays";
    EXPECT_EQ(0u, t.entries[1].date);
    EXPECT_EQ(0u, t.entries[1].check);
    EXPECT_EQ(70000u, t.entries[2].score) << "default entries are left alone";
}

TEST(HighScores, PostingUrlCarriesSignedEntriesWithTheEncodedName) {
    HighScoreTable t = Defaults();
    DWORD day1 = DayNumber(2026, 3, 4), day2 = DayNumber(2026, 3, 5);
    EXPECT_EQ(0, InsertHighScore(&t, 90000, 16, day2));
    EXPECT_EQ(8, InsertHighScore(&t, 20000, 2, day1));
    string name(L"Ann Lee-Ma!");
    EXPECT_EQ(L"Ann@LeeMa", W(EncodePlayerName(name)));
    DWORD s0 = ReferenceSignature(90000, day2, L"Ann LeeMa");
    DWORD s8 = ReferenceSignature(20000, day1, L"Ann LeeMa");
    EXPECT_EQ(s0, ScoreSignature(90000, day2, EncodePlayerName(name)));
    std::wstring expected =
        L"http://scores.test/cgi-bin/score.cgi?post&game&10&lang&en&score&90000&Ann@LeeMa&" +
        std::to_wstring(day2) + L"&" + std::to_wstring(s0) + L"&score&20000&Ann@LeeMa&" +
        std::to_wstring(day1) + L"&" + std::to_wstring(s8);
    EXPECT_EQ(expected, W(BuildPostScoresUrl(TEXT("http://scores.test"), t, name, kLangEnglish)));
}

TEST(HighScores, DefaultAndTamperedEntriesAreNeverPosted) {
    HighScoreTable t = Defaults();
    EXPECT_EQ(L"http://s/cgi-bin/score.cgi?post&game&10&lang&eo",
              W(BuildPostScoresUrl(TEXT("http://s"), t, string(L"X"), kLangEsperanto)));
    InsertHighScore(&t, 100000, 3, DayNumber(2026, 1, 1));
    t.entries[0].level = 9; // check no longer matches
    EXPECT_EQ(L"http://s/cgi-bin/score.cgi?post&game&10&lang&en",
              W(BuildPostScoresUrl(TEXT("http://s"), t, string(L"X"), kLangEnglish)));
    t.entries[0].level = 3;
    t.entries[0].date = 0; // undated entries are never posted either
    t.entries[0].check = HighScoreChecksum(t.entries[0]);
    EXPECT_EQ(L"http://s/cgi-bin/score.cgi?post&game&10&lang&en",
              W(BuildPostScoresUrl(TEXT("http://s"), t, string(L"X"), kLangEnglish)));
}

TEST(HighScores, ScoresPageAndConfiguredServer) {
    EXPECT_EQ(L"http://s:1/vexlin/scores-en.html", W(BuildScoresPageUrl(TEXT("http://s:1"), kLangEnglish)));
    EXPECT_EQ(L"http://s:1/vexlin/scores-eo.html", W(BuildScoresPageUrl(TEXT("http://s:1"), kLangEsperanto)));
    std::wstring server = ScoreServerAddress();
    EXPECT_EQ(0u, server.rfind(L"http", 0));
    EXPECT_NE(L'/', server.back());
}

// Saves and restores one registry value around a test.
class SavedValue {
public:
    SavedValue(const wchar_t* key, const wchar_t* name) : value_(string(key), string(name)) {
        had_ = value_.GetBinary(data_);
    }
    ~SavedValue() {
        if (had_)
            value_.SetBinary(data_);
        else
            value_.DeleteValue(value_.Name());
    }
    const RegValue& value() const { return value_; }

private:
    RegValue value_;
    RegData data_;
    bool had_;
};

std::wstring g_opened;
int g_openCount = 0;
bool CaptureUrl(const string& url) {
    g_opened = W(url);
    g_openCount++;
    return true;
}

TEST(HighScores, OwnerNameOrLocalizedAnonymousIsPosted) {
    SavedValue owner(L"HKCU\\ControlPanel\\Owner", L"Owner");
    UrlOpener old = SetUrlOpener(CaptureUrl);
    HighScoreTable t = Defaults();
    DWORD day = DayNumber(2026, 6, 1);
    InsertHighScore(&t, 123456, 8, day);

    // The owner record: the name in wide characters, then more of the record.
    std::wstring record = std::wstring(L"Zoe Ng-Li") + L'\0' + L"company";
    owner.value().Set(REG_BINARY, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)));
    EXPECT_EQ(L"Zoe Ng-Li", W(PlayerName()));
    SetLanguage(kLangEnglish);
    PostScores(t);
    std::wstring tail = L"&score&123456&Zoe@NgLi&" + std::to_wstring(day) + L"&" +
                        std::to_wstring(ReferenceSignature(123456, day, L"Zoe NgLi"));
    EXPECT_EQ(std::wstring(ScoreServerAddress()) + L"/cgi-bin/score.cgi?post&game&10&lang&en" + tail,
              g_opened);

    owner.value().Set(REG_BINARY, L"\0\0", 4);
    EXPECT_EQ(L"Anonymous", W(PlayerName()));
    PostScores(t);
    EXPECT_NE(std::wstring::npos, g_opened.find(L"&score&123456&Anonymous&"))
        << std::string(g_opened.begin(), g_opened.end());
    owner.value().DeleteValue(string(L"Owner"));
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(L"Nenomita", W(PlayerName()));
    PostScores(t);
    EXPECT_NE(std::wstring::npos, g_opened.find(L"lang&eo&score&123456&Nenomita&"));
    OpenScoresPage();
    EXPECT_EQ(std::wstring(ScoreServerAddress()) + L"/vexlin/scores-eo.html", g_opened);
    SetLanguage(kLangEnglish);
    EXPECT_EQ(4, g_openCount);
    SetUrlOpener(old);
}

TEST(HighScores, RegistryRecordRoundTripsAndRejectsOtherLayouts) {
    SavedValue stored(L"HKCU\\Software\\Tessel\\Vexlin", L"HighScores");
    HighScoreTable t = Defaults();
    InsertHighScore(&t, 77777, 20, DayNumber(2026, 7, 7));
    ASSERT_TRUE(SaveHighScores(t));
    EXPECT_EQ(148u, stored.value().GetSize());
    HighScoreTable read;
    SetDefaultHighScores(&read);
    ASSERT_TRUE(LoadHighScores(&read));
    EXPECT_EQ(0, memcmp(&t, &read, sizeof(t)));

    DWORD otherMajor[2] = {0x00020000, 5};
    stored.value().Set(REG_BINARY, otherMajor, sizeof(otherMajor));
    HighScoreTable kept = Defaults();
    EXPECT_FALSE(LoadHighScores(&kept));
    EXPECT_EQ(70000u, kept.entries[0].score);
}

} // namespace
