// The panel root view and the now-playing tile over a household of simulated speakers: what
// shows when, the actions that reach the speakers, the refresh loop's pace, the content and
// subtitle swaps, and pictures of the panel in its main states.
#include "ui/panel/PanelView.h"
#include "core/Texts.h"
#include "household/HouseholdKeys.h"
#include "support/LiveHousehold.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/EditableName.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/PanelPresence.h"
#include "ui/kit/ScaleEffect.h"
#include "ui/kit/SoundToggle.h"
#include "ui/kit/StepButton.h"
#include "ui/kit/SymbolButton.h"
#include "ui/panel/GroupSwitcher.h"
#include "ui/panel/LinkOpener.h"
#include "ui/panel/Marquee.h"
#include "ui/panel/NowPlaying.h"
#include "ui/panel/OpenSource.h"
#include "ui/panel/PresetMenu.h"
#include "ui/panel/RefreshLoop.h"
#include "ui/panel/SleepTimerButton.h"
#include "ui/panel/TrackProgress.h"
#include "ui/rooms/ErrorBanner.h"

#include <QDir>
#include <QEnterEvent>
#include <QGraphicsEffect>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const test::SpeakerNumbers numbers{u"RINCON_PANEL"_s, 2};

struct FakeLinks : LinkOpener {
    QList<QUrl> opened;
    bool handles(const QString&) const override { return false; }
    void open(const QUrl& url) override { opened.append(url); }
};

