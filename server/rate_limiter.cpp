// Token buckets per client address.
#include "rate_limiter.h"

#include <cmath>

namespace scores {

// Past this many addresses the buckets that have refilled are forgotten, so the table stays small.
static const size_t kMostAddresses = 10000;

bool RateLimiter::allow(const std::string& address, double now, int& retryAfter) {
    if (perMinute_ <= 0) return true;
    const double capacity = perMinute_, perSecond = perMinute_ / 60.0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (buckets_.size() >= kMostAddresses) {
        for (auto it = buckets_.begin(); it != buckets_.end();) {
            if (it->second.tokens + (now - it->second.updated) * perSecond >= capacity)
                it = buckets_.erase(it);
            else
                ++it;
        }
    }
    auto found = buckets_.find(address);
    if (found == buckets_.end()) found = buckets_.emplace(address, Bucket{capacity, now}).first;
    Bucket& b = found->second;
    // A clock that stepped back gives nothing and takes nothing.
    if (now > b.updated) b.tokens = std::min(capacity, b.tokens + (now - b.updated) * perSecond);
    b.updated = std::max(b.updated, now);
    if (b.tokens >= 1.0) {
        b.tokens -= 1.0;
        return true;
    }
    retryAfter = int(std::ceil((1.0 - b.tokens) / perSecond));
    if (retryAfter < 1) retryAfter = 1;
    return false;
}

} // namespace scores
