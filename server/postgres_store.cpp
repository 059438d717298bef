// The PostgreSQL back-end: one shared database for several server processes, a connection per busy
// request thread, every post in one transaction committed before the answer.
#include <libpq-fe.h>

#include <cstdlib>

#include "connection_pool.h"
#include "score_store.h"

namespace scores {
namespace {

const char* const kMigrations[] = {
    "CREATE TABLE scores ("
    " id BIGSERIAL PRIMARY KEY,"
    " score BIGINT NOT NULL,"
    " name TEXT NOT NULL,"
    " day INTEGER NOT NULL,"
    " month INTEGER NOT NULL,"
    " signature BIGINT NOT NULL,"
    " lang TEXT NOT NULL,"
    " received_at TIMESTAMPTZ NOT NULL DEFAULT now(),"
    " UNIQUE (score, name, day));"
    "CREATE INDEX scores_by_score ON scores (score DESC, day, id);"
    "CREATE INDEX scores_by_month ON scores (month, score DESC, day, id);",
};
const int kSchemaVersion = int(sizeof(kMigrations) / sizeof(kMigrations[0]));
// Serialises the migration of servers that start together on one database.
const char* const kMigrationLock = "SELECT pg_advisory_xact_lock(739254017)";

struct PgConnection {
    PGconn* conn = nullptr;
    ~PgConnection() { PQfinish(conn); }
};

// Runs a command without rows; false with the server's message.
bool command(PGconn* conn, const char* sql, std::string& error) {
    PGresult* r = PQexec(conn, sql);
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    if (!ok) error = PQerrorMessage(conn);
    PQclear(r);
    return ok;
}

std::unique_ptr<PgConnection> openConnection(const std::string& conninfo, std::string& error) {
    auto c = std::make_unique<PgConnection>();
    c->conn = PQconnectdb(conninfo.c_str());
    if (!c->conn || PQstatus(c->conn) != CONNECTION_OK) {
        error =
            std::string("cannot connect to PostgreSQL: ") + (c->conn ? PQerrorMessage(c->conn) : "no memory");
        return nullptr;
    }
    // Notices (such as "relation already exists, skipping") are not the request log's business.
    PQsetNoticeProcessor(
        c->conn, [](void*, const char*) {}, nullptr);
    return c;
}

bool migrate(PGconn* conn, std::string& error) {
    if (!command(conn, "BEGIN", error)) return false;
    bool ok = command(conn, kMigrationLock, error) &&
              command(conn, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", error);
    int version = 0;
    if (ok) {
        PGresult* r = PQexec(conn, "SELECT version FROM schema_version");
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            error = PQerrorMessage(conn);
            ok = false;
        } else if (PQntuples(r) > 0) {
            version = std::atoi(PQgetvalue(r, 0, 0));
        }
        PQclear(r);
    }
    if (ok && version > kSchemaVersion) {
        error = "the database has schema version " + std::to_string(version) + ", newer than this server's " +
                std::to_string(kSchemaVersion);
        ok = false;
    }
    for (int v = version; ok && v < kSchemaVersion; v++) ok = command(conn, kMigrations[v], error);
    if (ok && version < kSchemaVersion) {
        std::string set = "DELETE FROM schema_version; INSERT INTO schema_version VALUES (" +
                          std::to_string(kSchemaVersion) + ")";
        ok = command(conn, set.c_str(), error);
    }
    std::string ignored;
    if (!ok) {
        command(conn, "ROLLBACK", ignored);
        return false;
    }
    return command(conn, "COMMIT", error);
}

class PostgresStore : public ScoreStore {
public:
    explicit PostgresStore(const std::string& conninfo)
        : pool_([conninfo](std::string& error) { return openConnection(conninfo, error); }) {}

    bool start(std::string& error) {
        std::unique_ptr<PgConnection> c = pool_.take(error);
        if (!c || !migrate(c->conn, error)) return false;
        pool_.give(std::move(c));
        return true;
    }

