#include "protocol/CurlEngine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// An answer bigger than this is no speaker's: the transfer fails rather than fill the memory.
constexpr qsizetype bodyCap = 32 * 1024 * 1024;

// Speakers serve few connections at once; more requests to one host wait for a free one.
constexpr long connectionsPerHost = 6;

// Idle connections kept for reuse, across all hosts.
constexpr long keptConnections = 128;

QNetworkReply::NetworkError kindOf(CURLcode code, long osError) {
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        return osError == ECONNREFUSED ? QNetworkReply::ConnectionRefusedError
                                       : QNetworkReply::UnknownNetworkError;
    case CURLE_COULDNT_RESOLVE_HOST:
        return QNetworkReply::HostNotFoundError;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_ABORTED_BY_CALLBACK:
        return QNetworkReply::RemoteHostClosedError;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return QNetworkReply::ProtocolFailure;
    case CURLE_URL_MALFORMAT:
        return QNetworkReply::ProtocolInvalidOperationError;
    case CURLE_WRITE_ERROR:
        return QNetworkReply::UnknownContentError;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

CurlSession::Outcome failure(QNetworkReply::NetworkError error, QString message) {
    CurlSession::Outcome outcome;
    outcome.error = error;
    outcome.message = std::move(message);
    return outcome;
}

} // namespace

struct CurlEngine::Transfer {
    Id id = 0;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    Request request;
    Outcome answer; // headers and body as they arrive
    Steady::time_point started;
    Steady::time_point lastProgress;
    int sends = 0;
    bool tooLarge = false;
    bool cancelled = false; // ended by its caller, not yet taken out of libcurl
    Steady::time_point cancelledAt;
    char error[CURL_ERROR_SIZE] = {};

    Steady::time_point deadline() const {
        return std::min(lastProgress + request.idleLimit, started + request.callLimit);
    }
};

CurlEngine::CurlEngine(std::function<void()> outcomesReady) : outcomesReady_(std::move(outcomesReady)) {
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlEngine::onSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlEngine::onTimer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    // Room for the idle connections of a whole household: libcurl would otherwise keep about
    // four per transfer running at the moment, and close kept connections whenever few run.
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, keptConnections);
    // The limit of connections per host is kept here (see start()), not by libcurl, whose queue
    // wakes one waiting transfer per finished one whatever its host, and can leave transfers to
    // a responsive host waiting behind those to a silent one.

    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll_ >= 0 && wake_ >= 0) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = wake_;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
    }
}

CurlEngine::~CurlEngine() {
    shutDown();
    if (wake_ >= 0)
        ::close(wake_);
    if (epoll_ >= 0)
        ::close(epoll_);
}

// Lets every transfer go unanswered and frees what libcurl holds; run() ends with it.
void CurlEngine::shutDown() {
    if (!multi_)
        return;
    closing_ = true;
    while (!transfers_.isEmpty())
        release(*transfers_.begin());
    while (!retiring_.empty())
        release(retiring_.back());
    for (CURL* easy : spareHandles_)
        curl_easy_cleanup(easy);
    spareHandles_.clear();
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
}

void CurlEngine::post(Command command) {
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = inbox_.empty();
        inbox_.push_back(std::move(command));
    }
    // One wake for a whole run of commands: the engine takes them all at once.
    if (first && wake_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wake_, &one, sizeof one);
    }
}

std::vector<std::pair<CurlEngine::Id, CurlEngine::Outcome>> CurlEngine::takeOutcomes() {
    const std::lock_guard lock(mutex_);
    return std::exchange(outbox_, {});
}

bool CurlEngine::usable() const {
    return multi_ && epoll_ >= 0 && wake_ >= 0;
}

void CurlEngine::run() {
    std::array<epoll_event, 64> ready{};
    while (true) {
        serveDue();
        publish();
        const int count = wait(ready.data(), int(ready.size()));
        // Commands first: a request waiting to go out is not held up behind a batch of answers,
        // each of which takes a while to read. A socket that a command closes is no longer
        // watched, and its entry in this batch is passed over (see handle()). Should a socket
        // opened meanwhile have taken its number, the entry only makes libcurl look at the new
        // socket once for nothing: it checks for itself whether a socket can be read or written.
        const auto end = ready.begin() + std::max(count, 0);
        if (std::any_of(ready.begin(), end,
                        [this](const epoll_event& event) { return event.data.fd == wake_; }) &&
            !obey())
            return;
        for (auto event = ready.begin(); event != end; ++event)
            if (event->data.fd != wake_)
                handle(event->data.fd, event->events);
    }
}

