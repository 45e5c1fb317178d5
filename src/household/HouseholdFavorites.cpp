// Favourites: the household's list of speaker favourites and the starting of one on a group.
#include "household/Household.h"

#include "core/DecimalInteger.h"
#include "core/Delays.h"
#include "core/Log.h"
#include "protocol/FavoritesParser.h"
#include "protocol/Service.h"
#include "protocol/Soap.h"

#include <QPointer>

#include <chrono>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// A successful load stays fresh this long; the speaker hands out at most this many favourites.
constexpr auto favoritesFresh = 60s;
constexpr int favoritesPage = 24;

const SOAP::Arguments playArgs{{u"InstanceID"_s, u"0"_s}, {u"Speed"_s, u"1"_s}};

// "FirstTrackNumberEnqueued" as a number: decimal digits with at most one leading sign.
// Anything else, or a number too large to hold, is no number.
std::optional<qint64> trackNumber(const Fields& reply) {
    const auto field = reply.constFind(u"FirstTrackNumberEnqueued"_s);
    if (field == reply.cend())
        return std::nullopt;
    return DecimalInteger::read(*field);
}

// The requests that start a favourite, each awaited before the next; the first failure
// ends the sequence and is passed on.
QCoro::Task<void> startFavorite(Household::Caller call, QString host, Favorite favorite, QString queue) {
    // (Arguments are built apart from the calls: g++ 12 rejects a braced list inside co_await.)
    if (Household::isContainer(favorite)) {
        // The tracks go to the end of the queue; everything before them is then removed, so
        // the queue holds only this favourite.
        const SOAP::Arguments add{{u"InstanceID"_s, u"0"_s},
                                  {u"EnqueuedURI"_s, favorite.uri},
                                  {u"EnqueuedURIMetaData"_s, favorite.meta},
                                  {u"DesiredFirstTrackNumberEnqueued"_s, u"0"_s},
                                  {u"EnqueueAsNext"_s, u"0"_s}};
        const Fields added = co_await call(host, Service::avTransport, u"AddURIToQueue"_s, add);
        const std::optional<qint64> first = trackNumber(added);
        if (first && *first > 1) {
            const SOAP::Arguments remove{{u"InstanceID"_s, u"0"_s},
                                         {u"UpdateID"_s, u"0"_s},
                                         {u"StartingIndex"_s, u"1"_s},
                                         {u"NumberOfTracks"_s, QString::number(*first - 1)}};
            co_await call(host, Service::avTransport, u"RemoveTrackRangeFromQueue"_s, remove);
        }
        const SOAP::Arguments source{
            {u"InstanceID"_s, u"0"_s}, {u"CurrentURI"_s, queue}, {u"CurrentURIMetaData"_s, QString()}};
        co_await call(host, Service::avTransport, u"SetAVTransportURI"_s, source);
        const SOAP::Arguments seek{
            {u"InstanceID"_s, u"0"_s}, {u"Unit"_s, u"TRACK_NR"_s}, {u"Target"_s, u"1"_s}};
        co_await call(host, Service::avTransport, u"Seek"_s, seek);
    } else {
        const SOAP::Arguments source{{u"InstanceID"_s, u"0"_s},
                                     {u"CurrentURI"_s, favorite.uri},
                                     {u"CurrentURIMetaData"_s, favorite.meta}};
        co_await call(host, Service::avTransport, u"SetAVTransportURI"_s, source);
    }
    co_await call(host, Service::avTransport, u"Play"_s, playArgs);
}

} // namespace

bool Household::isContainer(const Favorite& favorite) {
    return favorite.uri.startsWith("x-rincon-cpcontainer:"_L1) ||
           favorite.meta.contains("object.container"_L1);
}

QString Household::queueURI(const SpeakerGroup& group) {
    return u"x-rincon-queue:"_s + group.coordinatorID + u"#0"_s;
}

QCoro::Task<void> Household::loadFavorites() {
    // The demo household never touches the network.
    if (demo_)
        co_return;
    // Fresh enough, on the monotonic clock: setting the wall clock changes nothing here.
    if (favoritesLoadedAt_ && Clock::monotonic() - *favoritesLoadedAt_ <= favoritesFresh)
        co_return;
    const std::optional<SpeakerGroup> active = activeGroup();
    if (!active)
        co_return;
    const QString host = active->coordinator().host;

    QPointer<Household> self(this);
    const SOAP::Arguments browse{{u"ObjectID"_s, u"FV:2"_s},
                                 {u"BrowseFlag"_s, u"BrowseDirectChildren"_s},
                                 {u"Filter"_s, u"*"_s},
                                 {u"StartingIndex"_s, u"0"_s},
                                 {u"RequestedCount"_s, QString::number(favoritesPage)},
                                 {u"SortCriteria"_s, QString()}};
    Fields reply;
    try {
        reply = co_await access_.call(host, Service::contentDirectory, u"Browse"_s, browse);
    } catch (...) {
        // The household may be gone (its end cancels what is in flight): nothing to tell then.
        if (!self)
            co_return;
        // Silent: the old list stays and the next call asks again.
        qCInfo(logHousehold) << "favourites not loaded from" << host << ":"
                             << failureText(std::current_exception());
        co_return;
    }
    if (!self)
        co_return;
    const auto result = reply.constFind(u"Result"_s);
    if (result == reply.cend())
        co_return;
    favorites_ = FavoritesParser::parse(*result, host).mid(0, favoritesPage);
    favoritesLoadedAt_ = Clock::monotonic();
    emit favoritesChanged();
}

QCoro::Task<void> Household::play(Favorite favorite, SpeakerGroup group) {
    QPointer<Household> self(this);
    const QString host = group.coordinator().host;
    const QString queue = queueURI(group);
    // The model is left alone: the new source shows through the refresh and the events.
    QCoro::Task<void> sequence = run(
        [call = access_.call, host, favorite, queue] { return startFavorite(call, host, favorite, queue); });
    co_await std::move(sequence);
    if (!self)
        co_return;
    co_await refreshAfter(Delays::afterSkipRefresh);
}