QImage render(QWidget& widget, double ratio) {
    widget.ensurePolished();
    if (widget.layout())
        widget.layout()->activate();
    widget.resize(widget.sizeHint());
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    // A desktop-like ground, so that the translucent surface reads as it does on screen.
    image.fill(Ink::scheme(&widget) == Scheme::Dark ? QColor(40, 44, 52) : QColor(200, 205, 214));
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void save(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(TAMBER_ARTIFACTS_DIR) + u"/panel"_s;
    QDir().mkpath(folder);
    EXPECT_TRUE(image.save(folder + u'/' + name + u".png"_s));
}

class Panel : public test::LiveHousehold {
protected:
    void SetUp() override {
        sim::FakeHousehold fake = numbers.household({u"Wohnzimmer"_s, u"Küche"_s}, {}, true);
        simulator = std::make_unique<sim::SpeakerSimulator>(std::move(fake));
        readHousehold({numbers.host(1)});
        settings->setBool(HouseholdKeys::onboarded, true);
    }
    void TearDown() override {
        view.reset();
        test::LiveHousehold::TearDown();
    }

    PanelView& makeView() {
        environment.household = household.get();
        environment.focus = &focus;
        environment.presence = &presence;
        environment.store = &*settings;
        environment.links = &links;
        view = std::make_unique<PanelView>(environment);
        view->setPalette(Ink::palette(Scheme::Dark));
        view->show();
        time.advance(1s);
        return *view;
    }

    // The first group, changed by `change`, published as the household's only change.
    SpeakerGroup publish(const std::function<void(SpeakerGroup&)>& change, bool fromStart = false) {
        if (start.isEmpty())
            start = household->groups();
        QList<SpeakerGroup> groups = fromStart ? start : household->groups();
        change(groups[0]);
        probe().setGroups(groups);
        probe().setActive(groups[0].coordinatorID);
        return groups[0];
    }

    static void playing(SpeakerGroup& group) {
        group.state = u"PLAYING"_s;
        group.title = u"Late Summer"_s;
        group.artist = u"The Quiet Rooms"_s;
        group.hasTrack = true;
        group.duration = 200;
        group.position = 30;
        group.positionAt = Clock::now();
        group.volume = 30;
    }

    // The actions that reached the first speaker, leaving out reads.
    QStringList commands() const {
        QStringList out;
        for (const sim::SimRequest& request : simulator->requests())
            if (request.method == "POST" && !request.action.startsWith(u"Get"_s))
                out.append(request.action);
        return out;
    }
    QString argument(const QString& action, const QString& name) const {
        for (const sim::SimRequest& request : simulator->requests())
            if (request.action == action)
                for (const auto& [key, value] : request.args)
                    if (key == name)
                        return value;
        return {};
    }
    // Moves the clocks on while the speakers answer, until `action` was sent.
    bool sent(const QString& action) {
        return test::waitUntil([&] {
            time.advance(20ms);
            return commands().contains(action);
        });
    }

    QList<SpeakerGroup> start; // the groups as the speakers first told them
    test::ManualTime time;
    KeyboardFocus focus;
    PanelPresence presence;
    FakeLinks links;
    PanelEnvironment environment;
    std::unique_ptr<PanelView> view;
};

TEST_F(Panel, BeforeOnboardingOnlyTheOnboardingTileShows) {
    settings->setBool(HouseholdKeys::onboarded, false);
    household->setError(u"Keine Verbindung"_s);
    PanelView& v = makeView();
    EXPECT_EQ(v.content(), PanelView::Content::Onboarding);
    EXPECT_FALSE(v.errorBanner());
    EXPECT_FALSE(v.crashBanner());
    EXPECT_FALSE(v.statusButton()->isVisible());

    // The key map finishes onboarding; the view picks it up with the next focus change.
    settings->setBool(HouseholdKeys::onboarded, true);
    focus.setOnboardingPage(0);
    focus.setIndex(0);
    EXPECT_EQ(v.content(), PanelView::Content::Group);
    ASSERT_TRUE(v.errorBanner());
    household->setError(std::nullopt);
    EXPECT_FALSE(v.errorBanner());
}

TEST_F(Panel, SearchingTileAndGroupColumnSwapBothWays) {
    const QList<SpeakerGroup> groups = household->groups();
    probe().setGroups({});
    PanelView& v = makeView();
    presence.setShown(true, false);
    EXPECT_EQ(v.content(), PanelView::Content::Searching);
    EXPECT_FALSE(v.nowPlaying());

    probe().setGroups(groups);
    EXPECT_EQ(v.content(), PanelView::Content::Group);
    ASSERT_TRUE(v.nowPlaying());
    // Frames of the swap: the group column blurs in 0.1 s after the searching tile starts to go.
    QImage sheet;
    QList<QImage> frames;
    for (int step = 0; step < 5; ++step) {
        frames.append(render(v, 2));
        time.advance(100ms);
    }
    const QImage& first = frames.first();
    sheet = QImage(first.width() * frames.size(), first.height(), QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::transparent);
    {
        QPainter painter(&sheet);
        for (int i = 0; i < frames.size(); ++i)
            painter.drawImage(first.width() * i, 0, frames[i]);
    }
    save(sheet, u"content-swap"_s);
    EXPECT_NE(frames.first(), frames.last());
    EXPECT_FALSE(v.groupColumn()->graphicsEffect()); // the effect is gone once the swap ended

    probe().setGroups({});
    EXPECT_EQ(v.content(), PanelView::Content::Searching);
    time.advance(1s);
    EXPECT_FALSE(v.groupColumn());
}

TEST_F(Panel, ErrorBannerSlidesInKeepsItsPlaceForANewTextAndSlidesOut) {
    PanelView& v = makeView();
    household->setError(u"Keine Verbindung"_s);
    QPointer<ErrorBanner> banner = v.errorBanner();
    ASSERT_TRUE(banner);
    // Arrives from above, faded, without blur.
    auto* effect = qobject_cast<BlurFade*>(banner->graphicsEffect());
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->blur(), 0);
    EXPECT_LT(effect->offset(), -banner->sizeHint().height());
    EXPECT_LT(effect->progress(), 1);
    time.advance(300ms);
    EXPECT_FALSE(banner->graphicsEffect());

    // A new text is the same banner, in place, with no transition.
    household->setError(u"Zeitüberschreitung"_s);
    EXPECT_EQ(v.errorBanner(), banner);
    EXPECT_EQ(banner->text(), u"Zeitüberschreitung"_s);
    EXPECT_FALSE(banner->graphicsEffect());

    // Cleared: the view no longer offers it, while it still fades out upwards for 0.22 s.
    household->setError(std::nullopt);
    EXPECT_FALSE(v.errorBanner());
    ASSERT_TRUE(banner);
    EXPECT_TRUE(qobject_cast<BlurFade*>(banner->graphicsEffect()));
    EXPECT_TRUE(banner->testAttribute(Qt::WA_TransparentForMouseEvents));
    time.advance(100ms);
    EXPECT_TRUE(banner);
    time.advance(200ms);
    EXPECT_FALSE(banner);

    // A text that returns while the old banner still leaves gets a banner of its own.
    household->setError(u"Keine Verbindung"_s);
    QPointer<ErrorBanner> first = v.errorBanner();
    household->setError(std::nullopt);
    household->setError(u"Keine Verbindung"_s);
    ASSERT_TRUE(v.errorBanner());
    EXPECT_NE(v.errorBanner(), first);
    time.advance(1s);
    EXPECT_FALSE(first);
    EXPECT_TRUE(v.errorBanner());
}

