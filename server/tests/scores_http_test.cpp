// The score server over real HTTP on the loopback interface, against SQLite and against a private
// PostgreSQL: posts kept, repeated and refused, the scores pages, escaping, bad requests, the rate
// limit, restarts, concurrent posting and a kill in the middle of a burst.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "game_post.h"
#include "test_support.h"

using namespace testsupport;
using gamepost::datedEntry;
using gamepost::part;
using gamepost::postTarget;

namespace {

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) n++;
    return n;
}

const std::string kBase = "/cgi-bin/score.cgi?post&game&10&lang&en";
const std::string kBaseEo = "/cgi-bin/score.cgi?post&game&10&lang&eo";

class ScoresHttp : public ::testing::TestWithParam<TestDatabase::Kind> {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        db_ = std::make_unique<TestDatabase>(GetParam(), info->name());
        ASSERT_FALSE(db_->database().empty()) << db_->error();
    }

    // Starts a server on this test's database; the rate limit is off unless asked for.
    void startServer(ServerProcess& server, const std::string& rateLimit = "0") {
        std::string error;
        ASSERT_TRUE(
            server.start({"--database", db_->database(), "--rate-limit", rateLimit, "--threads", "8"}, error))
            << error;
    }

    std::unique_ptr<TestDatabase> db_;
};