    bool keep(const std::vector<ScoreEntry>& entries, Language language, std::vector<bool>& added,
              std::string& error) override {
        added.assign(entries.size(), false);
        if (entries.empty()) return true;
        std::unique_ptr<PgConnection> c = pool_.take(error);
        if (!c) return false;
        bool ok = command(c->conn, "BEGIN", error);
        const char* lang = language == Language::Esperanto ? "eo" : "en";
        for (size_t i = 0; ok && i < entries.size(); i++) {
            const ScoreEntry& e = entries[i];
            std::string score = std::to_string(e.score), day = std::to_string(e.day),
                        signature = std::to_string(e.signature);
            const char* values[5] = {score.c_str(), e.name.c_str(), day.c_str(), signature.c_str(), lang};
            PGresult* r = PQexecParams(c->conn,
                                       "INSERT INTO scores (score, name, day, month, signature, lang)"
                                       " VALUES ($1, $2, $3::integer, $3::integer / 31, $4, $5)"
                                       " ON CONFLICT (score, name, day) DO NOTHING",
                                       5, nullptr, values, nullptr, nullptr, 0);
            if (PQresultStatus(r) != PGRES_COMMAND_OK) {
                error = PQerrorMessage(c->conn);
                ok = false;
            } else {
                added[i] = std::string(PQcmdTuples(r)) == "1";
            }
            PQclear(r);
        }
        if (ok) ok = command(c->conn, "COMMIT", error);
        if (!ok) {
            std::string ignored;
            command(c->conn, "ROLLBACK", ignored);
            added.assign(entries.size(), false);
        }
        release(std::move(c));
        return ok;
    }

    bool best(int month, int limit, std::vector<ListedScore>& scores, std::string& error) override {
        scores.clear();
        std::unique_ptr<PgConnection> c = pool_.take(error);
        if (!c) return false;
        std::string count = std::to_string(limit), which = std::to_string(month);
        const char* values[2] = {count.c_str(), which.c_str()};
        PGresult* r = month == kAllTime ? PQexecParams(c->conn,
                                                       "SELECT score, name, day FROM scores"
                                                       " ORDER BY score DESC, day ASC, id ASC LIMIT $1",
                                                       1, nullptr, values, nullptr, nullptr, 0)
                                        : PQexecParams(c->conn,
                                                       "SELECT score, name, day FROM scores WHERE month = $2"
                                                       " ORDER BY score DESC, day ASC, id ASC LIMIT $1",
                                                       2, nullptr, values, nullptr, nullptr, 0);
        bool ok = PQresultStatus(r) == PGRES_TUPLES_OK;
        if (!ok) error = PQerrorMessage(c->conn);
        for (int row = 0; ok && row < PQntuples(r); row++) {
            ListedScore s;
            s.score = uint32_t(std::strtoul(PQgetvalue(r, row, 0), nullptr, 10));
            s.name.assign(PQgetvalue(r, row, 1), size_t(PQgetlength(r, row, 1)));
            s.day = uint32_t(std::strtoul(PQgetvalue(r, row, 2), nullptr, 10));
            scores.push_back(std::move(s));
        }
        PQclear(r);
        release(std::move(c));
        return ok;
    }

    bool healthy(std::string& error) override {
        std::unique_ptr<PgConnection> c = pool_.take(error);
        if (!c) return false;
        bool ok = command(c->conn, "SELECT 1", error);
        release(std::move(c));
        return ok;
    }

private:
    // A connection that the database dropped is closed; the next call opens a fresh one.
    void release(std::unique_ptr<PgConnection> c) {
        if (PQstatus(c->conn) != CONNECTION_OK) c.reset();
        pool_.give(std::move(c));
    }

    ConnectionPool<PgConnection> pool_;
};

} // namespace

std::unique_ptr<ScoreStore> openPostgresStore(const std::string& conninfo, std::string& error) {
    auto store = std::make_unique<PostgresStore>(conninfo);
    if (!store->start(error)) return nullptr;
    return store;
}

} // namespace scores
