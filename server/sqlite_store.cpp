// The SQLite back-end: one database file in WAL mode, a connection per busy request thread, every post
// in one immediate transaction with full synchronisation, so an answered post survives a crash.
#include <sqlite3.h>

#include <ctime>

#include "connection_pool.h"
#include "score_store.h"

namespace scores {
namespace {

// Schema steps, applied in order; the database records how many it has.
const char* const kMigrations[] = {
    "CREATE TABLE scores ("
    " id INTEGER PRIMARY KEY,"
    " score INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " day INTEGER NOT NULL,"
    " month INTEGER NOT NULL,"
    " signature INTEGER NOT NULL,"
    " lang TEXT NOT NULL,"
    " received_at INTEGER NOT NULL,"
    " UNIQUE (score, name, day));"
    "CREATE INDEX scores_by_score ON scores (score DESC, day, id);"
    "CREATE INDEX scores_by_month ON scores (month, score DESC, day, id);",
};
const int kSchemaVersion = int(sizeof(kMigrations) / sizeof(kMigrations[0]));

struct SqliteConnection {
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* selectAll = nullptr;
    sqlite3_stmt* selectMonth = nullptr;
    ~SqliteConnection() {
        sqlite3_finalize(insert);
        sqlite3_finalize(selectAll);
        sqlite3_finalize(selectMonth);
        sqlite3_close(db);
    }
};

bool exec(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

// A connection with the file's settings but no statements yet: the schema may not exist.
std::unique_ptr<SqliteConnection> openDatabase(const std::string& path, std::string& error) {
    auto c = std::make_unique<SqliteConnection>();
    if (sqlite3_open_v2(path.c_str(), &c->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        error = "cannot open " + path + ": " + (c->db ? sqlite3_errmsg(c->db) : "out of memory");
        return nullptr;
    }
    // Writers from other threads or processes wait for each other instead of failing at once.
    sqlite3_busy_timeout(c->db, 15000);
    if (!exec(c->db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", error)) return nullptr;
    return c;
}

std::unique_ptr<SqliteConnection> openConnection(const std::string& path, std::string& error) {
    std::unique_ptr<SqliteConnection> c = openDatabase(path, error);
    if (!c) return nullptr;
    if (sqlite3_prepare_v2(
            c->db,
            "INSERT INTO scores (score, name, day, month, signature, lang, received_at)"
            " VALUES (?1, ?2, ?3, ?3 / 31, ?4, ?5, ?6) ON CONFLICT (score, name, day) DO NOTHING",
            -1, &c->insert, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(c->db,
                           "SELECT score, name, day FROM scores ORDER BY score DESC, day ASC, id ASC LIMIT ?",
                           -1, &c->selectAll, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(c->db,
                           "SELECT score, name, day FROM scores WHERE month = ?"
                           " ORDER BY score DESC, day ASC, id ASC LIMIT ?",
                           -1, &c->selectMonth, nullptr) != SQLITE_OK) {
        error = std::string("cannot prepare statements: ") + sqlite3_errmsg(c->db);
        return nullptr;
    }
    return c;
}

// Brings the schema up to date inside one immediate transaction, so two servers starting on the same
// file migrate it once.
bool migrate(sqlite3* db, std::string& error) {
    if (!exec(db, "BEGIN IMMEDIATE", error)) return false;
    bool ok = exec(db, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", error);
    int version = 0;
    sqlite3_stmt* st = nullptr;
    if (ok && sqlite3_prepare_v2(db, "SELECT version FROM schema_version", -1, &st, nullptr) == SQLITE_OK) {
        if (sqlite3_step(st) == SQLITE_ROW) version = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    } else if (ok) {
        error = sqlite3_errmsg(db);
        ok = false;
    }
    if (ok && version > kSchemaVersion) {
        error = "the database has schema version " + std::to_string(version) + ", newer than this server's " +
                std::to_string(kSchemaVersion);
        ok = false;
    }
    for (int v = version; ok && v < kSchemaVersion; v++) ok = exec(db, kMigrations[v], error);
    if (ok && version < kSchemaVersion) {
        std::string set = "DELETE FROM schema_version; INSERT INTO schema_version VALUES (" +
                          std::to_string(kSchemaVersion) + ")";
        ok = exec(db, set.c_str(), error);
    }
    std::string ignored;
    if (!ok) {
        exec(db, "ROLLBACK", ignored);
        return false;
    }
    return exec(db, "COMMIT", error);
}

class SqliteStore : public ScoreStore {
public:
    explicit SqliteStore(const std::string& path)
        : path_(path), pool_([path](std::string& error) { return openConnection(path, error); }) {}

    bool start(std::string& error) {
        std::unique_ptr<SqliteConnection> c = openDatabase(path_, error);
        if (!c || !migrate(c->db, error)) return false;
        c = pool_.take(error);
        if (!c) return false;
        pool_.give(std::move(c));
        return true;
    }

    bool keep(const std::vector<ScoreEntry>& entries, Language language, std::vector<bool>& added,
              std::string& error) override {
        added.assign(entries.size(), false);
        if (entries.empty()) return true;
        std::unique_ptr<SqliteConnection> c = pool_.take(error);
        if (!c) return false;
        // One writer of this process at a time: the others wait here in turn instead of in SQLite's busy
        // handler, whose growing sleeps would make a burst's slowest answers far slower. Other processes on
        // the same file still meet the busy timeout.
        std::lock_guard<std::mutex> writing(writeMutex_);
        if (!exec(c->db, "BEGIN IMMEDIATE", error)) {
            pool_.give(std::move(c));
            return false;
        }
        bool ok = true;
        const char* lang = language == Language::Esperanto ? "eo" : "en";
        for (size_t i = 0; ok && i < entries.size(); i++) {
            const ScoreEntry& e = entries[i];
            sqlite3_reset(c->insert);
            sqlite3_bind_int64(c->insert, 1, e.score);
            sqlite3_bind_text(c->insert, 2, e.name.data(), int(e.name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(c->insert, 3, e.day);
            sqlite3_bind_int64(c->insert, 4, e.signature);
            sqlite3_bind_text(c->insert, 5, lang, -1, SQLITE_STATIC);
            sqlite3_bind_int64(c->insert, 6, sqlite3_int64(std::time(nullptr)));
            if (sqlite3_step(c->insert) != SQLITE_DONE) {
                error = sqlite3_errmsg(c->db);
                ok = false;
            } else {
                added[i] = sqlite3_changes(c->db) == 1;
            }
        }
        sqlite3_reset(c->insert);
        if (ok) ok = exec(c->db, "COMMIT", error);
        if (!ok) {
            std::string ignored;
            exec(c->db, "ROLLBACK", ignored);
            added.assign(entries.size(), false);
        }
        pool_.give(std::move(c));
        return ok;
    }

    bool best(int month, int limit, std::vector<ListedScore>& scores, std::string& error) override {
        scores.clear();
        std::unique_ptr<SqliteConnection> c = pool_.take(error);
        if (!c) return false;
        sqlite3_stmt* st = month == kAllTime ? c->selectAll : c->selectMonth;
        sqlite3_reset(st);
        if (month == kAllTime)
            sqlite3_bind_int(st, 1, limit);
        else
            sqlite3_bind_int(st, 1, month), sqlite3_bind_int(st, 2, limit);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            ListedScore s;
            s.score = uint32_t(sqlite3_column_int64(st, 0));
            const unsigned char* name = sqlite3_column_text(st, 1);
            s.name.assign(name ? reinterpret_cast<const char*>(name) : "",
                          size_t(sqlite3_column_bytes(st, 1)));
            s.day = uint32_t(sqlite3_column_int64(st, 2));
            scores.push_back(std::move(s));
        }
        bool ok = rc == SQLITE_DONE;
        if (!ok) error = sqlite3_errmsg(c->db);
        sqlite3_reset(st);
        pool_.give(std::move(c));
        return ok;
    }

    bool healthy(std::string& error) override {
        std::unique_ptr<SqliteConnection> c = pool_.take(error);
        if (!c) return false;
        bool ok = exec(c->db, "SELECT count(*) FROM schema_version", error);
        pool_.give(std::move(c));
        return ok;
    }

private:
    std::string path_;
    ConnectionPool<SqliteConnection> pool_;
    std::mutex writeMutex_;
};

} // namespace

std::unique_ptr<ScoreStore> openSqliteStore(const std::string& path, std::string& error) {
    auto store = std::make_unique<SqliteStore>(path);
    if (!store->start(error)) return nullptr;
    return store;
}

} // namespace scores