// Waits for sockets or commands. Right after activity it looks again and again for a short
// while before it sleeps: the caller's next request, or the answer to the request just sent,
// most often comes within that time, and a sleeping thread takes far longer than that to
// wake on another processor.
int CurlEngine::wait(epoll_event* events, int capacity) {
    // Cancelled transfers are taken out one at a time, only while nothing else waits.
    while (retireDue()) {
        const int count = ::epoll_wait(epoll_, events, capacity, 0);
        if (count != 0)
            return noteActivity(count);
        if (waitMillis() == 0)
            return 0;
        release(retiring_.front());
    }
    while (Steady::now() < busyUntil_) {
        const int count = ::epoll_wait(epoll_, events, capacity, 0);
        if (count != 0)
            return noteActivity(count);
        if (waitMillis() == 0)
            return 0; // a time-out is due
        // A thread that shares this processor (the caller's, most likely) runs meanwhile.
        sched_yield();
    }
    return noteActivity(::epoll_wait(epoll_, events, capacity, waitMillis()));
}

int CurlEngine::noteActivity(int count) {
    if (count > 0) {
        lastActivity_ = Steady::now();
        busyUntil_ = lastActivity_ + busyWindow;
    }
    return count;
}

// When the cancelled transfers are to be taken out of libcurl: once the thread has had nothing
// to do for a while, so that closing their connections (here and at the far end) does not hold
// up the requests and answers of the moment; at the latest a while after the cancel.
std::optional<CurlEngine::Steady::time_point> CurlEngine::retireAt() const {
    if (retiring_.empty())
        return std::nullopt;
    return std::min(lastActivity_ + quietBeforeRetiring, retiring_.front()->cancelledAt + longestRetiring);
}

bool CurlEngine::retireDue() const {
    const auto at = retireAt();
    return at && *at <= Steady::now();
}

// Carries out the commands that wait; false once told to stop.
bool CurlEngine::obey() {
    uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(wake_, &count, sizeof count);
    std::vector<Command> commands;
    {
        const std::lock_guard lock(mutex_);
        commands.swap(inbox_);
    }
    std::vector<Id> cancelled;
    for (const Command& command : commands) {
        if (std::holds_alternative<Stop>(command)) {
            shutDown();
            return false;
        }
        if (const auto* order = std::get_if<Cancel>(&command))
            cancelled.push_back(order->id);
    }
    // New requests go out at once, before the cancelled transfers end and before the answers
    // of this batch are read: ending a transfer that ran closes its connection, reading an
    // answer takes a while, and callers often cancel a whole batch just as they start the next
    // one. A transfer cancelled in the same batch is never started.
    bool started = false;
    for (Command& command : commands)
        if (auto* order = std::get_if<Start>(&command);
            order && std::find(cancelled.begin(), cancelled.end(), order->id) == cancelled.end()) {
            start(order->id, std::move(order->request));
            started = true;
        }
    if (started)
        serveDue();
    for (const Id id : cancelled)
        cancel(id);
    return true;
}

void CurlEngine::serveDue() {
    const auto now = Steady::now();
    if (curlDue_ && *curlDue_ <= now) {
        curlDue_.reset();
        act(CURL_SOCKET_TIMEOUT, 0);
    }
    if (watchdogAt_ && *watchdogAt_ <= now)
        checkLimits();
}

int CurlEngine::waitMillis() const {
    std::optional<Steady::time_point> due = curlDue_;
    for (const auto& other : {watchdogAt_, retireAt()})
        if (other && (!due || *other < *due))
            due = other;
    if (!due)
        return -1;
    // Rounded up: the wait never ends before a limit has passed; should it end early after all,
    // serveDue() finds nothing due and the next wait covers the rest.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - Steady::now());
    return int(std::clamp<qint64>(wait.count(), 0, 24LL * 3600 * 1000));
}