// Picking the other group in the switcher moves the tile, the switcher and the room list's
// preset menu to that group together.
TEST_F(Panel, TheSwitchersPickMovesTheTileAndThePresetMenuToThatGroup) {
    PanelView& v = makeView();
    ASSERT_EQ(household->groups().size(), 2);
    const SpeakerGroup first = *household->activeGroup();
    auto* switcher = v.findChild<GroupSwitcher*>();
    ASSERT_TRUE(switcher);
    EXPECT_TRUE(switcher->isVisibleTo(&v));
    ASSERT_TRUE(v.findChild<PresetMenu*>());
    EXPECT_EQ(v.findChild<PresetMenu*>()->group().id, first.id);

    std::unique_ptr<QMenu> menu(switcher->makeMenu(nullptr));
    ASSERT_EQ(menu->actions().size(), 2);
    QAction* other = menu->actions()[0]->isChecked() ? menu->actions()[1] : menu->actions()[0];
    other->trigger();
    time.advance(1s);
    const SpeakerGroup second = *household->activeGroup();
    EXPECT_NE(second.id, first.id);
    EXPECT_TRUE(household->pickedByUser());
    EXPECT_EQ(v.findChild<NowPlaying*>()->group().id, second.id);
    EXPECT_EQ(v.findChild<GroupSwitcher*>()->active().id, second.id);
    EXPECT_EQ(v.findChild<PresetMenu*>()->group().id, second.id);
}

TEST_F(Panel, ARefreshKeepsTheGroupColumnInPlace) {
    PanelView& v = makeView();
    QWidget* column = v.groupColumn();
    ASSERT_TRUE(column);
    household->setVisible(true);
    test::run(household->refresh());
    time.advance(1s);
    EXPECT_EQ(v.groupColumn(), column);
    EXPECT_FALSE(column->graphicsEffect());
}

