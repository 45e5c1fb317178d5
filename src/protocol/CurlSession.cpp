#include "protocol/CurlSession.h"

#include "protocol/CurlEngine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <algorithm>

#include <curl/curl.h>

namespace {

CurlSession* current = nullptr;

} // namespace

CurlSession& CurlSession::instance() {
    Q_ASSERT(QCoreApplication::instance());
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    if (!current) {
        // Once, before any thread of the program uses libcurl.
        static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        Q_UNUSED(initialised);
        current = new CurlSession;
        current->setParent(QCoreApplication::instance());
    }
    return *current;
}

CurlSession::CurlSession() {
    // At least two, so that every run spreads its hosts; more on a machine with cores to spare.
    const int count = std::clamp(QThread::idealThreadCount() / 2, 2, 4);
    lanes_.resize(std::size_t(count));
    for (int index = 0; index < count; ++index) {
        Lane& lane = lanes_[std::size_t(index)];
        // Called on the engine's thread: one posted call hands over every outcome waiting by
        // then. The engine's thread ends before this object does (see the destructor).
        lane.engine = std::make_unique<CurlEngine>([this, index] {
            QMetaObject::invokeMethod(
                this, [this, index] { receive(index); }, Qt::QueuedConnection);
        });
        if (!lane.engine->usable())
            continue;
        CurlEngine* engine = lane.engine.get();
        lane.thread = QThread::create([engine] { engine->run(); });
        lane.thread->setObjectName(QStringLiteral("tamber-http"));
        lane.thread->start();
    }
}

CurlSession::~CurlSession() {
    current = nullptr;
    for (Lane& lane : lanes_)
        if (lane.thread)
            lane.engine->post(CurlEngine::Stop{});
    for (Lane& lane : lanes_)
        if (lane.thread) {
            lane.thread->wait();
            delete lane.thread;
        }
}

// The lane of a host; one seen for the first time goes to the lane with the fewest hosts.
int CurlSession::laneFor(const QByteArray& origin) {
    if (const auto known = laneOf_.constFind(origin); known != laneOf_.cend())
        return *known;
    const auto fewest = std::min_element(lanes_.begin(), lanes_.end(),
                                         [](const Lane& a, const Lane& b) { return a.origins < b.origins; });
    ++fewest->origins;
    const int index = int(fewest - lanes_.begin());
    laneOf_.insert(origin, index);
    return index;
}

CurlSession::Id CurlSession::start(Request request, Finished finished) {
    const Id id = nextId_++;
    const int index = laneFor(request.origin);
    const Lane& lane = lanes_[std::size_t(index)];
    waiting_.insert(id, Waiting{std::move(finished), index});
    if (lane.thread) {
        lane.engine->post(CurlEngine::Start{id, std::move(request)});
        return id;
    }
    Outcome outcome;
    outcome.error = QNetworkReply::UnknownNetworkError;
    outcome.message = QStringLiteral("no socket set could be made to watch connections in");
    ready_.emplace_back(id, std::move(outcome));
    if (!receivePosted_) {
        receivePosted_ = true;
        QMetaObject::invokeMethod(this, &CurlSession::deliver, Qt::QueuedConnection);
    }
    return id;
}

void CurlSession::cancel(Id id) {
    CurlSession* self = current;
    if (!self)
        return;
    const auto found = self->waiting_.constFind(id);
    if (found == self->waiting_.cend())
        return;
    const Lane& lane = self->lanes_[std::size_t(found->lane)];
    self->waiting_.erase(found);
    // An outcome already on its way is dropped when it arrives (nobody waits for it any more).
    if (lane.thread)
        lane.engine->post(CurlEngine::Cancel{id});
}

void CurlSession::receive(int lane) {
    for (auto& entry : lanes_[std::size_t(lane)].engine->takeOutcomes())
        ready_.push_back(std::move(entry));
    deliver();
}

void CurlSession::deliver() {
    receivePosted_ = false;
    // One at a time from the front: a callback may cancel transfers whose outcomes wait behind
    // it, or run an event loop that receives more (they queue up behind these).
    while (!ready_.empty()) {
        auto [id, outcome] = std::move(ready_.front());
        ready_.pop_front();
        if (Finished finished = waiting_.take(id).finished)
            finished(std::move(outcome));
    }
}
