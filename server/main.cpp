// vexlin-scores: the score server. Answers the game's score posts and serves the scores pages over HTTP,
// storing scores in SQLite or PostgreSQL; logs one line per request on standard error.
#include <httplib.h>

#include <signal.h>
#include <sys/socket.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "score_service.h"
#include "server_config.h"

using namespace scores;

namespace {

std::mutex logMutex;
// What the handler adds to the request's log line; the logger runs on the same thread right after it.
thread_local std::string requestNote;

// Keeps a logged text on one line and free of terminal controls, whatever a client sent.
std::string loggable(const std::string& text, size_t most) {
    std::string out;
    for (size_t i = 0; i < text.size() && out.size() < most; i++) {
        unsigned char c = (unsigned char)text[i];
        out += (c < 0x20 || c == 0x7F || c >= 0x80) ? '?' : char(c);
    }
    if (text.size() > most) out += "...";
    return out;
}

void logLine(const std::string& line) {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
    std::lock_guard<std::mutex> lock(logMutex);
    std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
    std::fflush(stderr);
}

// The library listens with a backlog of five connections; a burst of new clients beyond that waits for
// the kernel's one-second SYN retry. The server's socket is only reachable from a subclass.
class ScoresHttpServer : public httplib::Server {
public:
    // Widens the queue of connections not yet accepted; false when the socket refuses.
    bool widenBacklog(int backlog) { return ::listen(svr_sock_, backlog) == 0; }
};

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string clientOf(const httplib::Request& req, bool trustForwardedFor) {
    if (trustForwardedFor && req.has_header("X-Forwarded-For")) {
        std::string chain = req.get_header_value("X-Forwarded-For");
        size_t comma = chain.rfind(',');
        std::string last = comma == std::string::npos ? chain : chain.substr(comma + 1);
        size_t a = last.find_first_not_of(' '), b = last.find_last_not_of(' ');
        if (a != std::string::npos) return last.substr(a, b - a + 1);
    }
    return req.remote_addr;
}

} // namespace

int main(int argc, char** argv) {
    ServerConfig config;
    std::string error;
    bool help = false;
    if (!parseConfig(
            argc, argv, [](const char* name) { return std::getenv(name); }, config, error, help)) {
        std::fprintf(stderr, "vexlin-scores: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    // Stop signals are taken by one thread that stops the server; every other thread keeps them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<ScoreStore> store = openScoreStore(config.database, error);
    if (!store) {
        std::fprintf(stderr, "vexlin-scores: %s\n", error.c_str());
        return 1;
    }
    ScoreService service(*store, config.rateLimit);

    ScoresHttpServer server;
    int threads = config.threads;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_timeout(2);
    server.set_payload_max_length(64 * 1024);
    bool trust = config.trustForwardedFor;

    // Every request is answered here, whatever its path or method; the router behind is never reached.
    server.set_pre_routing_handler([&service, trust](const httplib::Request& req, httplib::Response& res) {
        ServiceRequest request;
        request.method = req.method;
        request.path = req.path;
        size_t mark = req.target.find('?');
        if (mark != std::string::npos) request.query = req.target.substr(mark + 1);
        request.targetLength = req.target.size();
        request.client = clientOf(req, trust);
        ServiceAnswer answer = service.handle(request, std::time(nullptr), monotonicSeconds());
        res.status = answer.status;
        res.set_content(answer.body, answer.contentType.c_str());
        res.set_header("Cache-Control", "no-cache");
        if (answer.status == 405) res.set_header("Allow", "GET, HEAD");
        if (answer.retryAfter > 0) res.set_header("Retry-After", std::to_string(answer.retryAfter));
        requestNote = answer.note;
        return httplib::Server::HandlerResponse::Handled;
    });
    // Requests the library refuses before routing (an address past its own limit, a broken request line)
    // get the same plain answers as the rest.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (res.status == 414) res.status = 400;
            if (res.body.empty()) {
                const char* text =
                    res.status == 400 ? "the address is too long or the request is malformed" : "error";
                res.set_content(std::string(text) + "\n", "text/plain; charset=utf-8");
            }
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_logger([trust](const httplib::Request& req, const httplib::Response& res) {
        std::string note = loggable(requestNote, 300);
        requestNote.clear();
        logLine(loggable(clientOf(req, trust), 64) + " " + loggable(req.method, 10) + " " +
                loggable(req.target, 300) + " " + std::to_string(res.status) +
                (note.empty() ? "" : " " + note));
    });

    int port = config.port;
    if (port == 0) {
        port = server.bind_to_any_port(config.listen);
        if (port < 0) port = 0;
    } else if (!server.bind_to_port(config.listen, port)) {
        port = 0;
    }
    if (port == 0) {
        std::fprintf(stderr, "vexlin-scores: cannot listen on %s port %d\n", config.listen.c_str(),
                     config.port);
        return 1;
    }

    if (!server.widenBacklog(512)) logLine("the connection backlog stays at the library's five");

    std::atomic<bool> stopping{false};
    std::thread stopper([&server, &stopping, stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        stopping = true;
        logLine(std::string("stopping on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
        server.stop();
    });
    std::printf("vexlin-scores listening on http://%s:%d\n", config.listen.c_str(), port);
    std::fflush(stdout);
    logLine("listening on " + config.listen + ":" + std::to_string(port) + ", database " +
            (config.database.find("://") != std::string::npos || config.database.compare(0, 3, "pg:") == 0
                 ? std::string("PostgreSQL")
                 : config.database));
    bool ok = server.listen_after_bind();
    // When the server stopped for another reason than a signal, the stopper still waits for one.
    if (!stopping) kill(getpid(), SIGTERM);
    stopper.join();
    return ok ? 0 : 1;
}
