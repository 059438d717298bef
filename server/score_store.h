// Where accepted scores live: one small interface with two back-ends, SQLite (one file, the default) and
// PostgreSQL (one database shared by several server processes). Every call is safe from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "score_rules.h"

namespace scores {

// Months are numbered year x 12 + month - 1, which is a day number divided by 31; each row stores its
// month so that a month's best are one index range away however many scores the month holds.
constexpr int kAllTime = -1;
inline int monthOf(uint32_t day) { return int(day / 31); }

struct ListedScore {
    uint32_t score = 0;
    std::string name; // as sent: spaces as "@"
    uint32_t day = 0;
};

class ScoreStore {
public:
    virtual ~ScoreStore() = default;
    // Stores the entries in one transaction, committed before it returns; added[i] tells whether entry i
    // was new (an entry already stored is kept once). False with a reason, and nothing stored, on failure.
    virtual bool keep(const std::vector<ScoreEntry>& entries, Language language, std::vector<bool>& added,
                      std::string& error) = 0;
    // The best `limit` scores of all time (month kAllTime) or of one month (monthOf(day)), best first;
    // ties keep the earlier date, then the earlier arrival. False with a reason on failure.
    virtual bool best(int month, int limit, std::vector<ListedScore>& scores, std::string& error) = 0;
    // True when the database answers.
    virtual bool healthy(std::string& error) = 0;
};

// Opens the store named by `database`: "postgresql://..." or "postgres://..." (a libpq connection URI) or
// "pg:<libpq key=value text>" selects PostgreSQL, anything else is the path of an SQLite file. The schema
// is created or brought up to date. Null with a reason on failure.
std::unique_ptr<ScoreStore> openScoreStore(const std::string& database, std::string& error);

// The back-ends, for openScoreStore.
std::unique_ptr<ScoreStore> openSqliteStore(const std::string& path, std::string& error);
std::unique_ptr<ScoreStore> openPostgresStore(const std::string& conninfo, std::string& error);

} // namespace scores
