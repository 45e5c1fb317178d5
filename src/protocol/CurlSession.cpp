#include "protocol/CurlSession.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

CurlSession* current = nullptr;

// An answer bigger than this is no speaker's: the transfer fails rather than fill the memory.
constexpr qsizetype bodyCap = 32 * 1024 * 1024;

// Speakers serve few connections at once; more requests to one host wait for a free one.
constexpr long connectionsPerHost = 6;

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

} // namespace

struct CurlSession::Transfer {
    Id id = 0;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    Request request;
    Finished finished;
    Outcome answer; // headers and body as they arrive
    Steady::time_point started;
    Steady::time_point lastProgress;
    int sends = 0;
    bool tooLarge = false;
    char error[CURL_ERROR_SIZE] = {};

    Steady::time_point deadline() const {
        return std::min(lastProgress + request.idleLimit, started + request.callLimit);
    }
};

CurlSession& CurlSession::instance() {
    Q_ASSERT(QCoreApplication::instance());
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    if (!current) {
        static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        Q_UNUSED(initialised);
        current = new CurlSession;
        current->setParent(QCoreApplication::instance());
    }
    return *current;
}

CurlSession::CurlSession() {
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlSession::onSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlSession::onTimer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    // The limit of connections per host is kept here (see start()), not by libcurl, whose queue
    // wakes one waiting transfer per finished one whatever its host, and can leave transfers to
    // a responsive host waiting behind those to a silent one.

    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll_ >= 0) {
        sockets_ = new QSocketNotifier(epoll_, QSocketNotifier::Read, this);
        connect(sockets_, &QSocketNotifier::activated, this, &CurlSession::pollSockets);
    }

    curlTimer_.setSingleShot(true);
    curlTimer_.setTimerType(Qt::PreciseTimer);
    connect(&curlTimer_, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    watchdog_.setSingleShot(true);
    watchdog_.setTimerType(Qt::PreciseTimer);
    connect(&watchdog_, &QTimer::timeout, this, &CurlSession::checkLimits);
}

CurlSession::~CurlSession() {
    closing_ = true;
    current = nullptr;
    while (!transfers_.isEmpty())
        release(*transfers_.begin());
    for (CURL* easy : spareHandles_)
        curl_easy_cleanup(easy);
    curl_multi_cleanup(multi_);
    delete sockets_;
    if (epoll_ >= 0)
        ::close(epoll_);
}

CURL* CurlSession::takeHandle() {
    if (spareHandles_.empty())
        return curl_easy_init();
    CURL* easy = spareHandles_.back();
    spareHandles_.pop_back();
    return easy;
}

CurlSession::Id CurlSession::start(Request request, Finished finished) {
    auto* transfer = new Transfer;
    transfer->id = nextId_++;
    transfer->request = std::move(request);
    transfer->finished = std::move(finished);
    transfer->started = transfer->lastProgress = Steady::now();
    transfers_.insert(transfer->id, transfer);
    const Id id = transfer->id;
    if (!watchdog_.isActive() || !watchdogAt_ || transfer->deadline() < *watchdogAt_)
        armWatchdog();
    if (running_.value(transfer->request.origin) < connectionsPerHost)
        launch(transfer);
    else
        waiting_[transfer->request.origin].push_back(transfer);
    return id;
}

void CurlSession::launch(Transfer* transfer) {
    const Request& r = transfer->request;
    ++running_[r.origin];
    if (epoll_ < 0) {
        Outcome outcome;
        outcome.error = QNetworkReply::UnknownNetworkError;
        outcome.message = QStringLiteral("no socket set could be made to watch connections in");
        finish(transfer, std::move(outcome));
        return;
    }
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
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlSession::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlSession::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CurlSession::onPrerequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &CurlSession::onOpen);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlSession::onClose);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);
    if (r.body.isEmpty() && r.verb != "POST") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(r.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.constData());
    }
    if (r.verb != "GET" && r.verb != "POST")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.verb.constData());

    if (const CURLMcode added = curl_multi_add_handle(multi_, easy); added != CURLM_OK) {
        Outcome outcome;
        outcome.error = QNetworkReply::UnknownNetworkError;
        outcome.message = QString::fromUtf8(curl_multi_strerror(added));
        finish(transfer, std::move(outcome));
    }
}