TEST_F(Panel, PopoverBlocksTheColumnPresenceFadesAndTheSizeIsReported) {
    PanelView& v = makeView();
    ASSERT_TRUE(v.groupColumn());
    focus.setPopoverOpen(true);
    EXPECT_TRUE(v.groupColumn()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(v.header()->testAttribute(Qt::WA_TransparentForMouseEvents));
    focus.setPopoverOpen(false);
    EXPECT_FALSE(v.groupColumn()->testAttribute(Qt::WA_TransparentForMouseEvents));

    // Never shown yet: transparent, yet laid out at full size.
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(v.graphicsEffect());
    ASSERT_TRUE(fade);
    EXPECT_EQ(fade->opacity(), 0);
    presence.setShown(true, false);
    EXPECT_FALSE(v.graphicsEffect());
    presence.setShown(false, true);
    time.advance(100ms);
    fade = qobject_cast<QGraphicsOpacityEffect*>(v.graphicsEffect());
    ASSERT_TRUE(fade);
    EXPECT_GT(fade->opacity(), 0);
    EXPECT_LT(fade->opacity(), 1);
    time.advance(200ms);
    EXPECT_EQ(fade->opacity(), 0);

    v.report();
    EXPECT_EQ(v.reportedSize().width(), PanelView::width);
    EXPECT_EQ(v.reportedSize(), v.sizeHint());
    EXPECT_GT(v.reportedSize().height(), 100);
}

TEST_F(Panel, TransportVolumeSeekAndSleepReachTheSpeakers) {
    publish(playing);
    PanelView& v = makeView();
    NowPlaying* tile = v.nowPlaying();
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->playButton()->symbol(), u"pause.fill"_s);
    simulator->clearRequests();

    QTest::mouseClick(tile->playButton(), Qt::LeftButton);
    EXPECT_EQ(tile->playButton()->symbol(), u"play.fill"_s); // at once, before the speaker answers
    EXPECT_TRUE(sent(u"Pause"_s));
    QTest::mouseClick(tile->skipButton(true), Qt::LeftButton);
    EXPECT_TRUE(sent(u"Next"_s));

    QTest::mouseClick(tile->stepButton(true), Qt::LeftButton);
    EXPECT_TRUE(sent(u"SetGroupVolume"_s));
    EXPECT_EQ(argument(u"SetGroupVolume"_s, u"DesiredVolume"_s), u"34"_s);

    TrackProgress* progress = tile->progress();
    ASSERT_TRUE(progress->isVisible());
    const QRectF bar = progress->barRect();
    const QPoint quarter(static_cast<int>(bar.left() + bar.width() / 4), 6);
    const QPoint beyond(progress->width() + 40, 6);
    QTest::mousePress(progress, Qt::LeftButton, {}, quarter);
    ASSERT_TRUE(progress->dragging());
    EXPECT_NEAR(*progress->dragging(), 50, 1);
    QTest::mouseMove(progress, beyond);
    EXPECT_EQ(progress->elapsedText(), u"3:20"_s); // clamped to the length
    EXPECT_FALSE(commands().contains(u"Seek"_s));  // nothing while dragging
    QTest::mouseRelease(progress, Qt::LeftButton, {}, beyond);
    EXPECT_TRUE(sent(u"Seek"_s));
    EXPECT_EQ(argument(u"Seek"_s, u"Target"_s), u"00:03:20"_s);
    EXPECT_EQ(commands().count(u"Seek"_s), 1);

    std::unique_ptr<QMenu> menu(tile->sleepTimer()->makeMenu(nullptr));
    menu->actions().at(3)->trigger(); // 30 minutes
    EXPECT_TRUE(sent(u"ConfigureSleepTimer"_s));
    EXPECT_EQ(argument(u"ConfigureSleepTimer"_s, u"NewSleepTimerDuration"_s), u"00:30:00"_s);
    EXPECT_EQ(tile->sleepTimer()->label(), u"30 min"_s);
    time.advance(1s);
    EXPECT_EQ(tile->sleepTimer()->label(), u"30 min"_s);
}

