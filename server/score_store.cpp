// Chooses the back-end from the database text.
#include "score_store.h"

namespace scores {

static bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::unique_ptr<ScoreStore> openScoreStore(const std::string& database, std::string& error) {
    if (startsWith(database, "postgresql://") || startsWith(database, "postgres://"))
        return openPostgresStore(database, error);
    if (startsWith(database, "pg:")) return openPostgresStore(database.substr(3), error);
    if (database.empty()) {
        error = "no database given";
        return nullptr;
    }
    return openSqliteStore(database, error);
}

} // namespace scores
