// A pool of database connections shared by the server's request threads: a thread takes one for the
// length of a call and gives it back, so each connection is used by one thread at a time.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace scores {

template <class Connection>
class ConnectionPool {
public:
    using Opener = std::function<std::unique_ptr<Connection>(std::string& error)>;
    explicit ConnectionPool(Opener opener) : opener_(std::move(opener)) {}

    // An idle connection, or a new one; null with a reason when none can be opened.
    std::unique_ptr<Connection> take(std::string& error) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!idle_.empty()) {
                std::unique_ptr<Connection> c = std::move(idle_.back());
                idle_.pop_back();
                return c;
            }
        }
        return opener_(error);
    }

    // Keeps the connection for the next call; a broken one is passed as null and simply dropped.
    void give(std::unique_ptr<Connection> connection) {
        if (!connection) return;
        std::lock_guard<std::mutex> lock(mutex_);
        idle_.push_back(std::move(connection));
    }

private:
    Opener opener_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

} // namespace scores
