// What the HTTP tests share: a real vexlin-scores process on a loopback port, a fresh database on either
// back-end, a plain HTTP client, and a look straight into the database behind the server's back.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct HttpAnswer {
    int status = 0; // 0 when there was no answer
    std::string body;
    std::string retryAfter;
};

// One GET of a raw target (sent as written) on 127.0.0.1:port, on a new connection.
HttpAnswer get(int port, const std::string& target);

class ServerProcess {
public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess();

    // Starts the server on 127.0.0.1 and any free port with these extra options; false with a reason.
    bool start(const std::vector<std::string>& options, std::string& error);
    int port() const { return port_; }
    // SIGTERM and wait (SIGKILL after 10 s); true when it exited by itself with status 0.
    bool stop();
    // SIGKILL and wait.
    void kill();
    // Everything the server logged so far.
    std::string log() const;
    // True once the log holds `text`; the line of a request is written just after its answer is sent.
    bool logShows(const std::string& text) const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string logPath_;
};

// A fresh, empty database for one test.
class TestDatabase {
public:
    enum Kind { Sqlite, Postgres };
    TestDatabase(Kind kind, const std::string& testName);
    ~TestDatabase();
    // The --database value; empty when the database could not be made (see error()).
    const std::string& database() const { return database_; }
    const std::string& error() const { return error_; }
    Kind kind() const { return kind_; }

    // Reads behind the server's back: how often an entry is stored, how many rows there are, and whether
    // the store is intact. -1 on a failed read.
    long countEntry(uint32_t score, const std::string& name, uint32_t day) const;
    long countRows() const;
    bool intact(std::string& problem) const;
    // Runs SQL behind the server's back (to plant a fault); false when it fails.
    bool execute(const std::string& sql) const;
    // Stores a row as if an older or a careless server had, for the escaping test.
    bool insertRaw(uint32_t score, const std::string& name, uint32_t day) const;

private:
    Kind kind_;
    std::string database_, error_, path_, folder_, adminConninfo_, dbName_;
};

// The folder of a new temporary directory, removed by the caller.
std::string makeTempFolder(const std::string& tag);
void removeFolder(const std::string& path);

} // namespace testsupport