TEST_F(Panel, TileFollowsTheGroup) {
    const SpeakerGroup shown = publish([](SpeakerGroup& group) {
        playing(group);
        group.canSkip = false;
        group.volume = 2;
        group.state = u"TRANSITIONING"_s;
    });
    PanelView& v = makeView();
    NowPlaying* tile = v.nowPlaying();
    EXPECT_FALSE(tile->skipButton(true)->isVisibleTo(tile));
    EXPECT_FALSE(tile->skipButton(false)->isVisibleTo(tile));
    EXPECT_EQ(tile->playButton()->symbol(), u"pause.fill"_s);
    EXPECT_EQ(tile->name()->name(), shown.coordinator().name);
    EXPECT_EQ(tile->name()->name(), household->displayName(shown));
    simulator->clearRequests();
    QTest::mouseClick(tile->stepButton(false), Qt::LeftButton);
    EXPECT_TRUE(sent(u"SetGroupVolume"_s));
    EXPECT_EQ(argument(u"SetGroupVolume"_s, u"DesiredVolume"_s), u"0"_s);

    // The volume row's capsule follows the keyboard.
    EXPECT_TRUE(tile->volumeHasKeyboard());
    focus.setIndex(1);
    EXPECT_FALSE(tile->volumeHasKeyboard());
    focus.setIndex(std::nullopt);
    focus.setOnFooter(true);
    EXPECT_FALSE(tile->volumeHasKeyboard());

    // Idle: the shortcuts replace the timer and the transport.
    publish([](SpeakerGroup& group) {
        group.state = u"STOPPED"_s;
        group.hasTrack = false;
        group.title.clear();
        group.duration.reset();
    });
    EXPECT_TRUE(tile->idleSection()->isVisibleTo(tile));
    EXPECT_FALSE(tile->sleepTimer()->isVisibleTo(tile));
    EXPECT_FALSE(tile->progress()->isVisibleTo(tile));
    EXPECT_TRUE(tile->favoritesKey().startsWith(u"true true "_s));

    // A TV with night mode: one value changes, the other stays absent.
    publish([](SpeakerGroup& group) {
        group.viaTV = true;
        group.tvFormat = 61;
        group.nightMode = false;
        group.speechBoost.reset();
        group.tvHost = group.coordinator().host;
        group.state = u"PLAYING"_s;
    });
    EXPECT_TRUE(tile->tvRow()->isVisibleTo(tile));
    EXPECT_FALSE(tile->speechToggle()->isVisibleTo(tile));
    EXPECT_EQ(tile->marquee()->text(), L(u"Fernseher · Dolby Atmos"_s));
    EXPECT_FALSE(tile->cover()->link()); // a TV without links is no link
    simulator->clearRequests();
    QTest::mouseClick(tile->nightToggle(), Qt::LeftButton);
    EXPECT_TRUE(sent(u"SetEQ"_s));
    EXPECT_EQ(argument(u"SetEQ"_s, u"EQType"_s), u"NightMode"_s);
    EXPECT_EQ(argument(u"SetEQ"_s, u"DesiredValue"_s), u"1"_s);
}

TEST_F(Panel, SubtitleSwapsWithABlurAndTheLinkOpensOnce) {
    publish(playing);
    PanelView& v = makeView();
    presence.setShown(true, false);
    NowPlaying* tile = v.nowPlaying();
    ASSERT_TRUE(tile->subtitleLink()->link());
    QTest::mouseClick(tile->subtitleLink(), Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_EQ(links.opened.size(), 1);
    EXPECT_EQ(links.opened.first().host(), u"music.apple.com"_s);

    QList<QImage> frames;
    publish([](SpeakerGroup& group) { group.title = u"Northern Lights"_s; });
    EXPECT_EQ(tile->marquee()->text(), u"Northern Lights \u2013 The Quiet Rooms"_s);
    for (int step = 0; step < 5; ++step) {
        QImage frame = render(*tile, 2).copy(0, 0, tile->width() * 2, 64 * 2);
        frame.setDevicePixelRatio(1);
        frames.append(frame);
        time.advance(75ms);
    }
    QImage sheet(frames.first().width(), frames.first().height() * frames.size(),
                 QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&sheet);
        for (int i = 0; i < frames.size(); ++i)
            painter.drawImage(0, frames.first().height() * i, frames[i]);
    }
    save(sheet, u"subtitle-swap"_s);
    EXPECT_NE(frames.first(), frames.last());
    time.advance(1s);
    EXPECT_EQ(tile->findChildren<Marquee*>().size(), 1); // the old line is gone
}

