// What the server answers, apart from HTTP itself: the posting path, the two scores pages and the health
// path, each turned from a plain request into a plain answer so that the rules can be driven directly.
#pragma once

#include <ctime>
#include <string>

#include "rate_limiter.h"
#include "score_store.h"

namespace scores {

const char* const kPostPath = "/cgi-bin/score.cgi";
const char* const kHealthPath = "/health";
// Entries shown in each list of a scores page.
const int kListLength = 20;

struct ServiceRequest {
    std::string method;
    std::string path;  // decoded
    std::string query; // raw, still percent-encoded
    size_t targetLength = 0;
    std::string client;
};

struct ServiceAnswer {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    int retryAfter = 0; // seconds, for 429
    std::string note;   // what the request log adds
};

class ScoreService {
public:
    ScoreService(ScoreStore& store, int rateLimit) : store_(store), limiter_(rateLimit) {}
    // `now` is the wall clock (dates), `monotonic` a steady clock in seconds (rate limit).
    ServiceAnswer handle(const ServiceRequest& request, std::time_t now, double monotonic);

private:
    ServiceAnswer post(const ServiceRequest& request, std::time_t now, double monotonic);
    ServiceAnswer scoresPage(Language language, std::time_t now);
    ServiceAnswer health();

    ScoreStore& store_;
    RateLimiter limiter_;
};

} // namespace scores