uint32_t daysAgo(uint32_t n) {
    // Day numbers count 31 days a month, so step back through real dates.
    std::time_t t = std::time(nullptr) - std::time_t(n) * 86400;
    std::tm parts{};
    gmtime_r(&t, &parts);
    return gamepost::dayNumber(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

TEST_P(ScoresHttp, KeepsNewEntriesOnceAndRefusesForged) {
    ServerProcess server;
    startServer(server);
    uint32_t d1 = daysAgo(40), d2 = daysAgo(3);
    std::vector<gamepost::TableEntry> table = {datedEntry(123455, 23, d1),
                                               datedEntry(40005, 11, d2),
                                               {30000, 10, 0, 0} /* a default entry: never posted */};
    std::string target = postTarget(false, table, u"Ann Lee-Smith");
    EXPECT_EQ(std::string::npos, target.find("&30000&")) << target;

    HttpAnswer first = get(server.port(), target);
    ASSERT_EQ(200, first.status) << first.body;
    EXPECT_EQ(2u, occurrences(first.body, "<li>Kept: ")) << first.body;
    EXPECT_NE(std::string::npos, first.body.find("123,455 &ndash; Ann LeeSmith")) << first.body;
    EXPECT_NE(std::string::npos, first.body.find("href=\"/vexlin/scores-en.html\""));

    // The same post again, now in Esperanto: nothing new, both reported as already kept.
    HttpAnswer again = get(server.port(), postTarget(true, {datedEntry(123455, 23, d1)}, u"Ann Lee-Smith"));
    ASSERT_EQ(200, again.status);
    EXPECT_EQ(1u, occurrences(again.body, "<li>Jam en la listo: ")) << again.body;
    EXPECT_NE(std::string::npos, again.body.find("<html lang=\"eo\">"));
    EXPECT_NE(std::string::npos, again.body.find("href=\"/vexlin/scores-eo.html\""));

    EXPECT_EQ(1, db_->countEntry(123455, "Ann@LeeSmith", d1));
    EXPECT_EQ(1, db_->countEntry(40005, "Ann@LeeSmith", d2));
    EXPECT_EQ(2, db_->countRows());

    // One digit changed anywhere, the rest of the post intact: that part alone is refused.
    std::string good = part(50005, u"Bo", d2);
    std::string forgedScore =
        part("50015", "Bo", std::to_string(d2), std::to_string(gamepost::signature(50005, d2, u"Bo")));
    std::string forgedName =
        part("50005", "Bp", std::to_string(d2), std::to_string(gamepost::signature(50005, d2, u"Bo")));
    HttpAnswer mixed = get(server.port(), kBase + forgedScore + good + forgedName);
    ASSERT_EQ(200, mixed.status);
    EXPECT_EQ(1u, occurrences(mixed.body, "<li>Kept: 50,005")) << mixed.body;
    EXPECT_EQ(2u, occurrences(mixed.body, "the signature does not match the entry")) << mixed.body;
    EXPECT_EQ(3, db_->countRows());

    // A table with no qualifying entry opens the base address alone.
    HttpAnswer empty = get(server.port(), kBaseEo);
    ASSERT_EQ(200, empty.status);
    EXPECT_NE(std::string::npos, empty.body.find("Neniu poentaro estis sendita")) << empty.body;
    EXPECT_TRUE(server.stop());
    // One log line per request, with the outcome of each post.
    std::string log = server.log();
    EXPECT_EQ(4u, occurrences(log, "GET /cgi-bin/score.cgi?post&game&10&lang&")) << log;
    EXPECT_NE(std::string::npos, log.find(" 200 kept=2 already=0 refused=0")) << log;
}

TEST_P(ScoresHttp, RefusesEachFaultWithItsReason) {
    ServerProcess server;
    startServer(server);
    uint32_t d = daysAgo(1);
    // The second of January next year lies at least a day past the date of any time zone now.
    uint32_t tomorrowUtc14 = gamepost::dayNumber(int(daysAgo(0) / 372) + 1, 1, 2);
    auto signedPart = [](uint32_t score, const std::string& name, uint32_t day) {
        std::u16string n(name.begin(), name.end());
        return part(std::to_string(score), name, std::to_string(day),
                    std::to_string(gamepost::signature(score, day, n)));
    };
    struct Case {
        std::string part, reasonEn, reasonEo;
    } cases[] = {
        {part("12x45", "Al", std::to_string(d), "1"), "the score is not a number",
         "la poentaro ne estas nombro"},
        {signedPart(15000, "Al", d), "the game cannot reach this score",
         "la ludo ne povas atingi ĉi tiun poentaron"},
        {signedPart(20001, "Al", d), "the game cannot reach this score", ""},
        {signedPart(1000000000, "Al", d), "the game cannot reach this score", ""},
        {part("20000", "Al", "-5", "1"), "the date is not a day number", "la dato ne estas taga numero"},
        {signedPart(20000, "Al", gamepost::dayNumber(2024, 2, 30)), "the date is not a real date",
         "la dato ne estas vera dato"},
        {signedPart(20000, "Al", gamepost::dayNumber(1999, 12, 31)), "the date is before 2000",
         "la dato estas antaŭ 2000"},
        {signedPart(20000, "Al", tomorrowUtc14), "the date is in the future",
         "la dato estas en la estonteco"},
        {signedPart(20000, "A-l", d), "the name holds characters the game does not send",
         "la nomo enhavas signojn"},
        {signedPart(20000, std::string(65, 'x'), d), "the name is too long", "la nomo estas tro longa"},
        {part("20000", "Al", std::to_string(d), "4294967296"), "the signature is not a number",
         "la subskribo ne estas nombro"},
        {part("20000", "Al", std::to_string(d), "17"), "the signature does not match the entry",
         "la subskribo ne kongruas"},
    };
    for (const Case& c : cases) {
        HttpAnswer en = get(server.port(), kBase + c.part);
        ASSERT_EQ(200, en.status) << c.part;
        EXPECT_NE(std::string::npos, en.body.find("<li class=\"refused\">Refused: ")) << c.part << "\n"
                                                                                      << en.body;
        EXPECT_NE(std::string::npos, en.body.find(c.reasonEn)) << c.part << "\n" << en.body;
        if (!c.reasonEo.empty()) {
            HttpAnswer eo = get(server.port(), kBaseEo + c.part);
            EXPECT_NE(std::string::npos, eo.body.find(c.reasonEo)) << c.part << "\n" << eo.body;
            EXPECT_NE(std::string::npos, eo.body.find("Rifuzita: ")) << eo.body;
        }
    }
    EXPECT_EQ(0, db_->countRows());
    // A leap day is a real date; a name beyond ASCII, percent-encoded as a browser sends it, is kept.
    HttpAnswer leap = get(server.port(), kBase + signedPart(20000, "Al", gamepost::dayNumber(2024, 2, 29)) +
                                             part(20000, u"\u0108iela@\u015Cipo", d));
    EXPECT_EQ(2u, occurrences(leap.body, "<li>Kept: ")) << leap.body;
    EXPECT_NE(std::string::npos, leap.body.find("Ĉiela Ŝipo")) << leap.body;
    EXPECT_EQ(1, db_->countEntry(20000, "Ĉiela@Ŝipo", d));
}

TEST_P(ScoresHttp, ScoresPagesListBestOfAllTimeAndOfThisMonth) {
    ServerProcess server;
    startServer(server);
    // An old record, this month's entries, and an empty owner name (posted as the anonymous name).
    uint32_t old = gamepost::dayNumber(2003, 8, 14);
    uint32_t today = daysAgo(0);
    ASSERT_EQ(200,
              get(server.port(), postTarget(false, {datedEntry(1234565, 40, old)}, u"Old Timer")).status);
    ASSERT_EQ(200,
              get(server.port(), postTarget(false, {datedEntry(88880, 16, today)}, u"New Comer")).status);
    ASSERT_EQ(200, get(server.port(), postTarget(true, {datedEntry(77775, 15, today)}, u"")).status);
    ASSERT_EQ(200, get(server.port(), postTarget(false, {datedEntry(66665, 14, today)}, u"")).status);

    HttpAnswer en = get(server.port(), "/vexlin/scores-en.html");
    ASSERT_EQ(200, en.status);
    EXPECT_NE(std::string::npos, en.body.find("<meta charset=\"utf-8\">"));
    EXPECT_NE(std::string::npos, en.body.find("name=\"viewport\""));
    EXPECT_EQ(std::string::npos, en.body.find("<script"));
    size_t allTime = en.body.find("Best of all time"), month = en.body.find("Best of ", allTime + 1);
    ASSERT_NE(std::string::npos, allTime);
    ASSERT_NE(std::string::npos, month);
    std::string allTimeList = en.body.substr(allTime, month - allTime), monthList = en.body.substr(month);
    // Best first, place, the name with its space, thousands separators, the date.
    size_t a = allTimeList.find("1,234,565"), b = allTimeList.find("88,880"), c = allTimeList.find("77,775"),
           e = allTimeList.find("66,665");
    ASSERT_TRUE(a != std::string::npos && b != std::string::npos && c != std::string::npos &&
                e != std::string::npos)
        << allTimeList;
    EXPECT_TRUE(a < b && b < c && c < e) << allTimeList;
    EXPECT_NE(std::string::npos, allTimeList.find("<td class=\"n\">1.</td><td>Old Timer</td>"))
        << allTimeList;
    EXPECT_NE(std::string::npos, allTimeList.find("14 August 2003"));
    EXPECT_NE(std::string::npos, allTimeList.find("<td>Nenomita</td>")) << allTimeList; // posted in Esperanto
    EXPECT_NE(std::string::npos, allTimeList.find("<td>Anonymous</td>")) << allTimeList;
    EXPECT_EQ(std::string::npos, monthList.find("1,234,565")) << monthList;
    EXPECT_NE(std::string::npos, monthList.find("<td class=\"n\">1.</td><td>New Comer</td>")) << monthList;

    HttpAnswer eo = get(server.port(), "/vexlin/scores-eo.html");
    ASSERT_EQ(200, eo.status);
    EXPECT_NE(std::string::npos, eo.body.find("<html lang=\"eo\">"));
    EXPECT_NE(std::string::npos, eo.body.find("Plej bonaj de ĉiam"));
    EXPECT_NE(std::string::npos, eo.body.find("14-a de aŭgusto 2003")) << eo.body;
    EXPECT_NE(std::string::npos, eo.body.find("Poentaro"));
    EXPECT_NE(std::string::npos, eo.body.find("href=\"/vexlin/scores-en.html\""));
}

TEST_P(ScoresHttp, EscapesEverythingItPrints) {
    ServerProcess server;
    startServer(server);
    // Echoed input of a refused part.
    HttpAnswer refused =
        get(server.port(), kBase + part("<b>1</b>", "%3Cscript%3Ealert(1)%3C/script%3E", "1", "2"));
    ASSERT_EQ(200, refused.status);
    EXPECT_EQ(std::string::npos, refused.body.find("<script>")) << refused.body;
    EXPECT_EQ(std::string::npos, refused.body.find("<b>")) << refused.body;
    EXPECT_NE(std::string::npos, refused.body.find("&lt;script&gt;alert(1)&lt;/script&gt;")) << refused.body;
    // Stored names that a careless writer let in are escaped on the pages too.
    uint32_t today = daysAgo(0);
    ASSERT_TRUE(db_->insertRaw(999995, "<img src=x onerror=alert(1)>&\"'", today));
    // PostgreSQL refuses bytes that are not UTF-8 itself; SQLite stores whatever it is given.
    std::string broken = db_->kind() == TestDatabase::Sqlite ? "bad\x01\xff" : "bad\x01\x02";
    ASSERT_TRUE(db_->insertRaw(999990, broken + "byte", today));
    for (const char* page : {"/vexlin/scores-en.html", "/vexlin/scores-eo.html"}) {
        HttpAnswer a = get(server.port(), page);
        ASSERT_EQ(200, a.status);
        EXPECT_EQ(std::string::npos, a.body.find("<img")) << a.body;
        EXPECT_NE(std::string::npos, a.body.find("&lt;img src=x onerror=alert(1)&gt;&amp;&quot;&#39;"))
            << a.body;
        EXPECT_NE(std::string::npos, a.body.find("bad??byte")) << a.body;
    }
}

TEST_P(ScoresHttp, UnknownPathsAndMalformedPostsAreRefusedWhole) {
    ServerProcess server;
    startServer(server);
    EXPECT_EQ(404, get(server.port(), "/").status);
    EXPECT_EQ(404, get(server.port(), "/vexlin/scores-de.html").status);
    EXPECT_EQ(404, get(server.port(), "/cgi-bin/score.cgi.bak?post&game&10&lang&en").status);
    EXPECT_EQ(200, get(server.port(), "/health").status);
    std::string ok = part(20000, u"Al", daysAgo(1));
    struct Case {
        std::string target, reason;
    } cases[] = {
        {"/cgi-bin/score.cgi", "does not begin with post&game&10&lang&"},
        {"/cgi-bin/score.cgi?post&game&11&lang&en" + ok, "does not begin with"},
        {"/cgi-bin/score.cgi?post&game&10&lang&de" + ok, "neither en nor eo"},
        {kBase + ok + "&score&1&2&3", "does not have the form"},
        {kBase + ok + "&", "does not have the form"},
        {kBase + "&points&20000&Al&1&2", "does not begin with score&"},
        {kBase + "&score&20000&A%zzl&1&2", "broken %-escape"},
        {kBase + "&score&20000&A%00l&1&2", "broken %-escape"},
        {kBase + ok + ok + ok + ok + ok + ok + ok + ok + ok + ok, "more than 9 score parts"},
        {kBase + "&score&20000&" + std::string(4200, 'a') + "&1&2", "too long"},
        {kBase + "&score&20000&" + std::string(9000, 'a') + "&1&2", "too long"},
    };
    for (const Case& c : cases) {
        HttpAnswer a = get(server.port(), c.target);
        EXPECT_EQ(400, a.status) << c.target.substr(0, 200);
        EXPECT_NE(std::string::npos, a.body.find(c.reason)) << c.target.substr(0, 200) << "\n" << a.body;
    }
    EXPECT_EQ(0, db_->countRows()); // a malformed post keeps nothing, not even its good parts
    // Nine parts is the most a table holds, and is taken.
    std::string nine = kBase;
    for (int i = 0; i < 9; i++) nine += part(20000 + 5 * uint32_t(i), u"Al", daysAgo(1));
    HttpAnswer full = get(server.port(), nine);
    EXPECT_EQ(200, full.status);
    EXPECT_EQ(9u, occurrences(full.body, "<li>Kept: ")) << full.body;
    EXPECT_EQ(9, db_->countRows());
}

// A store that fails in the middle of a post keeps none of it, says so, and takes the post again later.
TEST_P(ScoresHttp, AFailedStoreKeepsNothingOfThePost) {
    ServerProcess server;
    startServer(server);
    ASSERT_EQ(200, get(server.port(), "/health").status); // the schema exists from here on
    bool planted =
        db_->kind() == TestDatabase::Sqlite
            ? db_->execute("CREATE TRIGGER refuse BEFORE INSERT ON scores WHEN NEW.score = 77775"
                           " BEGIN SELECT RAISE(ABORT, 'planted fault'); END")
            : db_->execute(
                  "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                  " IF NEW.score = 77775 THEN RAISE EXCEPTION 'planted fault'; END IF; RETURN NEW; END $$;"
                  "CREATE TRIGGER refuse BEFORE INSERT ON scores FOR EACH ROW EXECUTE FUNCTION refuse()");
    ASSERT_TRUE(planted);
    uint32_t d = daysAgo(1);
    std::string post = kBase + part(88885, u"Al", d) + part(77775, u"Al", d) + part(66665, u"Al", d);
    HttpAnswer failed = get(server.port(), post);
    EXPECT_EQ(503, failed.status);
    EXPECT_NE(std::string::npos, failed.body.find("nothing was kept")) << failed.body;
    EXPECT_EQ(std::string::npos, failed.body.find("planted fault")) << failed.body; // details go to the log
    EXPECT_TRUE(server.logShows("planted fault")) << server.log();
    EXPECT_EQ(0, db_->countRows());
    ASSERT_TRUE(db_->execute("DROP TRIGGER refuse" +
                             std::string(db_->kind() == TestDatabase::Sqlite ? "" : " ON scores")));
    HttpAnswer again = get(server.port(), post);
    EXPECT_EQ(200, again.status);
    EXPECT_EQ(3u, occurrences(again.body, "<li>Kept: ")) << again.body;
    EXPECT_EQ(3, db_->countRows());
}

TEST_P(ScoresHttp, LimitsPostsPerClientAddress) {
    ServerProcess server;
    startServer(server, "3");
    std::string target = postTarget(false, {datedEntry(20000, 5, daysAgo(1))}, u"Al");
    for (int i = 0; i < 3; i++) EXPECT_EQ(200, get(server.port(), target).status) << i;
    HttpAnswer limited = get(server.port(), target);
    EXPECT_EQ(429, limited.status);
    EXPECT_NE(std::string::npos, limited.body.find("too many posts"));
    EXPECT_GE(std::atoi(limited.retryAfter.c_str()), 1);
    // Pages are never limited.
    EXPECT_EQ(200, get(server.port(), "/vexlin/scores-en.html").status);
    EXPECT_EQ(1, db_->countRows());
}

TEST_P(ScoresHttp, RestartKeepsEveryAcceptedScore) {
    std::vector<gamepost::TableEntry> table;
    for (uint32_t i = 0; i < 9; i++) table.push_back(datedEntry(90000 - 5 * i, 12, daysAgo(i)));
    {
        ServerProcess server;
        startServer(server);
        ASSERT_EQ(9u, occurrences(get(server.port(), postTarget(false, table, u"Kim")).body, "<li>Kept: "));
        EXPECT_TRUE(server.stop());
    }
    {
        ServerProcess server;
        startServer(server); // the schema is already there: opening it again must not touch the rows
        HttpAnswer page = get(server.port(), "/vexlin/scores-en.html");
        for (const auto& e : table) EXPECT_EQ(1, db_->countEntry(e.score, "Kim", e.date));
        EXPECT_NE(std::string::npos, page.body.find("89,960")) << page.body;
        EXPECT_EQ(9u, occurrences(get(server.port(), postTarget(false, table, u"Kim")).body,
                                  "<li>Already on the list: "));
    }
    EXPECT_EQ(9, db_->countRows());
}

// Many clients post at once; clients k and k + 8 post the same entries in the same order, so each entry
// races with its twin. Every entry ends up stored once and answered as kept exactly once.
TEST_P(ScoresHttp, ConcurrentPostsAreNeitherLostNorDoubled) {
    ServerProcess server;
    startServer(server);
    const int kClients = 16, kPosts = 15, kPerPost = 2;
    std::atomic<int> kept{0}, already{0}, failed{0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; c++) {
        clients.emplace_back([&, c] {
            std::u16string name = u"Load@" + std::u16string(1, char16_t(u'A' + c % 8));
            for (int p = 0; p < kPosts && std::chrono::steady_clock::now() < deadline; p++) {
                std::string target = kBase;
                for (int k = 0; k < kPerPost; k++)
                    target += part(20000 + 5 * uint32_t(p * kPerPost + k), name, daysAgo(2));
                HttpAnswer a = get(server.port(), target);
                if (a.status != 200) failed++;
                kept += int(occurrences(a.body, "<li>Kept: "));
                already += int(occurrences(a.body, "<li>Already on the list: "));
            }
        });
    }
    for (std::thread& t : clients) t.join();
    const int unique = 8 * kPosts * kPerPost;
    EXPECT_EQ(0, failed.load());
    EXPECT_EQ(unique, kept.load());
    EXPECT_EQ(unique, already.load());
    EXPECT_EQ(unique, db_->countRows());
    for (int c = 0; c < 8; c++) {
        std::string name = std::string("Load@") + char('A' + c);
        for (int i = 0; i < kPosts * kPerPost; i += 7)
            EXPECT_EQ(1, db_->countEntry(20000 + 5 * i, name, daysAgo(2)));
    }
}

// The server is killed while clients post; every entry that was answered as kept is there afterwards,
// and the database is intact.
TEST_P(ScoresHttp, KillDuringABurstLosesNoAnsweredPost) {
    ServerProcess server;
    startServer(server);
    const int kClients = 8;
    std::mutex mutex;
    std::vector<std::pair<uint32_t, std::string>> answeredKept;
    std::atomic<bool> stopClients{false};
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    uint32_t day = daysAgo(1);
    for (int c = 0; c < kClients; c++) {
        clients.emplace_back([&, c] {
            std::u16string name = u"Burst" + std::u16string(1, char16_t(u'A' + c));
            std::string nameText(name.begin(), name.end());
            for (uint32_t p = 0; p < 400 && !stopClients; p++) {
                uint32_t score = 20000 + 5 * p;
                HttpAnswer a = get(server.port(), kBase + part(score, name, day));
                if (a.status == 0) break; // the server is gone
                answered++;
                if (a.status == 200 && a.body.find("<li>Kept: ") != std::string::npos) {
                    std::lock_guard<std::mutex> lock(mutex);
                    answeredKept.emplace_back(score, nameText);
                }
            }
        });
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (answered < 40 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    server.kill();
    stopClients = true;
    for (std::thread& t : clients) t.join();
    ASSERT_GE(answeredKept.size(), 20u);

    ServerProcess again;
    startServer(again);
    EXPECT_EQ(200, get(again.port(), "/health").status);
    std::string problem;
    EXPECT_TRUE(db_->intact(problem)) << problem;
    for (const auto& k : answeredKept)
        EXPECT_EQ(1, db_->countEntry(k.first, k.second, day)) << k.second << " " << k.first;
    EXPECT_GE(db_->countRows(), long(answeredKept.size()));
    // Posting the same again after the restart reports every answered entry as already kept.
    HttpAnswer repeat =
        get(again.port(),
            kBase + part(answeredKept[0].first,
                         std::u16string(answeredKept[0].second.begin(), answeredKept[0].second.end()), day));
    EXPECT_NE(std::string::npos, repeat.body.find("<li>Already on the list: ")) << repeat.body;
}

std::string kindName(const ::testing::TestParamInfo<TestDatabase::Kind>& info) {
    return info.param == TestDatabase::Sqlite ? "Sqlite" : "Postgres";
}

INSTANTIATE_TEST_SUITE_P(Backends, ScoresHttp,
                         ::testing::Values(TestDatabase::Sqlite, TestDatabase::Postgres), kindName);

} // namespace