CURL* CurlEngine::takeHandle() {
    if (spareHandles_.empty())
        return curl_easy_init();
    CURL* easy = spareHandles_.back();
    spareHandles_.pop_back();
    return easy;
}

void CurlEngine::start(Id id, Request request) {
    auto* transfer = new Transfer;
    transfer->id = id;
    transfer->request = std::move(request);
    transfer->started = transfer->lastProgress = Steady::now();
    transfers_.insert(transfer->id, transfer);
    if (!watchdogAt_ || transfer->deadline() < *watchdogAt_)
        watchdogAt_ = transfer->deadline();
    if (running_.value(transfer->request.origin) < connectionsPerHost)
        launch(transfer);
    else
        waiting_[transfer->request.origin].push_back(transfer);
}

void CurlEngine::launch(Transfer* transfer) {
    const Request& r = transfer->request;
    ++running_[r.origin];
    for (const auto& [name, value] : r.headers)
        // "Name;" is libcurl's way of sending a header with an empty value.
        transfer->headers = curl_slist_append(
            transfer->headers, (value.isEmpty() ? name + ';' : name + ": " + value).constData());
    // Never wait for a "100 Continue" that speakers do not send.
    transfer->headers = curl_slist_append(transfer->headers, "Expect:");

    CURL* easy = transfer->easy = takeHandle();
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer);
    curl_easy_setopt(easy, CURLOPT_URL, r.url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Speakers are on the local network: a proxy from the environment would only be in the way.
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->error);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlEngine::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlEngine::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CurlEngine::onPrerequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &CurlEngine::onOpen);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlEngine::onClose);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);
    if (r.body.isEmpty() && r.verb != "POST") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(r.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.constData());
    }
    if (r.freshConnection) {
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    }
    if (r.verb != "GET" && r.verb != "POST")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.verb.constData());

    if (const CURLMcode added = curl_multi_add_handle(multi_, easy); added != CURLM_OK)
        finish(transfer,
               failure(QNetworkReply::UnknownNetworkError, QString::fromUtf8(curl_multi_strerror(added))));
}

// Forgets a transfer, running or waiting, and lets the next one waiting for its host start.
void CurlEngine::release(Transfer* transfer) {
    transfers_.remove(transfer->id);
    if (transfer->cancelled)
        retiring_.erase(std::remove(retiring_.begin(), retiring_.end(), transfer), retiring_.end());
    const QByteArray origin = transfer->request.origin;
    bool ran = false;
    if (transfer->easy) {
        ran = true;
        curl_multi_remove_handle(multi_, transfer->easy);
        curl_easy_reset(transfer->easy);
        spareHandles_.push_back(transfer->easy);
        curl_slist_free_all(transfer->headers);
        if (--running_[origin] <= 0)
            running_.remove(origin);
    } else if (auto queue = waiting_.find(origin); queue != waiting_.end()) {
        queue->erase(std::remove(queue->begin(), queue->end(), transfer), queue->end());
        if (queue->empty())
            waiting_.erase(queue);
    }
    delete transfer;
    if (!ran || closing_)
        return;
    if (auto queue = waiting_.find(origin); queue != waiting_.end()) {
        Transfer* next = queue->front();
        queue->pop_front();
        if (queue->empty())
            waiting_.erase(queue);
        launch(next);
    }
}

void CurlEngine::cancel(Id id) {
    if (Transfer* transfer = transfers_.value(id)) {
        // A running transfer is taken out of libcurl later, when nothing else waits (see
        // wait()): that closes its connection, which takes longer than sending a request, and
        // whoever cancels often starts other requests just then. It is never handed over. One
        // that has not started, or whose host has others waiting for a connection, ends now.
        if (transfer->easy && !waiting_.contains(transfer->request.origin)) {
            transfers_.remove(id);
            transfer->cancelled = true;
            transfer->cancelledAt = Steady::now();
            retiring_.push_back(transfer);
            return;
        }
        release(transfer);
        return;
    }
    // Found but not yet handed over: the caller no longer waits for it.
    finished_.erase(std::remove_if(finished_.begin(), finished_.end(),
                                   [id](const auto& entry) { return entry.first == id; }),
                    finished_.end());
}