// Forgets a transfer, running or waiting, and lets the next one waiting for its host start.
void CurlSession::release(Transfer* transfer) {
    transfers_.remove(transfer->id);
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

void CurlSession::cancel(Id id) {
    CurlSession* self = current;
    if (!self || self->closing_)
        return;
    if (Transfer* transfer = self->transfers_.value(id)) {
        self->release(transfer);
        return;
    }
    self->ready_.erase(std::remove_if(self->ready_.begin(), self->ready_.end(),
                                      [id](const auto& entry) { return entry.first == id; }),
                       self->ready_.end());
}

int CurlSession::onSocket(CURL* easy, curl_socket_t socket, int what, void* self, void*) {
    auto* session = static_cast<CurlSession*>(self);
    if (!session->closing_)
        session->watch(socket, what, easy);
    return 0;
}

curl_socket_t CurlSession::onOpen(void* self, curlsocktype, curl_sockaddr* address) {
    const int socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    // A number seen before belonged to a socket that closed unseen: whatever was noted of it is
    // forgotten, so that the new socket is added to the set.
    if (socket >= 0)
        static_cast<CurlSession*>(self)->watches_.erase(socket);
    return socket >= 0 ? socket : CURL_SOCKET_BAD;
}

int CurlSession::onClose(void* self, curl_socket_t socket) {
    // Closing takes the socket out of the set; the number is free for the next one.
    static_cast<CurlSession*>(self)->watches_.erase(socket);
    return ::close(socket);
}

int CurlSession::onTimer(CURLM*, long milliseconds, void* self) {
    auto* session = static_cast<CurlSession*>(self);
    if (session->closing_)
        return 0;
    // Called from inside libcurl: the work itself waits for the event loop, or for the end of the
    // handler that is running (see leave()).
    ++session->timerCalls_;
    session->promptTimeout_ =
        milliseconds == 0 && !session->serving_ && (session->dispatching_ > 0 || session->delivering_ > 0);
    if (milliseconds < 0)
        session->curlTimer_.stop();
    else
        session->curlTimer_.start(int(std::min<long>(milliseconds, 24L * 3600 * 1000)));
    return 0;
}

size_t CurlSession::onHeader(char* data, size_t size, size_t count, void* opaque) {
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

size_t CurlSession::onBody(char* data, size_t size, size_t count, void* opaque) {
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

int CurlSession::onPrerequest(void* opaque, char*, char*, int, int) {
    // libcurl sends a request again on a fresh connection when a reused one closed before any
    // answer; the server may well have carried it out already, so the transfer fails instead.
    auto* transfer = static_cast<Transfer*>(opaque);
    return ++transfer->sends > 1 ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

void CurlSession::watch(int socket, int what, CURL* easy) {
    if (what == CURL_POLL_REMOVE) {
        // The socket stays in the set, unwatched: a connection kept for the next request is
        // mostly watched again as before, and one that closes leaves the set on its own (see
        // onClose()). Should it stir meanwhile, pollSockets() takes it out.
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

void CurlSession::pollSockets() {
    std::array<epoll_event, 32> ready{};
    const int count = ::epoll_wait(epoll_, ready.data(), int(ready.size()), 0);
    // Outcomes wait until the whole batch is handled: a caller resumed in between could open a
    // socket under a number that a later entry of the batch still speaks of.
    enter();
    for (int i = 0; i < count; ++i) {
        const int socket = ready[size_t(i)].data.fd;
        const auto found = watches_.find(socket);
        if (found == watches_.end())
            continue; // removed while the batch was handled
        const uint32_t events = ready[size_t(i)].events;
        const int what = found->second.what;
        if (what == 0) {
            // A kept connection nobody waits on stirred (the server closed it, most likely):
            // it leaves the set; libcurl finds out for itself when it next uses it.
            ::epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr);
            watches_.erase(found);
            continue;
        }
        int mask = 0;
        // As a socket notifier would: reading on data, hang-up or error, writing on room or error.
        if ((what & CURL_POLL_IN) && (events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
            mask |= CURL_CSELECT_IN;
        if ((what & CURL_POLL_OUT) && (events & (EPOLLOUT | EPOLLERR)))
            mask |= CURL_CSELECT_OUT;
        // Readiness nobody waits for would come back at once, forever: libcurl looks at the
        // socket in the direction it watches and deals with whatever happened to it.
        if (mask == 0)
            mask = ((what & CURL_POLL_IN) ? CURL_CSELECT_IN : 0) |
                   ((what & CURL_POLL_OUT) ? CURL_CSELECT_OUT : 0);
        act(socket, mask);
    }
    leave();
}

void CurlSession::act(int socket, int events) {
    if (events & CURL_CSELECT_IN) {
        // Bytes arrived for the transfer on this connection: progress, even while they do not
        // yet make a whole header line.
        const auto watch = watches_.find(socket);
        Transfer* transfer = nullptr;
        if (watch != watches_.end() && watch->second.easy &&
            curl_easy_getinfo(watch->second.easy, CURLINFO_PRIVATE, &transfer) == CURLE_OK && transfer)
            transfer->lastProgress = Steady::now();
    }
    enter();
    int running = 0;
    curl_multi_socket_action(multi_, socket, events, &running);
    collect();
    leave();
}

void CurlSession::enter() {
    ++dispatching_;
}

void CurlSession::leave() {
    if (--dispatching_ > 0)
        return;
    ++delivering_;
    deliver();
    --delivering_;
    if (dispatching_ > 0 || delivering_ > 0 || !promptTimeout_ || closing_)
        return;
    // libcurl asked, during this handler, for its time-out at once (a transfer started by a
    // caller resumed above, most often): served now, it spares a whole turn of the event loop.
    // Should libcurl not set its timer again meanwhile, the timer goes off as it was set.
    promptTimeout_ = false;
    const quint64 timerCalls = timerCalls_;
    curlTimer_.stop();
    serving_ = true;
    act(CURL_SOCKET_TIMEOUT, 0);
    serving_ = false;
    if (timerCalls_ == timerCalls)
        curlTimer_.start(0);
}

void CurlSession::collect() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        Transfer* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        if (!transfer)
            continue;
        const CURLcode result = message->data.result;
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        Outcome outcome;
        if (result == CURLE_OK && status > 0) {
            outcome = std::move(transfer->answer);
            outcome.status = int(status);
        } else {
            long osError = 0;
            curl_easy_getinfo(transfer->easy, CURLINFO_OS_ERRNO, &osError);
            outcome.error = result == CURLE_OK ? QNetworkReply::ProtocolFailure : kindOf(result, osError);
            if (result == CURLE_ABORTED_BY_CALLBACK)
                outcome.message = QStringLiteral("the connection closed before an answer; the request is not "
                                                 "sent a second time");
            else if (transfer->tooLarge)
                outcome.message = QStringLiteral("answer larger than %1 bytes").arg(bodyCap);
            else if (transfer->error[0])
                outcome.message = QString::fromUtf8(transfer->error);
            else
                outcome.message = QString::fromUtf8(curl_easy_strerror(result));
        }
        finish(transfer, std::move(outcome));
    }
}

void CurlSession::finish(Transfer* transfer, Outcome outcome) {
    ready_.push_back({transfer->id, {std::move(transfer->finished), std::move(outcome)}});
    release(transfer);
    // Inside a handler of the event loop the outcome goes out when that handler ends; anywhere
    // else (start(), cancel()) it waits for the event loop.
    if (dispatching_ == 0 && !deliveryPosted_) {
        deliveryPosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                deliveryPosted_ = false;
                deliver();
            },
            Qt::QueuedConnection);
    }
}

void CurlSession::deliver() {
    // One at a time from the front: a callback may cancel entries behind it, or run an event
    // loop that delivers more.
    while (!ready_.empty()) {
        auto entry = std::move(ready_.front());
        ready_.erase(ready_.begin());
        if (entry.second.first)
            entry.second.first(std::move(entry.second.second));
    }
}

void CurlSession::checkLimits() {
    enter();
    const auto now = Steady::now();
    QList<Transfer*> expired;
    for (Transfer* transfer : std::as_const(transfers_))
        if (transfer->deadline() <= now)
            expired.append(transfer);
    for (Transfer* transfer : std::as_const(expired)) {
        Outcome outcome;
        outcome.error = QNetworkReply::TimeoutError;
        const bool whole = transfer->started + transfer->request.callLimit <= now;
        outcome.message =
            whole ? QStringLiteral("no complete answer within %1 ms").arg(transfer->request.callLimit.count())
                  : QStringLiteral("nothing received for %1 ms").arg(transfer->request.idleLimit.count());
        finish(transfer, std::move(outcome));
    }
    armWatchdog();
    leave();
}

void CurlSession::armWatchdog() {
    if (transfers_.isEmpty()) {
        watchdog_.stop();
        watchdogAt_.reset();
        return;
    }
    auto earliest = Steady::time_point::max();
    for (const Transfer* transfer : std::as_const(transfers_))
        earliest = std::min(earliest, transfer->deadline());
    watchdogAt_ = earliest;
    // Rounded up: the watchdog never fires before a limit has passed; should it wake early
    // after all, the check above finds nothing expired and sets it again.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(earliest - Steady::now());
    watchdog_.start(int(std::max<qint64>(0, wait.count())));
}
