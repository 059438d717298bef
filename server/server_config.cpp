// Command line and environment of the score server.
#include "server_config.h"

#include <cstdlib>

namespace scores {

const char* const kUsage =
    "usage: vexlin-scores [options]\n"
    "  --listen ADDRESS      address to listen on (default 127.0.0.1)      VEXLIN_SCORES_LISTEN\n"
    "  --port N              port, 0 for any free one (default 8642)       VEXLIN_SCORES_PORT\n"
    "  --database DB         SQLite file (default vexlin-scores.db), or     VEXLIN_SCORES_DATABASE\n"
    "                        postgresql://... or pg:<libpq key=value text>\n"
    "  --rate-limit N        posts per minute per client, 0 for no limit   VEXLIN_SCORES_RATE_LIMIT\n"
    "                        (default 20)\n"
    "  --threads N           request threads (default 16)                  VEXLIN_SCORES_THREADS\n"
    "  --trust-forwarded-for take the client address from X-Forwarded-For  "
    "VEXLIN_SCORES_TRUST_FORWARDED_FOR=1\n"
    "                        (only behind a load balancer that sets it)\n";

static bool parseNumber(const std::string& text, int lowest, int highest, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int v = std::atoi(text.c_str());
    if (v < lowest || v > highest) return false;
    value = v;
    return true;
}

static bool setValue(ServerConfig& config, const std::string& key, const std::string& value,
                     std::string& error) {
    bool ok = true;
    if (key == "listen")
        ok = !(config.listen = value).empty();
    else if (key == "port")
        ok = parseNumber(value, 0, 65535, config.port);
    else if (key == "database")
        ok = !(config.database = value).empty();
    else if (key == "rate-limit")
        ok = parseNumber(value, 0, 1000000, config.rateLimit);
    else if (key == "threads")
        ok = parseNumber(value, 1, 1024, config.threads);
    else if (key == "trust-forwarded-for")
        ok = value == "1" || value == "0", config.trustForwardedFor = value == "1";
    else {
        error = "unknown option --" + key;
        return false;
    }
    if (!ok) error = "bad value for " + key + ": \"" + value + "\"";
    return ok;
}

bool parseConfig(int argc, const char* const* argv, const std::function<const char*(const char*)>& getenv,
                 ServerConfig& config, std::string& error, bool& help) {
    help = false;
    static const char* const kKeys[] = {"listen",     "port",    "database",
                                        "rate-limit", "threads", "trust-forwarded-for"};
    for (const char* key : kKeys) {
        std::string name = "VEXLIN_SCORES_";
        for (const char* p = key; *p; p++) name += *p == '-' ? '_' : char(*p - 'a' + 'A');
        const char* value = getenv(name.c_str());
        if (value && !setValue(config, key, value, error)) {
            error += " (from " + name + ")";
            return false;
        }
    }
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        if (arg == "--trust-forwarded-for") {
            config.trustForwardedFor = true;
            continue;
        }
        if (arg.compare(0, 2, "--") != 0) {
            error = "unexpected argument \"" + arg + "\"";
            return false;
        }
        std::string key = arg.substr(2), value;
        size_t eq = key.find('=');
        if (eq != std::string::npos) {
            value = key.substr(eq + 1);
            key.resize(eq);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "option " + arg + " needs a value";
            return false;
        }
        if (!setValue(config, key, value, error)) return false;
    }
    return true;
}

} // namespace scores
