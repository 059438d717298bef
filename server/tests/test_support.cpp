// Server processes, test databases and a small HTTP client for the score server's tests.
#include "test_support.h"

#include <httplib.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef VEXLIN_SCORES_BIN
#error "VEXLIN_SCORES_BIN names the server under test"
#endif

namespace testsupport {

HttpAnswer get(int port, const std::string& target) {
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false);
    client.set_keep_alive(false);
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(20, 0);
    HttpAnswer answer;
    httplib::Result r = client.Get(target.c_str());
    if (!r) return answer;
    answer.status = r->status;
    answer.body = r->body;
    answer.retryAfter = r->get_header_value("Retry-After");
    return answer;
}

std::string makeTempFolder(const std::string& tag) {
    std::string pattern = (std::filesystem::temp_directory_path() / ("vexlin-" + tag + ".XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return "";
    return buffer.data();
}

void removeFolder(const std::string& path) {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) kill();
    if (!logPath_.empty()) ::unlink(logPath_.c_str());
}

bool ServerProcess::start(const std::vector<std::string>& options, std::string& error) {
    if (logPath_.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexlin-scores-log.XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        int fd = mkstemp(buffer.data());
        if (fd < 0) {
            error = "no log file";
            return false;
        }
        ::close(fd);
        logPath_ = buffer.data();
    }
    int out[2];
    if (pipe(out) != 0) {
        error = "no pipe";
        return false;
    }
    std::vector<std::string> args = {VEXLIN_SCORES_BIN, "--listen", "127.0.0.1", "--port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = fork();
    if (pid_ == 0) {
        ::dup2(out[1], 1);
        int log = ::open(logPath_.c_str(), O_WRONLY | O_APPEND);
        if (log >= 0) ::dup2(log, 2);
        ::close(out[0]);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(out[1]);
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buffer[256];
        ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, size_t(n));
    }
    ::close(out[0]);
    size_t colon = line.rfind(':');
    if (line.find("listening on") == std::string::npos || colon == std::string::npos) {
        error = "the server did not start: " + log();
        kill();
        return false;
    }
    port_ = std::atoi(line.c_str() + colon + 1);
    return port_ > 0;
}

static bool waitFor(pid_t pid, int seconds, int& status) {
    for (int i = 0; i < seconds * 50; i++) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool ServerProcess::stop() {
    if (pid_ <= 0) return false;
    ::kill(pid_, SIGTERM);
    int status = 0;
    bool exited = waitFor(pid_, 10, status);
    if (!exited) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ServerProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string ServerProcess::log() const {
    std::ifstream in(logPath_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool ServerProcess::logShows(const std::string& text) const {
    for (int i = 0; i < 250; i++) {
        if (log().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// PostgreSQL: the private cluster the test run started (its conninfo file is named by VEXLIN_TEST_PG).
static std::string clusterConninfo(std::string& error) {
    const char* file = std::getenv("VEXLIN_TEST_PG");
    if (!file) {
        error = "VEXLIN_TEST_PG is not set: the PostgreSQL tests run under ctest, which starts the cluster";
        return "";
    }
    std::ifstream in(file);
    std::string conninfo;
    std::getline(in, conninfo);
    if (conninfo.empty()) error = std::string("no cluster conninfo in ") + file;
    return conninfo;
}

static bool pgCommand(const std::string& conninfo, const std::string& sql, std::string& error) {
    PGconn* c = PQconnectdb(conninfo.c_str());
    bool ok = PQstatus(c) == CONNECTION_OK;
    if (ok) {
        PGresult* r = PQexec(c, sql.c_str());
        ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        PQclear(r);
    }
    if (!ok) error = PQerrorMessage(c);
    PQfinish(c);
    return ok;
}

static std::string withDatabase(const std::string& conninfo, const std::string& name) {
    const std::string from = ":///postgres?";
    size_t at = conninfo.find(from);
    if (at == std::string::npos) return "";
    return conninfo.substr(0, at) + ":///" + name + "?" + conninfo.substr(at + from.size());
}

static std::atomic<int> databaseCounter{0};

TestDatabase::TestDatabase(Kind kind, const std::string& testName) : kind_(kind) {
    if (kind == Sqlite) {
        folder_ = makeTempFolder("scores-db");
        if (folder_.empty())
            error_ = "no temporary folder";
        else
            database_ = path_ = folder_ + "/scores.db";
        return;
    }
    adminConninfo_ = clusterConninfo(error_);
    if (adminConninfo_.empty()) return;
    std::string lower;
    for (char c : testName)
        lower += (std::isalnum((unsigned char)c) ? char(std::tolower((unsigned char)c)) : '_');
    dbName_ =
        "t_" + lower.substr(0, 40) + "_" + std::to_string(getpid()) + "_" + std::to_string(++databaseCounter);
    if (!pgCommand(adminConninfo_, "CREATE DATABASE " + dbName_, error_)) return;
    database_ = withDatabase(adminConninfo_, dbName_);
}

TestDatabase::~TestDatabase() {
    if (kind_ == Sqlite)
        removeFolder(folder_);
    else if (!dbName_.empty() && !database_.empty()) {
        std::string ignored;
        pgCommand(adminConninfo_, "DROP DATABASE IF EXISTS " + dbName_ + " WITH (FORCE)", ignored);
    }
}

// One number from one query; -1 on failure.
static long sqliteNumber(const std::string& path, const std::string& sql,
                         const std::vector<std::string>& params) {
    sqlite3* db = nullptr;
    long value = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 10000);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            for (size_t i = 0; i < params.size(); i++)
                sqlite3_bind_text(st, int(i + 1), params[i].c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) value = long(sqlite3_column_int64(st, 0));
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
    return value;
}

static long pgNumber(const std::string& conninfo, const std::string& sql,
                     const std::vector<std::string>& params) {
    PGconn* c = PQconnectdb(conninfo.c_str());
    long value = -1;
    if (PQstatus(c) == CONNECTION_OK) {
        std::vector<const char*> values;
        for (const std::string& p : params) values.push_back(p.c_str());
        PGresult* r =
            PQexecParams(c, sql.c_str(), int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
        if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1) value = std::atol(PQgetvalue(r, 0, 0));
        PQclear(r);
    }
    PQfinish(c);
    return value;
}

long TestDatabase::countEntry(uint32_t score, const std::string& name, uint32_t day) const {
    std::vector<std::string> p = {std::to_string(score), name, std::to_string(day)};
    if (kind_ == Sqlite)
        return sqliteNumber(path_, "SELECT count(*) FROM scores WHERE score = ?1 AND name = ?2 AND day = ?3",
                            p);
    return pgNumber(
        database_, "SELECT count(*) FROM scores WHERE score = $1::bigint AND name = $2 AND day = $3::int", p);
}

long TestDatabase::countRows() const {
    if (kind_ == Sqlite) return sqliteNumber(path_, "SELECT count(*) FROM scores", {});
    return pgNumber(database_, "SELECT count(*) FROM scores", {});
}

bool TestDatabase::intact(std::string& problem) const {
    if (kind_ == Postgres) return true; // the test never kills PostgreSQL itself
    sqlite3* db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            problem = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            ok = problem == "ok";
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return ok;
}

bool TestDatabase::execute(const std::string& sql) const {
    std::string error;
    if (kind_ == Postgres) return pgCommand(database_, sql, error);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path_.c_str(), &db) == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(db, 10000);
        ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3_close(db);
    return ok;
}

bool TestDatabase::insertRaw(uint32_t score, const std::string& name, uint32_t day) const {
    std::string error;
    if (kind_ == Postgres) {
        PGconn* c = PQconnectdb(database_.c_str());
        bool ok = PQstatus(c) == CONNECTION_OK;
        if (ok) {
            std::string s = std::to_string(score), d = std::to_string(day);
            const char* values[3] = {s.c_str(), name.c_str(), d.c_str()};
            PGresult* r = PQexecParams(c,
                                       "INSERT INTO scores (score, name, day, month, signature, lang)"
                                       " VALUES ($1, $2, $3::integer, $3::integer / 31, 0, 'en')",
                                       3, nullptr, values, nullptr, nullptr, 0);
            ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            PQclear(r);
        }
        PQfinish(c);
        return ok;
    }
    sqlite3* db = nullptr;
    bool ok = false;
    if (sqlite3_open(path_.c_str(), &db) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 10000);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db,
                               "INSERT INTO scores (score, name, day, month, signature, lang, received_at)"
                               " VALUES (?1, ?2, ?3, ?3 / 31, 0, 'en', 0)",
                               -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(st, 1, score);
            sqlite3_bind_text(st, 2, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 3, day);
            ok = sqlite3_step(st) == SQLITE_DONE;
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
    return ok;
}

} // namespace testsupport
