#include "protocol/CurlSession.h"

#include "protocol/CurlEngine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

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
    // Called on the engine's thread: one posted call hands over every outcome waiting by then.
    // The engine's thread ends before this object does (see the destructor).
    engine_ = std::make_unique<CurlEngine>(
        [this] { QMetaObject::invokeMethod(this, &CurlSession::receive, Qt::QueuedConnection); });
    if (!engine_->usable())
        return;
    CurlEngine* engine = engine_.get();
    thread_ = QThread::create([engine] { engine->run(); });
    thread_->setObjectName(QStringLiteral("tamber-http"));
    thread_->start();
}

CurlSession::~CurlSession() {
    current = nullptr;
    if (thread_) {
        engine_->post(CurlEngine::Stop{});
        thread_->wait();
        delete thread_;
    }
}

CurlSession::Id CurlSession::start(Request request, Finished finished) {
    const Id id = nextId_++;
    waiting_.insert(id, std::move(finished));
    if (thread_) {
        engine_->post(CurlEngine::Start{id, std::move(request)});
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
    if (!self || !self->waiting_.remove(id))
        return;
    // An outcome already on its way is dropped when it arrives (nobody waits for it any more).
    if (self->thread_)
        self->engine_->post(CurlEngine::Cancel{id});
}

void CurlSession::receive() {
    for (auto& entry : engine_->takeOutcomes())
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
        if (Finished finished = waiting_.take(id))
            finished(std::move(outcome));
    }
}
