// Limits the posts each client address may send: a bucket per address that holds up to `perMinute` posts
// and refills at that rate, so a burst of a full table is fine but a flood is turned away.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>

namespace scores {

class RateLimiter {
public:
    // perMinute 0 turns the limit off.
    explicit RateLimiter(int perMinute) : perMinute_(perMinute) {}

    // True when `address` may post at time `now` (seconds); otherwise false and the seconds until it may.
    bool allow(const std::string& address, double now, int& retryAfter);

private:
    struct Bucket {
        double tokens;
        double updated;
    };
    int perMinute_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};

} // namespace scores
