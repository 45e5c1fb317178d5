#pragma once

#include "core/Clock.h"
#include "household/ChangeKey.h"
#include "household/ChangeLedger.h"
#include "household/GroupChanges.h"
#include "household/GroupStatePoll.h"
#include "household/PresetList.h"
#include "household/PublishedGroups.h"
#include "household/RefreshSchedule.h"
#include "household/RequestOutcome.h"
#include "household/RoomOrder.h"
#include "household/RoomPreset.h"
#include "household/SenderPool.h"
#include "household/SpeakerGroup.h"
#include "household/SpeakerReturns.h"
#include "household/VolumeSender.h"
#include "protocol/Discovery.h"
#include "protocol/Events.h"
#include "protocol/Favorite.h"
#include "protocol/LeafParser.h"
#include "protocol/Network.h"
#include "protocol/Soap.h"
#include "protocol/TopologyParser.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class SettingsStore;

// The one observable model of the household, on the main thread. Views bind to the
// published values through their change signals, which fire after every assignment, whether
// or not the value changed. `groupsUpdated` says which groups an assignment changed, so a
// view can update its rows in place (see core/ListReconciler.h); it is emitted after
// `groupsChanged`, and only when something changed. The plain states below (`live`,
// `applyingPreset`, `subscriptionsHealthy`, `visible`) notify when their value changes. The
// household restores its last state from the settings store, re-reads the topology and every
// group's state, merges events and carries out the speaker operations.
class Household : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<SpeakerGroup> groups READ groups NOTIFY groupsChanged)
    Q_PROPERTY(QList<Favorite> favorites READ favorites NOTIFY favoritesChanged)
    Q_PROPERTY(QList<RoomPreset> presets READ presets NOTIFY presetsChanged)
    Q_PROPERTY(std::optional<QString> error READ error WRITE setError NOTIFY errorChanged)
    Q_PROPERTY(QMap<QString, QString> groupNames READ groupNames NOTIFY groupNamesChanged)
    Q_PROPERTY(QMap<QString, QString> models READ models NOTIFY modelsChanged)
    Q_PROPERTY(
        std::optional<QString> activeCoordinator READ activeCoordinator NOTIFY activeCoordinatorChanged)
    Q_PROPERTY(bool live READ live NOTIFY liveChanged)
    Q_PROPERTY(bool applyingPreset READ applyingPreset NOTIFY applyingPresetChanged)
    Q_PROPERTY(bool subscriptionsHealthy READ subscriptionsHealthy NOTIFY subscriptionsHealthyChanged)
    Q_PROPERTY(bool visible READ visible WRITE setVisible NOTIFY visibleChanged)

