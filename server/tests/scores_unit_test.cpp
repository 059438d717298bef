// The server's rules without a network: day numbers and signatures, the checks of one entry, the shape of
// a post's query, page pieces, the rate limit and the configuration.
#include <gtest/gtest.h>

#include <map>

#include "game_post.h"
#include "pages.h"
#include "post_query.h"
#include "rate_limiter.h"
#include "score_rules.h"
#include "server_config.h"

using namespace scores;

TEST(ScoreRules, DayNumbersRoundTripAndRealDatesAreGregorian) {
    EXPECT_EQ(2003u * 372 + 7 * 31 + 13, dayNumber(CivilDate{2003, 8, 14}));
    CivilDate d = decodeDayNumber(dayNumber(CivilDate{2026, 12, 31}));
    EXPECT_EQ(2026, d.year);
    EXPECT_EQ(12, d.month);
    EXPECT_EQ(31, d.day);
    EXPECT_TRUE(isRealDate(CivilDate{2024, 2, 29}));
    EXPECT_TRUE(isRealDate(CivilDate{2000, 2, 29}));
    EXPECT_FALSE(isRealDate(CivilDate{2100, 2, 29}));
    EXPECT_FALSE(isRealDate(CivilDate{2023, 2, 29}));
    EXPECT_FALSE(isRealDate(CivilDate{2023, 4, 31}));
    EXPECT_TRUE(isRealDate(CivilDate{2023, 1, 31}));
    // 2026-12-07 10:00 UTC is already the 8th at UTC+14.
    std::time_t t = 1796637600; // 2026-12-07T10:00:00Z
    EXPECT_EQ(dayNumber(CivilDate{2026, 12, 7}), dayNumberAt(t, 0));
    EXPECT_EQ(dayNumber(CivilDate{2026, 12, 8}), dayNumberAt(t, 14));
}

TEST(ScoreRules, SignatureMatchesTheGamesAndCountsTheAtSignAsASpace) {
    EXPECT_EQ(2092673071u, entrySignature(20000, 0, u"A"));
    EXPECT_EQ(737979872u, entrySignature(123455, 753988, u"Ann@Lee"));
    EXPECT_EQ(gamepost::signature(123455, 753988, u"Ann@Lee"), entrySignature(123455, 753988, u"Ann@Lee"));
    EXPECT_NE(entrySignature(123455, 753988, u"Ann@Lee"), entrySignature(123455, 753988, u"Ann@Lef"));
    // The game's own checksum of a table entry is a different sum; it is never what is posted.
    gamepost::TableEntry e = gamepost::datedEntry(123455, 23, 753988);
    EXPECT_EQ(19u, e.level);
    EXPECT_NE(e.check, entrySignature(123455, 753988, u""));
}

TEST(ScoreRules, EntryChecksReportTheFirstFault) {
    uint32_t today = dayNumber(CivilDate{2026, 12, 7});
    uint32_t day = dayNumber(CivilDate{2026, 12, 1});
    auto fields = [&](std::string score, std::string name, uint32_t d) {
        std::u16string codes;
        decodeName(name, codes);
        uint32_t s = 0;
        parseUnsigned32(score, s);
        return PostedFields{score, name, std::to_string(d), std::to_string(entrySignature(s, d, codes))};
    };
    ScoreEntry entry;
    EXPECT_EQ(Refusal::None, checkEntry(fields("15005", "Al@B2", day), today, entry));
    EXPECT_EQ(15005u, entry.score);
    EXPECT_EQ("Al@B2", entry.name);
    EXPECT_EQ(Refusal::None, checkEntry(fields("999999995", "", today), today, entry));
    EXPECT_EQ(Refusal::ScoreUnreachable, checkEntry(fields("15000", "Al", day), today, entry));
    EXPECT_EQ(Refusal::ScoreUnreachable, checkEntry(fields("1000000000", "Al", day), today, entry));
    EXPECT_EQ(Refusal::ScoreUnreachable, checkEntry(fields("20003", "Al", day), today, entry));
    EXPECT_EQ(Refusal::ScoreNotNumber, checkEntry(fields("+20000", "Al", day), today, entry));
    EXPECT_EQ(Refusal::ScoreNotNumber, checkEntry(fields("99999999999", "Al", day), today, entry));
    EXPECT_EQ(Refusal::DateInFuture, checkEntry(fields("20000", "Al", today + 1), today, entry));
    EXPECT_EQ(Refusal::DateBefore2000,
              checkEntry(fields("20000", "Al", dayNumber(CivilDate{1999, 12, 31})), today, entry));
    EXPECT_EQ(Refusal::DateNotReal,
              checkEntry(fields("20000", "Al", dayNumber(CivilDate{2025, 2, 29})), today, entry));
    EXPECT_EQ(Refusal::NameNotGame, checkEntry(fields("20000", "A l", day), today, entry));
    EXPECT_EQ(Refusal::NameTooLong, checkEntry(fields("20000", std::string(65, 'a'), day), today, entry));
    EXPECT_EQ(Refusal::None, checkEntry(fields("20000", std::string(64, 'a'), day), today, entry));
    PostedFields forged = fields("20000", "Al", day);
    forged.signature = std::to_string(std::stoul(forged.signature) ^ 1);
    EXPECT_EQ(Refusal::SignatureMismatch, checkEntry(forged, today, entry));
    forged.signature = "";
    EXPECT_EQ(Refusal::SignatureNotNumber, checkEntry(forged, today, entry));
}