int CurlEngine::onSocket(CURL* easy, curl_socket_t socket, int what, void* self, void*) {
    auto* engine = static_cast<CurlEngine*>(self);
    if (!engine->closing_)
        engine->watch(socket, what, easy);
    return 0;
}

curl_socket_t CurlEngine::onOpen(void* self, curlsocktype, curl_sockaddr* address) {
    const int socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    // A number seen before belonged to a socket that closed unseen: whatever was noted of it is
    // forgotten, so that the new socket is added to the set.
    if (socket >= 0)
        static_cast<CurlEngine*>(self)->watches_.erase(socket);
    return socket >= 0 ? socket : CURL_SOCKET_BAD;
}

int CurlEngine::onClose(void* self, curl_socket_t socket) {
    // Closing takes the socket out of the set; the number is free for the next one.
    static_cast<CurlEngine*>(self)->watches_.erase(socket);
    return ::close(socket);
}

int CurlEngine::onTimer(CURLM*, long milliseconds, void* self) {
    auto* engine = static_cast<CurlEngine*>(self);
    // Served by run() before it waits again: a time-out of 0 (a transfer just added, most
    // often) is served at once.
    if (milliseconds < 0)
        engine->curlDue_.reset();
    else
        engine->curlDue_ = Steady::now() + std::chrono::milliseconds(milliseconds);
    return 0;
}

size_t CurlEngine::onHeader(char* data, size_t size, size_t count, void* opaque) {
    auto* transfer = static_cast<Transfer*>(opaque);
    const size_t length = size * count;
    transfer->lastProgress = Steady::now();
    const QByteArrayView line(data, qsizetype(length));
    if (line.startsWith("HTTP/")) {
        // A new status line: what came before belonged to an interim answer.
        transfer->answer.headers.clear();
        return length;
    }
    // Cut in place: only the name and the value are copied.
    const qsizetype colon = line.indexOf(':');
    if (colon > 0)
        transfer->answer.headers.append(
            {line.first(colon).trimmed().toByteArray(), line.sliced(colon + 1).trimmed().toByteArray()});
    return length;
}

size_t CurlEngine::onBody(char* data, size_t size, size_t count, void* opaque) {
    auto* transfer = static_cast<Transfer*>(opaque);
    const size_t length = size * count;
    transfer->lastProgress = Steady::now();
    if (transfer->answer.body.size() + qsizetype(length) > bodyCap) {
        transfer->tooLarge = true;
        return 0; // ends the transfer with an error
    }
    transfer->answer.body.append(data, qsizetype(length));
    return length;
}

int CurlEngine::onPrerequest(void* opaque, char*, char*, int, int) {
    // libcurl sends a request again on a fresh connection when a reused one closed before any
    // answer; the server may well have carried it out already, so the transfer fails instead.
    auto* transfer = static_cast<Transfer*>(opaque);
    return ++transfer->sends > 1 ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

void CurlEngine::watch(int socket, int what, CURL* easy) {
    if (what == CURL_POLL_REMOVE) {
        // The socket stays in the set, unwatched: a connection kept for the next request is
        // mostly watched again as before, and one that closes leaves the set on its own (see
        // onClose()). Should it stir meanwhile, handle() takes it out.
        if (const auto found = watches_.find(socket); found != watches_.end())
            found->second = {nullptr, 0, found->second.events};
        return;
    }
    epoll_event event{};
    event.events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
    event.data.fd = socket;
    const auto [entry, added] = watches_.try_emplace(socket);
    const bool same = !added && entry->second.events == event.events;
    // One transfer at a time per HTTP/1.1 connection: the one that asked to watch it.
    entry->second = {easy, what, event.events};
    if (same)
        return;
    // Should a socket have closed unseen, its number may since belong to a new one: whichever
    // of adding and changing fits is the one that works.
    if (::epoll_ctl(epoll_, added ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, socket, &event) == 0)
        return;
    if (errno == ENOENT)
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event);
    else if (errno == EEXIST)
        ::epoll_ctl(epoll_, EPOLL_CTL_MOD, socket, &event);
}