public:
    // How one group's state is read from its speakers. The state polling below by default;
    // tests and benchmarks may put another in place.
    using Poller = std::function<QCoro::Task<SpeakerGroup>(SpeakerGroup)>;
    // How the groups are read from one host: a fresh group per topology group with a member,
    // rooms at volume 0 and not muted. Throws when the host fails or answers unusably.
    using TopologyReader = std::function<QCoro::Task<QList<SpeakerGroup>>(QString host)>;
    // How a speaker's model name is looked up; nothing on any failure.
    using ModelReader = std::function<QCoro::Task<std::optional<QString>>(QString host)>;
    // How one control action goes to a speaker: the reply's fields, or a throw as SOAP::call
    // throws. Every command the household's operations send, and every read they make on
    // their own (favourites, zone attributes, room sound), goes through it.
    using Caller = std::function<QCoro::Task<Fields>(QString host, Service service, QString action,
                                                     SOAP::Arguments args)>;
    // This machine's interface list (for the VPN hint of the failure texts); nothing when it
    // cannot be read.
    using InterfaceReader = std::function<std::optional<QList<Network::InterfaceAddress>>()>;

    // Where the household reads from and writes to the speakers; an empty entry means the
    // real speakers (and the system's interface list). Tests and benchmarks put fakes in place.
    struct SpeakerAccess {
        TopologyReader topology;
        Poller poll;
        ModelReader model;
        Discovery::BrowserFactory browser;
        Caller call;
        InterfaceReader interfaces;
    };

    // The household of a normal run: restores the stored state and, when onboarding is done,
    // starts the network side.
    explicit Household(SettingsStore& settings, SpeakerAccess access = {}, QObject* parent = nullptr);
    // The household of render mode: demo data only. Its operations change the published
    // values as usual, but its speaker calls do nothing, it never refreshes, discovers or
    // subscribes, and it stores nothing in `settings`.
    Household(SettingsStore& settings, const QList<SpeakerGroup>& demo, const QMap<QString, QString>& models,
              QObject* parent = nullptr);
    ~Household() override;

    // Published values.
    const QList<SpeakerGroup>& groups() const { return groups_.list(); }
    const QList<Favorite>& favorites() const { return favorites_; }
    const QList<RoomPreset>& presets() const { return presets_.list(); }
    const std::optional<QString>& error() const { return error_; }
    const QMap<QString, QString>& groupNames() const { return groupNames_; }
    const QMap<QString, QString>& models() const { return models_; }
    const std::optional<QString>& activeCoordinator() const { return activeCoordinator_; }

    // A text clears itself 5.0 s after its latest assignment; any new text, even the same
    // one, restarts the wait, and setting nothing cancels it.
    void setError(const std::optional<QString>& text);

    // Plain state that others read.
    // The panel is open; set by the application shell.
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    // A refresh has read the speakers since the start.
    bool live() const { return live_; }
    // Every event subscription stands and has delivered its first event.
    bool subscriptionsHealthy() const { return subscriptionsHealthy_; }
    bool networkStarted() const { return networkStarted_; }
    bool pickedByUser() const { return pickedByUser_; }
    const QStringList& roomOrder() const { return roomOrder_.ids(); }
    const QStringList& hosts() const { return hosts_; }
    Events& events() { return *events_; }

    // Derived values.
    QList<Room> allRooms() const;
    std::optional<SpeakerGroup> activeGroup() const;
    bool anyPlaying() const;
    QString displayName(const SpeakerGroup& group) const;

    // The user's choice in the group switcher, and the keyboard's step through the groups.
    void selectGroup(const SpeakerGroup& group);
    void selectGroup(int offset);

    // Starts discovery, the event subscriptions and the first refresh; only the first call acts.
    void startNetwork();
    // The one full re-read of the household. Never fails; calls may overlap.
    QCoro::Task<void> refresh();

    // ---- transport, volume and sound ----
    // Every operation below changes the published model first (stamping the change so that
    // older speaker values cannot overwrite it for 2 s) and sends afterwards; none throws.
    // A group or room argument is a value copy; the live entry is found by `id`.

    // Play or pause the group. Returns once the speaker answered and the error text is set;
    // a failure puts the state back.
    QCoro::Task<void> togglePlay(SpeakerGroup group);
    // Next or previous track, then, 0.6 s later, a full refresh. Nothing when the group
    // cannot skip.
    QCoro::Task<void> skip(SpeakerGroup group, bool forward);
    // Jumps to `seconds` from the start of the track, kept within the track.
    void seek(const SpeakerGroup& group, double seconds);
    // Starts the sleep timer for `minutes`, or switches it off with nothing.
    void setSleepTimer(const SpeakerGroup& group, std::optional<int> minutes);
    // "HH:MM:SS" for a number of seconds, rounded half away from zero, hours not wrapped.
    static QString hms(double seconds);

    // Group volume (to the coordinator) and a room's own volume. Values go through the
    // key's coalescing sender and are not clamped.
    void setVolume(const SpeakerGroup& group, int volume);
    void setVolume(const Room& room, int volume);
    // Mute or unmute: the opposite of the `muted` flag of the value passed in.
    void toggleMute(const SpeakerGroup& group);
    void toggleMute(const Room& room);

    // One room's equaliser settings as its speaker reports them; not kept by the household.
    struct RoomSound {
        int bass = 0;
        int treble = 0;
        bool loudness = false;
        friend bool operator==(const RoomSound&, const RoomSound&) = default;
    };
    // Reads bass, treble and loudness one after the other; nothing when any read fails.
    QCoro::Task<std::optional<RoomSound>> loadSound(Room room);
    // Bass and treble go through the room's senders; loudness is sent as it comes.
    void setBass(const Room& room, int level);
    void setTreble(const Room& room, int level);
    void setLoudness(const Room& room, bool on);
    // Night mode and speech enhancement on the group's TV speaker; a flag left out is not
    // touched. Nothing for a group without a TV speaker.
    void setTVSound(const SpeakerGroup& group, std::optional<bool> night, std::optional<bool> speech);
    // ---- end transport, volume and sound ----

    // ---- favourites and renaming ----
    // Fetches the favourites from the active group's coordinator and publishes them whole. A
    // load within 60 s of the last successful one sends nothing; a failed load is silent and
    // changes nothing, so the next call tries again.
    QCoro::Task<void> loadFavorites();
    // Starts a favourite on a group through its coordinator: a container fills the queue
    // with its tracks alone and plays it from track 1, anything else becomes the transport
    // source. Shows the failure text or clears it, then refreshes 0.6 s later either way.
    QCoro::Task<void> play(Favorite favorite, SpeakerGroup group);
    // A favourite that fills the queue (a playlist, an album) rather than playing directly.
    static bool isContainer(const Favorite& favorite);
    // The URI of a group's queue on its coordinator.
    static QString queueURI(const SpeakerGroup& group);

    // A group of several rooms gets a custom name of the household's own, kept under its
    // member key and stored; a blank name removes it. Nothing is sent. A group of one room
    // is renamed through its room.
    QCoro::Task<void> rename(SpeakerGroup group, QString name);
    // Renames a room on its speaker (zone attributes read, then written back with the new
    // name), shows the failure text or clears it, and ends after the refresh that follows.
    // A blank name or the current one sends nothing.
    QCoro::Task<void> rename(Room room, QString name);
    // Leading and trailing spaces (any space separator) and tabs removed; line breaks stay.
    static QString trimmedName(const QString& name);
    // ---- end favourites and renaming ----

    // ---- grouping and presets ----
    // Moves `room` into `group` (on) or out of it into a group of its own (off). The new
    // grouping shows at once; then one request goes to the room's own speaker. Returns when
    // that request has finished and, when it was the last membership change in flight and no
    // other began meanwhile, after the refresh 1.0 s later. Failures show in `error`.
    // Leaving a one-room group, and joining the group the room is already in, do nothing.
    QCoro::Task<void> setMember(Room room, SpeakerGroup group, bool on);
    // Every room outside the active group joins it, all requests at once.
    QCoro::Task<void> joinAll();

    // A preset's display name: "Alle" when it holds every room (two or more), else its rooms'
    // names in room order joined by " + ", or "Unbekannte Räume" when none of them is here.
    QString name(const RoomPreset& preset) const;
    // The first preset holding exactly the group's rooms, in any order.
    std::optional<RoomPreset> preset(const SpeakerGroup& group) const;
    // Stores the group's rooms as a new preset, unless one matches already or 9 are stored.
    void savePreset(const SpeakerGroup& group);
    void deletePreset(const RoomPreset& preset);
    // Regroups the speakers so that exactly the preset's rooms that are here play together,
    // one membership change after the other, and makes their group the active one. Does
    // nothing while another apply runs.
    QCoro::Task<void> apply(RoomPreset preset);
    bool applyingPreset() const { return applyingPreset_; }
    // ---- end grouping and presets ----

    // Group state polling: reads one group's playback state from its speakers and returns an
    // updated copy; every failed request leaves the fields it would have set as they were.
    static QCoro::Task<SpeakerGroup> loadState(SpeakerGroup group);
    // "H:MM:SS" -> seconds; nothing for no text and for anything but three plain decimals.
    static std::optional<double> seconds(const std::optional<QString>& text);
    // One EQ setting ("NightMode", "DialogLevel") of the speaker at host.
    static QCoro::Task<std::optional<bool>> eq(QString host, QString type);

    // The topology of the speaker at host, read through the zone-group-state action.
    static QCoro::Task<QList<SpeakerGroup>> readTopology(QString host);
    // A fresh group per topology group with a member, rooms at volume 0 and not muted.
    static QList<SpeakerGroup> groupsOf(const QString& topology);
    static QList<SpeakerGroup> groupsOf(const QList<TopologyParser::Group>& topology);

    // True for "PLAYING" and "TRANSITIONING", the two states that count as playing.
    static bool isPlaying(const QString& state);

    // The text shown for a failed speaker request: one of the two reachability texts for a
    // request that got no answer at all, else the failure's own description.
    QString failureText(std::exception_ptr failure) const;
    // The failure of a host whose answer holds no usable topology; it reads like a speaker
    // that did not answer.
    static std::exception_ptr unusableReply(const QString& host);

