// Agreement with the game: the addresses that the game's own code builds (its Windows build, run under
// Wine) are taken by the server as they are, and the same addresses with one digit changed are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "test_support.h"

using namespace testsupport;

namespace {

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) n++;
    return n;
}

// The address where the server listens by default, which the game's build posts to by default.
const std::string kDefaultServer = "http://127.0.0.1:8642";

struct GameUrls {
    std::vector<std::string> posts, pages;
};

// Runs the game's URL writer under Wine; false with what went wrong.
bool runGame(GameUrls& urls, std::string& error) {
    std::string folder = makeTempFolder("score-urls");
    std::string out = folder + "/urls.txt", log = folder + "/wine.log";
    // The Windows program reaches the host's files through Wine's drive Z:, the root of the file system.
    std::string windowsOut = "Z:" + out;
    for (char& c : windowsOut)
        if (c == '/') c = '\\';
    std::string command = "timeout 180 '" VEXLIN_SCRIPTS "/with-display' '" VEXLIN_SCRIPTS "/wine-run' '" +
                          std::string(VEXLIN_SCORE_URLS_EXE) + "' '" + windowsOut + "' >'" + log + "' 2>&1";
    int rc = std::system(command.c_str());
    std::ifstream in(out);
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back(); // a Windows text file
        if (line.compare(0, 5, "post ") == 0)
            urls.posts.push_back(line.substr(5));
        else if (line.compare(0, 5, "page ") == 0)
            urls.pages.push_back(line.substr(5));
        else if (line == "end")
            ended = true;
    }
    // Under Wine a crash can end with status 0: the writer's own closing line is what counts.
    if (!ended) {
        std::ifstream l(log);
        std::string text((std::istreambuf_iterator<char>(l)), std::istreambuf_iterator<char>());
        error = "the game's URL writer did not finish (status " + std::to_string(rc) + "): " + text;
    }
    removeFolder(folder);
    return ended;
}

// The path and query of a URL on the default server.
std::string target(const std::string& url) {
    return url.compare(0, kDefaultServer.size(), kDefaultServer) == 0 ? url.substr(kDefaultServer.size())
                                                                      : "";
}

// The URL with one digit of field `field` (0 score, 2 day, 3 signature) of part `part` changed, chosen so
// that the score stays a multiple of five and the day a day number; empty when there is no such part.
std::string changeDigit(const std::string& url, size_t part, int field) {
    size_t at = 0;
    for (size_t p = 0; p <= part; p++) {
        at = url.find("&score&", at);
        if (at == std::string::npos) return "";
        at += 7;
    }
    for (int f = 0; f < field; f++) at = url.find('&', at) + 1;
    size_t end = url.find('&', at);
    if (end == std::string::npos) end = url.size();
    size_t digit = field == 0 ? end - 2 : end - 1; // the score's tens, else the last digit
    std::string changed = url;
    changed[digit] = changed[digit] == '0' ? '1' : char(changed[digit] - 1);
    return changed;
}

TEST(ScoresAgreement, GameUrlsAreKeptAndOneChangedDigitIsRefused) {
    GameUrls urls;
    std::string error;
    ASSERT_TRUE(runGame(urls, error)) << error;
    ASSERT_EQ(4u, urls.posts.size());
    ASSERT_EQ(2u, urls.pages.size());
    for (const std::string& url : urls.posts) ASSERT_FALSE(target(url).empty()) << url;
    // English then Esperanto, for the two-word hyphenated owner and for the empty one.
    EXPECT_NE(std::string::npos, urls.posts[0].find("?post&game&10&lang&en&score&123455&Ann@LeeSmith&"))
        << urls.posts[0];
    EXPECT_NE(std::string::npos, urls.posts[1].find("&lang&eo&")) << urls.posts[1];
    EXPECT_EQ(kDefaultServer + "/vexlin/scores-en.html", urls.pages[0]);
    EXPECT_EQ(kDefaultServer + "/vexlin/scores-eo.html", urls.pages[1]);

    TestDatabase db(TestDatabase::Sqlite, "agreement");
    ServerProcess server;
    ASSERT_TRUE(server.start({"--database", db.database(), "--rate-limit", "0"}, error)) << error;

    for (size_t owner = 0; owner < 2; owner++) {
        HttpAnswer en = get(server.port(), target(urls.posts[2 * owner]));
        ASSERT_EQ(200, en.status);
        EXPECT_EQ(3u, occurrences(en.body, "<li>Kept: ")) << urls.posts[2 * owner] << "\n" << en.body;
        EXPECT_EQ(0u, occurrences(en.body, "Refused")) << en.body;
        HttpAnswer eo = get(server.port(), target(urls.posts[2 * owner + 1]));
        ASSERT_EQ(200, eo.status);
        EXPECT_EQ(3u, occurrences(eo.body, "<li>Jam en la listo: ")) << urls.posts[2 * owner + 1] << "\n"
                                                                     << eo.body;
    }
    EXPECT_EQ(1, db.countEntry(123455, "Ann@LeeSmith", 2024 * 372 + 1 * 31 + 28));
    EXPECT_EQ(6, db.countRows());
    HttpAnswer page = get(server.port(), target(urls.pages[0]));
    EXPECT_EQ(200, page.status);
    EXPECT_NE(std::string::npos, page.body.find("Ann LeeSmith")) << page.body;
    EXPECT_EQ(200, get(server.port(), target(urls.pages[1])).status);

    for (const std::string& url : urls.posts) {
        for (size_t part = 0; part < 3; part++) {
            for (int field : {0, 2, 3}) {
                std::string changed = changeDigit(url, part, field);
                ASSERT_FALSE(changed.empty()) << url;
                ASSERT_NE(url, changed);
                HttpAnswer a = get(server.port(), target(changed));
                ASSERT_EQ(200, a.status) << changed;
                EXPECT_EQ(1u, occurrences(a.body, "class=\"refused\"")) << changed << "\n" << a.body;
                if (field != 2) {
                    EXPECT_EQ(1u, occurrences(a.body, "signature does not match") +
                                      occurrences(a.body, "subskribo ne kongruas"))
                        << changed << "\n"
                        << a.body;
                }
            }
        }
    }
    EXPECT_EQ(6, db.countRows());
}

} // namespace