void CurlEngine::handle(int socket, uint32_t events) {
    const auto found = watches_.find(socket);
    if (found == watches_.end())
        return; // removed while the batch was handled
    const int what = found->second.what;
    if (what == 0) {
        // A kept connection nobody waits on stirred (the server closed it, most likely): it
        // leaves the set; libcurl finds out for itself when it next uses it.
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr);
        watches_.erase(found);
        return;
    }
    int mask = 0;
    // As a socket notifier would: reading on data, hang-up or error, writing on room or error.
    if ((what & CURL_POLL_IN) && (events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
        mask |= CURL_CSELECT_IN;
    if ((what & CURL_POLL_OUT) && (events & (EPOLLOUT | EPOLLERR)))
        mask |= CURL_CSELECT_OUT;
    // Readiness nobody waits for would come back at once, forever: libcurl looks at the socket
    // in the direction it watches and deals with whatever happened to it.
    if (mask == 0)
        mask =
            ((what & CURL_POLL_IN) ? CURL_CSELECT_IN : 0) | ((what & CURL_POLL_OUT) ? CURL_CSELECT_OUT : 0);
    if (mask & CURL_CSELECT_IN) {
        // Bytes arrived for the transfer on this connection: progress, even while they do not
        // yet make a whole header line.
        Transfer* transfer = nullptr;
        if (found->second.easy &&
            curl_easy_getinfo(found->second.easy, CURLINFO_PRIVATE, &transfer) == CURLE_OK && transfer)
            transfer->lastProgress = Steady::now();
    }
    act(socket, mask);
}

void CurlEngine::act(int socket, int events) {
    int running = 0;
    curl_multi_socket_action(multi_, socket, events, &running);
    collect();
}

void CurlEngine::collect() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        Transfer* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        if (!transfer)
            continue;
        if (transfer->cancelled) {
            // Ended while it waited to be taken out: nobody wants its outcome.
            release(transfer);
            continue;
        }
        const CURLcode result = message->data.result;
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        if (result == CURLE_OK && status > 0) {
            Outcome outcome = std::move(transfer->answer);
            outcome.status = int(status);
            finish(transfer, std::move(outcome));
            continue;
        }
        long osError = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_OS_ERRNO, &osError);
        QString why;
        if (result == CURLE_ABORTED_BY_CALLBACK)
            why = QStringLiteral(
                "the connection closed before an answer; the request is not sent a second time");
        else if (transfer->tooLarge)
            why = QStringLiteral("answer larger than %1 bytes").arg(bodyCap);
        else if (transfer->error[0])
            why = QString::fromUtf8(transfer->error);
        else
            why = QString::fromUtf8(curl_easy_strerror(result));
        finish(transfer,
               failure(result == CURLE_OK ? QNetworkReply::ProtocolFailure : kindOf(result, osError),
                       std::move(why)));
    }
}

void CurlEngine::finish(Transfer* transfer, Outcome outcome) {
    finished_.push_back({transfer->id, std::move(outcome)});
    release(transfer);
}

// Hands over what this turn found, in one go: the receiving thread wakes once for all of it.
void CurlEngine::publish() {
    if (finished_.empty())
        return;
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = outbox_.empty();
        if (first)
            outbox_.swap(finished_);
        else
            std::move(finished_.begin(), finished_.end(), std::back_inserter(outbox_));
    }
    finished_.clear();
    if (first && outcomesReady_)
        outcomesReady_();
}

void CurlEngine::checkLimits() {
    const auto now = Steady::now();
    QList<Transfer*> expired;
    for (Transfer* transfer : std::as_const(transfers_))
        if (transfer->deadline() <= now)
            expired.append(transfer);
    for (Transfer* transfer : std::as_const(expired)) {
        const bool whole = transfer->started + transfer->request.callLimit <= now;
        finish(transfer,
               failure(QNetworkReply::TimeoutError, whole ? QStringLiteral("no complete answer within %1 ms")
                                                                .arg(transfer->request.callLimit.count())
                                                          : QStringLiteral("nothing received for %1 ms")
                                                                .arg(transfer->request.idleLimit.count())));
    }
    armWatchdog();
}

void CurlEngine::armWatchdog() {
    if (transfers_.isEmpty()) {
        watchdogAt_.reset();
        return;
    }
    auto earliest = Steady::time_point::max();
    for (const Transfer* transfer : std::as_const(transfers_))
        earliest = std::min(earliest, transfer->deadline());
    watchdogAt_ = earliest;
}