signals:
    void groupsChanged();
    void favoritesChanged();
    void presetsChanged();
    void errorChanged();
    void groupNamesChanged();
    void modelsChanged();
    void activeCoordinatorChanged();
    void groupsUpdated(const GroupChanges& changes);
    void liveChanged();
    void applyingPresetChanged();
    void subscriptionsHealthyChanged();
    void visibleChanged();

private:
    friend struct HouseholdProbe; // tests look at and set the working state

    // Publishing: every assignment notifies.
    void setGroups(QList<SpeakerGroup> groups);
    void setActiveCoordinator(std::optional<QString> coordinator);
    void setModels(QMap<QString, QString> models);
    void setLive(bool live);
    void setApplyingPreset(bool applying);
    void updateSubscriptionsHealthy();
    // The one way an operation changes a published group: the live group of this id is
    // changed on a copy through `edit`, the change is stamped under `stamped` (with the
    // group's id) and the list published. Nothing when no group has the id.
    void changeGroup(const QString& id, const std::function<void(SpeakerGroup&)>& edit,
                     std::optional<ChangedValue> stamped);
    // The same for the group holding the room of this id; `stamped` takes the group's id.
    void changeRoom(const QString& roomID, const std::function<void(SpeakerGroup&, Room&)>& edit,
                    std::optional<ChangedValue> stamped);
    // Shows the text of a failed request, or clears the text for none.
    void showFailure(std::exception_ptr failure);
    // The code of a failure the speaker answered with ("701"); nothing for any other failure.
    static std::optional<QString> speakerErrorCode(const std::exception_ptr& failure);

    // Start-up and discovery.
    void restore();
    void found(const QString& host);

    // What the polls of one refresh learn of their hosts.
    using PollHosts = GroupStatePoll::Hosts;

    // Refresh (HouseholdRefresh.cpp), in its steps: the topology from the first host that
    // gives a usable one, the failure when none does, and the state reads of every group.
    class RunningRefresh;
    struct TopologyRead {
        QList<SpeakerGroup> groups;
        QHash<QString, qint64> bootSeqs; // by speaker UUID, when the document states them
    };
    struct TopologyOutcome {
        std::optional<TopologyRead> read;
        std::exception_ptr lastFailure;
    };
    // The groups and boot numbers of a topology document, read once.
    static TopologyRead topologyRead(const QString& topology);
    QCoro::Task<TopologyRead> topologyOf(QString host);
    // The topology document of the speaker at host; nothing when the reply holds none.
    static QCoro::Task<std::optional<QString>> zoneGroupState(QString host);
    QCoro::Task<TopologyOutcome> readTopologyOf(QStringList hosts);
    QCoro::Task<std::optional<TopologyRead>> topologyFromEvents(QStringList hosts);
    void refreshFailed(std::exception_ptr lastFailure);
    QCoro::Task<QList<SpeakerGroup>> pollAll(QList<SpeakerGroup> groups, std::shared_ptr<PollHosts> hosts);
    void refreshSucceeded();
    void refreshEnded();
    void resubscribeReturned(const QHash<QString, qint64>& bootSeqs, const PollHosts& hosts);
    SpeakerReturns returns_;

    QCoro::Task<void> run(std::function<QCoro::Task<void>()> operation);
    // Waits `delay`, then refreshes, unless the household is gone or `stillWanted` (asked
    // after the wait) says the refresh is no longer needed.
    QCoro::Task<void> refreshAfter(std::chrono::milliseconds delay, std::function<bool()> stillWanted = {});
    void fetchModels(const QList<Room>& rooms);
    QCoro::Task<SpeakerGroup> pollOne(SpeakerGroup group, std::shared_ptr<PollHosts> hosts = {});
    QCoro::Task<void> lookUpModel(Room room);
    static QCoro::Task<std::optional<QString>> modelOf(QString host);

    // Merge and the active group (HouseholdMerge.cpp). Groups read by a poll that began when
    // `changesBefore` changes had been counted keep every published value that changed
    // (locally or by an event) after that.
    void applyGroups(const QList<SpeakerGroup>& fresh, std::optional<quint64> changesBefore = {});
    void pickActiveGroup();
    // Whether the active coordinator stays active; it follows its room into another group.
    bool keepActive(const QString& active);
    // A playing group wins over a stopped one, then the one with more rooms, then the earlier.
    const SpeakerGroup& bestGroup() const;
    void reload(const QString& coordinator);
    QCoro::Task<void> reloadAfterWait(QString coordinator, quint64 ticket);

    // Event merge (HouseholdEvents.cpp), one function per service.
    void handle(const Events::Target& target, const Fields& fields);
    void handleTransport(const QString& coordinator, const Fields& fields, Clock::Instant cutoff);
    void handleGroupRendering(const QString& coordinator, const Fields& fields, Clock::Instant cutoff);
    void handleRoomRendering(const QString& roomID, const Fields& fields, Clock::Instant cutoff);
    void handleTopology(const Fields& fields);
    // Takes a volume and mute from an event into `volume` and `muted`, each unless the user
    // changed it within the last 2 s; counts each value taken. True when one changed.
    bool takeVolumeAndMute(int& volume, bool& muted, const Fields& fields,
                           std::pair<QString, ChangeKey> volumeField, std::pair<QString, ChangeKey> muteField,
                           Clock::Instant cutoff);

    QList<GroupAddresses> addresses() const;
    void storeGroups();

    // The coalescing sender for a key. Its failures set the error text; its successes never
    // clear it.
    std::shared_ptr<VolumeSender> sender(const SenderKey& key) { return senders_.sender(key); }

    // ---- favourites and renaming (private) ----
    // The text shown was set by the refresh itself. A successful refresh clears only its own
    // reachability texts: an operation's failure (a room that could not be renamed, a
    // favourite that did not start) stays until its own clearing, although the refresh that
    // follows the operation reaches other speakers.
    bool errorFromRefresh_ = false;
    // ---- end favourites and renaming (private) ----

    // ---- grouping and presets (private) ----
    // Shows the outcome's text when it is due.
    void report(RequestOutcome& outcome);
    // `setMember`, reporting into `outcome` when one is given instead of to the error text.
    // The leaving coordinator's group passes to its next room, shown at once; that room's id,
    // or nothing when no other room is left.
    std::optional<QString> passCoordination(const Room& room, const SpeakerGroup& group);
    QCoro::Task<void> changeMember(Room room, SpeakerGroup group, bool on,
                                   std::shared_ptr<RequestOutcome> outcome);
    // The one request of a membership change, reported into `outcome` or to the error text.
    QCoro::Task<void> sendMembership(QString host, QString action, SOAP::Arguments args,
                                     std::shared_ptr<RequestOutcome> outcome);
    // Shows the room in the target group (or a local group of its own); changes only `groups`.
    void moveLocally(const QString& roomID, const std::optional<QString>& targetID);
    // The steps of a preset's apply: the coordinator already leading a wanted group, or the
    // first wanted room taken out of its group to stand alone; then the joins of the wanted
    // rooms and the removals of the others.
    std::optional<QString> leadingCoordinator(const QSet<QString>& wanted) const;
    QCoro::Task<std::optional<QString>> standAlone(QSet<QString> wanted,
                                                   std::shared_ptr<RequestOutcome> outcome);
    QCoro::Task<void> joinWanted(QString coordinator, QSet<QString> wanted,
                                 std::shared_ptr<RequestOutcome> outcome);
    QCoro::Task<void> removeUnwanted(QString coordinator, QSet<QString> wanted,
                                     std::shared_ptr<RequestOutcome> outcome);
    void storePresets();
    // ---- end grouping and presets (private) ----

    SettingsStore& settings_;

    PublishedGroups groups_;
    // Local changes and changes by events, for the merge of what polls read.
    ChangeLedger changes_;
    RefreshSchedule schedule_;
    RoomOrder roomOrder_;
    PresetList presets_;
    SenderPool senders_;
    QList<Favorite> favorites_;
    std::optional<QString> error_;
    Debounce errorTimeout_;
    int failedRefreshes_ = 0;
    QMap<QString, QString> groupNames_;
    QMap<QString, QString> models_;
    QStringList hosts_;
    std::optional<QString> activeCoordinator_;
    bool pickedByUser_ = false;
    std::unique_ptr<Discovery> discovery_;
    std::unique_ptr<Events> events_;
    std::optional<QString> lastTopology_;
    QHash<QString, QString> lastTrack_;
    bool networkStarted_ = false;
    bool live_ = false;
    QSet<QString> fetchingModels_;
    std::optional<Clock::Instant> favoritesLoadedAt_;
    bool applyingPreset_ = false;

    SpeakerAccess access_;
    bool demo_ = false;
    bool visible_ = false;
    bool subscriptionsHealthy_ = false;
};
