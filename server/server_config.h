// The server's settings, from the command line and the environment (the command line wins).
#pragma once

#include <functional>
#include <string>

namespace scores {

struct ServerConfig {
    std::string listen = "127.0.0.1";
    int port = 8642; // 0: any free port, printed at start
    std::string database = "vexlin-scores.db";
    int rateLimit = 20; // posts per minute per client address; 0 for none
    int threads = 16;
    // Behind a load balancer the client is the last address of X-Forwarded-For.
    bool trustForwardedFor = false;
};

// Reads VEXLIN_SCORES_LISTEN, _PORT, _DATABASE, _RATE_LIMIT, _THREADS and _TRUST_FORWARDED_FOR through
// `getenv`, then the options. False with a message on a bad value; `help` is set for --help.
bool parseConfig(int argc, const char* const* argv, const std::function<const char*(const char*)>& getenv,
                 ServerConfig& config, std::string& error, bool& help);

extern const char* const kUsage;

} // namespace scores