TEST(ScoreRules, NamesHoldOnlyWhatTheGameSends) {
    std::u16string codes;
    EXPECT_TRUE(decodeName("Zo@9", codes));
    EXPECT_EQ(u"Zo@9", codes);
    EXPECT_TRUE(decodeName("\xC4\x88iela", codes)); // Ĉiela
    EXPECT_EQ(u"\u0108iela", codes);
    for (const char* bad : {"a-b", "a b", "a+b", "a%b", "\xC0\x80", "\xE0\x80\xAF", "\xC4",
                            "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xC2\xA0", "\xE2\x80\x94", "\xC3\x97"})
        EXPECT_FALSE(decodeName(bad, codes)) << bad;
}

TEST(PostQuery, ParsesTheGamesShapeAndNamesWhatIsWrong) {
    PostQuery q;
    std::string reason;
    ASSERT_TRUE(parsePostQuery("post&game&10&lang&eo&score&20000&Al%40B&753988&17&score&1&&2&3", q, reason));
    EXPECT_EQ(Language::Esperanto, q.language);
    ASSERT_EQ(2u, q.parts.size());
    EXPECT_EQ("Al@B", q.parts[0].name);
    EXPECT_EQ("17", q.parts[0].signature);
    EXPECT_EQ("", q.parts[1].name);
    ASSERT_TRUE(parsePostQuery("post&game&10&lang&en", q, reason));
    EXPECT_TRUE(q.parts.empty());
    std::map<std::string, std::string> bad = {
        {"", "does not begin"},
        {"post&game&10&lang", "does not begin"},
        {"post&game&10&lang&EN", "neither en nor eo"},
        {"post&game&10&lang&en&score&1&2&3", "does not have the form"},
        {"post&game&10&lang&en&scores&1&2&3&4", "does not begin with score&"},
        {"post&game&10&lang&en&score&1&%4&3&4", "broken"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(parsePostQuery(b.first, q, reason)) << b.first;
        EXPECT_NE(std::string::npos, reason.find(b.second)) << b.first << ": " << reason;
    }
    std::string many = "post&game&10&lang&en";
    for (int i = 0; i < 10; i++) many += "&score&1&a&2&3";
    EXPECT_FALSE(parsePostQuery(many, q, reason));
    EXPECT_NE(std::string::npos, reason.find("more than 9"));
    // A flood of empty fields is cut short instead of being split to the end.
    EXPECT_FALSE(parsePostQuery("post&game&10&lang&en" + std::string(100000, '&'), q, reason));
}

// Random queries built from the pieces a post is made of, and plain noise: the parser answers each with
// parts or a reason, and the answer page never lets input through unescaped.
TEST(PostQuery, RandomQueriesNeverBreakTheParserOrThePage) {
    const char* pieces[] = {"post", "game", "10",    "lang",     "en",   "eo",         "score", "&",
                            "&",    "&",    "20000", "753988",   "%",    "%4",         "%3C",   "%00",
                            "@",    "<x",   "\"",    "\xC4\x88", "\xFF", "4294967296", "",      "a"};
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    uint32_t today = dayNumber(CivilDate{2026, 12, 7});
    for (int round = 0; round < 20000; round++) {
        std::string raw = round % 2 ? "post&game&10&lang&en" : "";
        int count = int(next() % 60);
        for (int i = 0; i < count; i++) {
            if (next() % 8 == 0)
                raw += char(next() % 256);
            else
                raw += pieces[next() % (sizeof(pieces) / sizeof(pieces[0]))];
        }
        PostQuery q;
        std::string reason;
        if (!parsePostQuery(raw, q, reason)) {
            EXPECT_FALSE(reason.empty()) << raw;
            continue;
        }
        EXPECT_LE(q.parts.size(), kMostParts);
        std::vector<PartOutcome> outcomes;
        for (const PostedFields& f : q.parts) {
            ScoreEntry e;
            outcomes.push_back(PartOutcome{f, checkEntry(f, today, e), true});
        }
        std::string page = renderPostAnswer(q.language, outcomes);
        EXPECT_EQ(std::string::npos, page.find("<x")) << raw;
        EXPECT_EQ(std::string::npos, page.find('\0')) << raw;
    }
}

TEST(Pages, PiecesAreFormattedAndEscaped) {
    EXPECT_EQ("0", groupThousands(0));
    EXPECT_EQ("999", groupThousands(999));
    EXPECT_EQ("1,000", groupThousands(1000));
    EXPECT_EQ("1,000,200", groupThousands(1000200));
    EXPECT_EQ("4,294,967,295", groupThousands(4294967295u));
    EXPECT_EQ("&lt;a href=&quot;x&quot;&gt;&amp;&#39;", htmlEscape("<a href=\"x\">&'"));
    EXPECT_EQ("Ann Lee", displayName("Ann@Lee", Language::English));
    EXPECT_EQ("Anonymous", displayName("", Language::English));
    EXPECT_EQ("Nenomita", displayName("", Language::Esperanto));
    EXPECT_EQ("7 August 2026", formatDate(dayNumber(CivilDate{2026, 8, 7}), Language::English));
    EXPECT_EQ("7-a de aŭgusto 2026", formatDate(dayNumber(CivilDate{2026, 8, 7}), Language::Esperanto));
    EXPECT_EQ("a?b?c", printableText("a\nb\xFF"
                                     "c",
                                     100));
    EXPECT_EQ("Ĉ", printableText("Ĉ", 100));
    EXPECT_EQ("?", printableText("\xC4", 100)); // cut inside a character
    EXPECT_EQ("abc", printableText("abcdef", 3));
}

TEST(RateLimiter, AllowsABurstThenRefillsAtTheRate) {
    RateLimiter limiter(6); // one every 10 s
    int retry = 0;
    for (int i = 0; i < 6; i++) EXPECT_TRUE(limiter.allow("10.0.0.1", 100.0, retry)) << i;
    EXPECT_FALSE(limiter.allow("10.0.0.1", 100.0, retry));
    EXPECT_EQ(10, retry);
    EXPECT_TRUE(limiter.allow("10.0.0.2", 100.0, retry)); // another address has its own bucket
    EXPECT_FALSE(limiter.allow("10.0.0.1", 105.0, retry));
    EXPECT_EQ(5, retry);
    EXPECT_TRUE(limiter.allow("10.0.0.1", 110.5, retry));
    EXPECT_FALSE(limiter.allow("10.0.0.1", 50.0, retry)); // a clock stepping back refills nothing
    RateLimiter off(0);
    for (int i = 0; i < 1000; i++) EXPECT_TRUE(off.allow("x", 0.0, retry));
    // Many addresses do not grow the table without end, and a returning address still gets its burst.
    RateLimiter wide(1);
    for (int i = 0; i < 30000; i++) wide.allow("a" + std::to_string(i), double(i) * 61, retry);
    EXPECT_TRUE(wide.allow("a0", 30000.0 * 61, retry));
}

TEST(ServerConfig, EnvironmentFirstThenOptions) {
    std::map<std::string, std::string> env = {{"VEXLIN_SCORES_PORT", "9000"},
                                              {"VEXLIN_SCORES_DATABASE", "pg:host=x"},
                                              {"VEXLIN_SCORES_RATE_LIMIT", "5"}};
    auto getenv = [&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    ServerConfig c;
    std::string error;
    bool help = false;
    const char* args[] = {"vexlin-scores", "--port", "8700", "--threads=4", "--trust-forwarded-for"};
    ASSERT_TRUE(parseConfig(5, args, getenv, c, error, help)) << error;
    EXPECT_EQ("127.0.0.1", c.listen);
    EXPECT_EQ(8700, c.port);
    EXPECT_EQ("pg:host=x", c.database);
    EXPECT_EQ(5, c.rateLimit);
    EXPECT_EQ(4, c.threads);
    EXPECT_TRUE(c.trustForwardedFor);

    ServerConfig d;
    EXPECT_EQ(8642, d.port);
    const char* bad[] = {"vexlin-scores", "--port", "70000"};
    EXPECT_FALSE(parseConfig(
        3, bad, [](const char*) -> const char* { return nullptr; }, d, error, help));
    EXPECT_NE(std::string::npos, error.find("port"));
    const char* unknown[] = {"vexlin-scores", "--colour", "red"};
    EXPECT_FALSE(parseConfig(
        3, unknown, [](const char*) -> const char* { return nullptr; }, d, error, help));
    env["VEXLIN_SCORES_THREADS"] = "none";
    EXPECT_FALSE(parseConfig(1, args, getenv, d, error, help));
    EXPECT_NE(std::string::npos, error.find("VEXLIN_SCORES_THREADS"));
}
