// Benchmark of the score server: posts per second and the 50th and 99th percentile latency of posts and
// of page loads with 1, 8 and 32 concurrent loopback clients, on SQLite and on a private PostgreSQL, in
// one run. The baseline is the health path, which touches no table: each latency is also given as a
// multiple of its median, and PostgreSQL's throughput as a ratio of SQLite's.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "game_post.h"
#include "test_support.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

struct Figures {
    double perSecond = 0, p50 = 0, p99 = 0; // latencies in milliseconds
    int done = 0, failed = 0;
};

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = size_t(p * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// Runs `clients` threads, each sending requests made by `target(client, n)` until `perClient` are done or
// `seconds` have passed.
template <class Target>
Figures measure(int port, int clients, int perClient, double seconds, Target target) {
    std::mutex mutex;
    std::vector<double> latencies;
    std::atomic<int> failed{0};
    Clock::time_point start = Clock::now(), stop = start + std::chrono::duration_cast<Clock::duration>(
                                                               std::chrono::duration<double>(seconds));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; c++) {
        threads.emplace_back([&, c] {
            std::vector<double> mine;
            for (int n = 0; n < perClient && Clock::now() < stop; n++) {
                Clock::time_point t0 = Clock::now();
                HttpAnswer a = get(port, target(c, n));
                double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                if (a.status != 200) failed++;
                mine.push_back(ms);
            }
            std::lock_guard<std::mutex> lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    for (std::thread& t : threads) t.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    Figures f;
    f.done = int(latencies.size());
    f.failed = failed;
    f.perSecond = double(f.done) / elapsed;
    f.p50 = percentile(latencies, 0.50);
    f.p99 = percentile(latencies, 0.99);
    return f;
}

std::string yesterday() {
    std::time_t t = std::time(nullptr) - 86400;
    std::tm parts{};
    gmtime_r(&t, &parts);
    return std::to_string(gamepost::dayNumber(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday));
}

} // namespace

int main(int argc, char** argv) {
    std::string script = VEXLIN_PG_CLUSTER_SCRIPT;
    std::string state = makeTempFolder("scores-bench");
    if (state.empty()) return 1;
    // The private PostgreSQL for this run; stopped again whatever happens below.
    bool havePostgres = std::system((script + " start " + state + " >/dev/null").c_str()) == 0;
    if (havePostgres)
        setenv("VEXLIN_TEST_PG", (state + "/conninfo").c_str(), 1);
    else
        std::fprintf(stderr, "scores_bench: PostgreSQL did not start; its rows are missing\n");

    const double kSeconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    uint32_t day = uint32_t(std::stoul(yesterday()));
    std::printf(
        "score server benchmark: each row at most %.1f s; latencies in ms, (xN) against the health path\n",
        kSeconds);
    std::printf("%-10s %-6s %7s %10s %9s %9s %9s %9s\n", "back-end", "what", "clients", "per s", "p50", "p99",
                "(p50 x)", "failed");
    double sqlitePosts[3] = {0, 0, 0};
    int exitCode = 0;
    for (TestDatabase::Kind kind : {TestDatabase::Sqlite, TestDatabase::Postgres}) {
        if (kind == TestDatabase::Postgres && !havePostgres) break;
        const char* name = kind == TestDatabase::Sqlite ? "SQLite" : "PostgreSQL";
        TestDatabase db(kind, "bench");
        ServerProcess server;
        std::string error;
        if (db.database().empty() ||
            !server.start({"--database", db.database(), "--rate-limit", "0", "--threads", "32"}, error)) {
            std::fprintf(stderr, "scores_bench: %s: %s %s\n", name, db.error().c_str(), error.c_str());
            exitCode = 1;
            continue;
        }
        int port = server.port();
        Figures health = measure(port, 1, 400, kSeconds / 2, [](int, int) { return std::string("/health"); });
        std::printf("%-10s %-6s %7d %10.0f %9.2f %9.2f %9s %9d\n", name, "health", 1, health.perSecond,
                    health.p50, health.p99, "1.0", health.failed);
        int level = 0;
        for (int clients : {1, 8, 32}) {
            int series = clients * 1000; // a new name for every client of every level keeps each post new
            Figures posts = measure(port, clients, 100000, kSeconds, [&](int c, int n) {
                std::u16string who = u"Bench" + std::u16string(1, char16_t(u'A' + (series + c) % 26)) + u"@" +
                                     std::u16string(1, char16_t(u'a' + (series + c) / 26 % 26)) +
                                     std::u16string(1, char16_t(u'a' + (series + c) / 676 % 26));
                return "/cgi-bin/score.cgi?post&game&10&lang&en" +
                       gamepost::part(20000 + 5 * uint32_t(n), who, day);
            });
            Figures pages = measure(port, clients, 100000, kSeconds / 2, [](int c, int) {
                return std::string(c % 2 ? "/vexlin/scores-eo.html" : "/vexlin/scores-en.html");
            });
            std::printf("%-10s %-6s %7d %10.0f %9.2f %9.2f %9.1f %9d\n", name, "posts", clients,
                        posts.perSecond, posts.p50, posts.p99, posts.p50 / health.p50, posts.failed);
            std::printf("%-10s %-6s %7d %10.0f %9.2f %9.2f %9.1f %9d\n", name, "pages", clients,
                        pages.perSecond, pages.p50, pages.p99, pages.p50 / health.p50, pages.failed);
            if (kind == TestDatabase::Sqlite)
                sqlitePosts[level] = posts.perSecond;
            else if (sqlitePosts[level] > 0)
                std::printf("%-10s ratio  %7d   posts/s PostgreSQL / SQLite = %.2f\n", "", clients,
                            posts.perSecond / sqlitePosts[level]);
            if (posts.failed || pages.failed) exitCode = 1;
            level++;
        }
        std::fflush(stdout);
        server.stop();
    }
    if (havePostgres) std::system((script + " stop " + state + " >/dev/null").c_str());
    removeFolder(state);
    return exitCode;
}
