#pragma once

#include "protocol/CurlSession.h"

#include <QByteArray>
#include <QHash>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include <curl/curl.h>

struct epoll_event;

// libcurl's multi interface on a thread of its own: the sockets libcurl watches are kept in one
// epoll set, and the thread waits on that set alone, with libcurl's own time-out and the limits
// of each transfer as the wait's time-out. Connections are kept alive and reused where the
// server allows it, at most six at a time per host; more requests to a host wait, in order, for
// one of its transfers to end.
//
// Every transfer sends its request exactly once: should libcurl want to send it again (it does
// so on its own when a reused connection closes before any answer), the transfer fails
// instead. A transfer fails, without an answer, when it ends without a complete reply (short
// body, connection closed in the middle), when nothing moves for its idle limit, and when its
// whole limit has passed, even while bytes still trickle in.
//
// Only post() and takeOutcomes() are called from other threads; everything else runs on the
// engine's thread, inside run().
class CurlEngine {
public:
    using Id = CurlSession::Id;
    using Request = CurlSession::Request;
    using Outcome = CurlSession::Outcome;

    struct Start {
        Id id;
        Request request;
    };
    struct Cancel {
        Id id;
    };
    struct Stop {};
    using Command = std::variant<Start, Cancel, Stop>;

    // `outcomesReady` is called on the engine's thread whenever outcomes wait where there were
    // none: takeOutcomes() hands them over.
    explicit CurlEngine(std::function<void()> outcomesReady);
    ~CurlEngine();
    CurlEngine(const CurlEngine&) = delete;
    CurlEngine& operator=(const CurlEngine&) = delete;

    // False when the set to wait in could not be made: the engine cannot run.
    bool usable() const;

    // The engine's thread: runs until a Stop command, then lets every transfer go unanswered.
    void run();

    // Any thread.
    void post(Command command);
    std::vector<std::pair<Id, Outcome>> takeOutcomes();

private:
    struct Transfer;
    struct Watch {
        CURL* easy = nullptr; // the transfer using the socket
        int what = 0;         // CURL_POLL_IN, _OUT or _INOUT: what libcurl waits for; 0: nothing
        uint32_t events = 0;  // what the set reports for it
    };
    using Steady = std::chrono::steady_clock;

    static int onSocket(CURL* easy, int socket, int what, void* self, void* socketData);
    static int onTimer(CURLM* multi, long milliseconds, void* self);
    static curl_socket_t onOpen(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int onClose(void* self, curl_socket_t socket);
    static size_t onHeader(char* data, size_t size, size_t count, void* transfer);
    static size_t onBody(char* data, size_t size, size_t count, void* transfer);
    static int onPrerequest(void* transfer, char*, char*, int, int);

    int wait(epoll_event* events, int capacity);
    int noteActivity(int count);
    std::optional<Steady::time_point> retireAt() const;
    bool retireDue() const;
    bool obey();
    void start(Id id, Request request);
    void cancel(Id id);
    void launch(Transfer* transfer);
    void release(Transfer* transfer);
    void watch(int socket, int what, CURL* easy);
    void handle(int socket, uint32_t events);
    void act(int socket, int events);
    void serveDue();
    int waitMillis() const;
    void collect();
    void finish(Transfer* transfer, Outcome outcome);
    void publish();
    void checkLimits();
    void armWatchdog();
    CURL* takeHandle();
    void shutDown();

    std::function<void()> outcomesReady_;
    CURLM* multi_ = nullptr;
    int epoll_ = -1;
    int wake_ = -1; // eventfd: commands wait
    static constexpr std::chrono::microseconds busyWindow{50};
    static constexpr std::chrono::milliseconds quietBeforeRetiring{1};
    static constexpr std::chrono::milliseconds longestRetiring{100};
    Steady::time_point busyUntil_;
    Steady::time_point lastActivity_;
    std::optional<Steady::time_point> curlDue_;
    std::optional<Steady::time_point> watchdogAt_;
    std::unordered_map<int, Watch> watches_;
    QHash<Id, Transfer*> transfers_; // owned: in flight or waiting
    QHash<QByteArray, int> running_; // per origin
    QHash<QByteArray, std::deque<Transfer*>> waiting_;
    std::vector<std::pair<Id, Outcome>> finished_; // found in this turn, not yet handed over
    std::vector<CURL*> spareHandles_;
    std::vector<Transfer*> retiring_; // owned: cancelled while running, still in libcurl
    bool closing_ = false;

    std::mutex mutex_; // guards the two boxes below
    std::vector<Command> inbox_;
    std::vector<std::pair<Id, Outcome>> outbox_;
};