TEST(CoverLink, GrowsWhileHoveredOnlyWithALink) {
    test::ManualTime time;
    FakeLinks links;
    OpenSource cover(OpenSource::Style::Artwork, &links);
    auto* label = new QWidget;
    label->setFixedSize(38, 38);
    cover.setLabel(label);
    cover.show();
    const auto scale = [&] {
        auto* effect = qobject_cast<ScaleEffect*>(label->graphicsEffect());
        return effect ? effect->scale() : 1.0;
    };
    const auto hover = [&](bool inside) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&cover, inside ? static_cast<QEvent*>(&enter) : &leave);
        time.advance(400ms);
    };

    hover(true); // no link: nothing reacts
    EXPECT_EQ(scale(), 1.0);
    hover(false);

    cover.setLink(SourceLink{QUrl(u"https://music.apple.com/album/1"_s), u"Open"_s});
    hover(true);
    EXPECT_DOUBLE_EQ(scale(), OpenSource::hoveredScale);
    hover(false);
    EXPECT_FALSE(label->graphicsEffect()); // at rest the cover paints directly again
}

TEST_F(Panel, RefreshLoopPollsOnlyWhileOpenEveryThreeSecondsWithoutEvents) {
    ASSERT_FALSE(household->subscriptionsHealthy());
    RefreshLoop loop(household.get());
    const auto topologyReads = [&] {
        int n = 0;
        for (const sim::SimRequest& request : simulator->requests())
            n += request.action == u"GetZoneGroupState"_s;
        return n;
    };
    time.advance(30s);
    EXPECT_EQ(loop.refreshes(), 0); // closed: never refreshes
    EXPECT_GE(loop.passes(), 10);   // but wakes every 3 s
    EXPECT_EQ(topologyReads(), 0);

    household->setVisible(true);
    const int passes = loop.passes();
    ASSERT_TRUE(test::waitUntil([&] {
        time.advance(100ms);
        return loop.refreshes() >= 1;
    }));
    ASSERT_TRUE(test::waitUntil([&] { return topologyReads() >= 1; }));
    const int first = loop.refreshes();
    // The next refresh comes 3 s after the previous one ended.
    ASSERT_TRUE(test::waitUntil([&] {
        time.advance(100ms);
        return loop.refreshes() > first;
    }));
    EXPECT_GT(loop.passes(), passes);

    household->setVisible(false);
    ASSERT_TRUE(test::waitUntil([&] {
        time.advance(100ms);
        return probe().refreshesRunning() == 0;
    }));
    const int stopped = loop.refreshes();
    time.advance(30s);
    EXPECT_EQ(loop.refreshes(), stopped);
}

TEST_F(Panel, PicturesOfTheMainStates) {
    struct Scene {
        QString name;
        std::function<void(SpeakerGroup&)> change;
    };
    const Scene scenes[] = {
        {u"playing"_s,
         [](SpeakerGroup& group) {
             playing(group);
             group.spotifyURL = QUrl(u"spotify:track:1"_s);
             group.sleepRemaining = 1500;
             group.sleepAt = Clock::now();
         }},
        {u"tv"_s,
         [](SpeakerGroup& group) {
             group.state = u"PLAYING"_s;
             group.viaTV = true;
             group.tvFormat = 61;
             group.nightMode = true;
             group.speechBoost = false;
             group.canSkip = false;
             group.volume = 45;
         }},
        {u"radio"_s,
         [](SpeakerGroup& group) {
             group.state = u"PLAYING"_s;
             group.title = u"Morning Show on Radio Nord with a long name"_s;
             group.hasTrack = true;
             group.canSkip = false;
             group.viaAirPlay = true;
             group.volume = 18;
         }},
        {u"idle"_s, [](SpeakerGroup& group) { group.volume = 25; }},
    };
    for (const Scene& scene : scenes) {
        publish(scene.change, true);
        if (!view)
            makeView();
        presence.setShown(true, false);
        for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
            view->setPalette(Ink::palette(scheme));
            time.advance(2s);
            const QImage image = render(*view, 2);
            EXPECT_EQ(image.width(), PanelView::width * 2);
            save(image, scene.name + (scheme == Scheme::Dark ? u"-dark"_s : u"-light"_s));
        }
    }
}

} // namespace
