// Routing and the handling of posts, pages and health checks.
#include "score_service.h"

#include "pages.h"
#include "post_query.h"

namespace scores {

// A device may be ahead of the server's UTC date by the widest time zone in use.
static const int kWidestZoneAhead = 14;

static ServiceAnswer plain(int status, const std::string& text) {
    ServiceAnswer a;
    a.status = status;
    a.body = text + "\n";
    a.note = text;
    return a;
}

ServiceAnswer ScoreService::handle(const ServiceRequest& request, std::time_t now, double monotonic) {
    bool known = request.path == kPostPath || request.path == scoresPagePath(Language::English) ||
                 request.path == scoresPagePath(Language::Esperanto) || request.path == kHealthPath;
    if (!known) return plain(404, "not found");
    if (request.method != "GET" && request.method != "HEAD")
        return plain(405, "only GET and HEAD are answered");
    if (request.path == kPostPath) return post(request, now, monotonic);
    if (request.path == kHealthPath) return health();
    return scoresPage(
        request.path == scoresPagePath(Language::Esperanto) ? Language::Esperanto : Language::English, now);
}

ServiceAnswer ScoreService::post(const ServiceRequest& request, std::time_t now, double monotonic) {
    int retryAfter = 0;
    if (!limiter_.allow(request.client, monotonic, retryAfter)) {
        ServiceAnswer a = plain(429, "too many posts from this address; try again later");
        a.retryAfter = retryAfter;
        return a;
    }
    if (request.targetLength > kLongestTarget) return plain(400, "the address is too long");
    PostQuery query;
    std::string reason;
    if (!parsePostQuery(request.query, query, reason)) return plain(400, reason);

    uint32_t today = dayNumberAt(now, kWidestZoneAhead);
    std::vector<PartOutcome> outcomes(query.parts.size());
    std::vector<ScoreEntry> accepted;
    std::vector<size_t> acceptedPart;
    for (size_t i = 0; i < query.parts.size(); i++) {
        outcomes[i].fields = query.parts[i];
        ScoreEntry entry;
        outcomes[i].refusal = checkEntry(query.parts[i], today, entry);
        if (outcomes[i].refusal != Refusal::None) continue;
        // The same entry twice in one post is stored once, like a repeated post.
        bool twice = false;
        for (const ScoreEntry& e : accepted)
            twice = twice || (e.score == entry.score && e.day == entry.day && e.name == entry.name);
        if (twice) continue;
        accepted.push_back(entry);
        acceptedPart.push_back(i);
    }
    std::vector<bool> added;
    std::string error;
    if (!store_.keep(accepted, query.language, added, error)) {
        ServiceAnswer a =
            plain(503, "the scores could not be stored, nothing was kept; please post again later");
        a.note += ": " + error;
        return a;
    }
    int kept = 0, already = 0, refused = 0;
    for (size_t k = 0; k < acceptedPart.size(); k++) outcomes[acceptedPart[k]].added = added[k];
    for (const PartOutcome& o : outcomes) {
        if (o.refusal != Refusal::None)
            refused++;
        else if (o.added)
            kept++;
        else
            already++;
    }
    ServiceAnswer a;
    a.contentType = "text/html; charset=utf-8";
    a.body = renderPostAnswer(query.language, outcomes);
    a.note = "kept=" + std::to_string(kept) + " already=" + std::to_string(already) +
             " refused=" + std::to_string(refused);
    return a;
}

ServiceAnswer ScoreService::scoresPage(Language language, std::time_t now) {
    uint32_t today = dayNumberAt(now, 0);
    CivilDate date = decodeDayNumber(today);
    std::vector<ListedScore> allTime, thisMonth;
    std::string error;
    if (!store_.best(kAllTime, kListLength, allTime, error) ||
        !store_.best(monthOf(today), kListLength, thisMonth, error)) {
        ServiceAnswer a = plain(503, "the scores cannot be read now; please try again later");
        a.note += ": " + error;
        return a;
    }
    ServiceAnswer a;
    a.contentType = "text/html; charset=utf-8";
    a.body = renderScoresPage(language, allTime, thisMonth, date);
    return a;
}

ServiceAnswer ScoreService::health() {
    std::string error;
    if (!store_.healthy(error)) {
        ServiceAnswer a = plain(503, "database unavailable");
        a.note += ": " + error;
        return a;
    }
    return plain(200, "ok");
}

} // namespace scores
