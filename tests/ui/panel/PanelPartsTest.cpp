// The now-playing tile's parts on their own: the subtitle and source-link rules, the source
// badge, the progress row's arithmetic, the marquee's plan and cycle, the sleep timer's texts
// and menu, the waves' outline and frame pacing, and the frame beat that the moving parts share.
#include "core/Texts.h"
#include "support/EventCount.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "ui/kit/FrameBeat.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Tile.h"
#include "ui/panel/LinkOpener.h"
#include "ui/panel/Marquee.h"
#include "ui/panel/NowPlaying.h"
#include "ui/panel/PlayingWaves.h"
#include "ui/panel/SleepTimerButton.h"
#include "ui/panel/SourceGlyph.h"
#include "ui/panel/SourceLink.h"
#include "ui/panel/TrackProgress.h"

#include <QMenu>
#include <QPaintEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

struct FakeLinks : LinkOpener {
    bool spotify = false;
    QList<QUrl> opened;
    bool handles(const QString& scheme) const override { return spotify && scheme == u"spotify"_s; }
    void open(const QUrl& url) override { opened.append(url); }
};

SpeakerGroup track(const QString& title, const QString& artist, const QString& state = u"PLAYING"_s) {
    SpeakerGroup group;
    group.id = u"G"_s;
    group.rooms = {Room{.id = u"R1"_s, .name = u"Küche"_s, .host = u"127.0.0.1"_s}};
    group.coordinatorID = u"R1"_s;
    group.title = title;
    group.artist = artist;
    group.state = state;
    group.hasTrack = !title.isEmpty();
    return group;
}

SpeakerGroup tv(std::optional<int> format) {
    SpeakerGroup group = track(QString(), QString());
    group.viaTV = true;
    group.tvFormat = format;
    return group;
}

TEST(Subtitle, TableOfTracksStatesAndTVFormats) {
    struct Case {
        SpeakerGroup group;
        QString text;
    };
    const Case cases[] = {
        {track(u"Song"_s, u"Band"_s), u"Song \u2013 Band"_s},
        {track(u"Song"_s, QString()), u"Song"_s},
        {track(QString(), QString(), u"PLAYING"_s), L(u"Spielt"_s)},
        {track(QString(), QString(), u"TRANSITIONING"_s), L(u"Spielt"_s)},
        {track(QString(), QString(), u"STOPPED"_s), L(u"Keine Musik ausgewählt"_s)},
        {tv(21), L(u"Fernseher · kein Ton"_s)},
        {tv(0), L(u"Fernseher · kein Ton"_s)},
        {tv(61), L(u"Fernseher · Dolby Atmos"_s)},
        {tv(7), L(u"Fernseher"_s)},
        {tv(std::nullopt), L(u"Fernseher"_s)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NowPlaying::subtitle(c.group), c.text) << c.text.toStdString();
}

TEST(SourceLinkRules, SpeakerLinksWinThenSearchesOnlyForSkippableTitledTracks) {
    FakeLinks links;
    SpeakerGroup both = track(u"Song"_s, u"Band"_s);
    both.spotifyURL = QUrl(u"spotify:track:4uLU6hMCjMI75M1A2tKUQC"_s);
    both.appleMusicURL = QUrl(u"https://music.apple.com/song/1"_s);
    both.viaTV = true;
    // Without a handler the Spotify link opens on the web.
    ASSERT_TRUE(SourceLink::of(both, links));
    EXPECT_EQ(SourceLink::of(both, links)->url,
              QUrl(u"https://open.spotify.com/track/4uLU6hMCjMI75M1A2tKUQC"_s));
    EXPECT_EQ(SourceLink::of(both, links)->tooltip, L(u"In Spotify öffnen"_s));
    links.spotify = true;
    EXPECT_EQ(SourceLink::of(both, links)->url, *both.spotifyURL);

    SpeakerGroup apple = track(u"Song"_s, u"Band"_s);
    apple.appleMusicURL = QUrl(u"https://music.apple.com/song/1"_s);
    EXPECT_EQ(SourceLink::of(apple, links)->tooltip, L(u"In Apple Music öffnen"_s));

    SpeakerGroup television = tv(7);
    television.title = u"Song"_s;
    SpeakerGroup stream = track(u"Radio"_s, QString());
    stream.canSkip = false;
    EXPECT_FALSE(SourceLink::of(television, links));
    EXPECT_FALSE(SourceLink::of(stream, links));
    EXPECT_FALSE(SourceLink::of(track(QString(), u"Band"_s), links));

    const auto search = SourceLink::of(track(u"Late Summer"_s, u"The Quiet Rooms"_s), links);
    ASSERT_TRUE(search);
    EXPECT_EQ(search->url.toString(QUrl::FullyEncoded),
              u"spotify:search:Late%20Summer%20The%20Quiet%20Rooms"_s);
    EXPECT_EQ(search->tooltip, L(u"In Spotify suchen"_s));
    EXPECT_EQ(SourceLink::of(track(u"AC/DC"_s, QString()), links)->url.toString(QUrl::FullyEncoded),
              u"spotify:search:AC/DC"_s);

    links.spotify = false;
    const auto music = SourceLink::of(track(u"Late Summer"_s, QString()), links);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->tooltip, L(u"In Musik suchen"_s));
    EXPECT_EQ(music->url.scheme(), u"https"_s);
    EXPECT_EQ(music->url.host(), u"music.apple.com"_s);
    EXPECT_EQ(music->url.path(), u"/search"_s);
    // The title alone, with no trailing space.
    EXPECT_EQ(music->url.query(QUrl::FullyDecoded), u"term=Late Summer"_s);
}

TEST(SourceBadge, FirstSourceWins) {
    SpeakerGroup group = track(u"Song"_s, u"Band"_s);
    EXPECT_EQ(SourceGlyph::kindOf(group), SourceGlyph::Kind::None);
    group.viaAirPlay = true;
    EXPECT_EQ(SourceGlyph::kindOf(group), SourceGlyph::Kind::AirPlay);
    group.appleMusicURL = QUrl(u"https://music.apple.com/song/1"_s);
    EXPECT_EQ(SourceGlyph::kindOf(group), SourceGlyph::Kind::AppleMusic);
    group.spotifyURL = QUrl(u"spotify:track:1"_s);
    EXPECT_EQ(SourceGlyph::kindOf(group), SourceGlyph::Kind::Spotify);
    EXPECT_EQ(SourceGlyph::tooltip(SourceGlyph::Kind::AirPlay), L(u"Über AirPlay"_s));
}

TEST(Progress, TimeLabels) {
    const std::pair<double, QString> cases[] = {{0, u"0:00"_s},       {65, u"1:05"_s},
                                                {3599, u"59:59"_s},   {3600, u"1:00:00"_s},
                                                {5400, u"1:30:00"_s}, {59.99, u"0:59"_s}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(TrackProgress::timeText(seconds), text) << seconds;
}

TEST(Progress, ShownPositionAdvancesOnlyWhilePlayingAndStaysInTheTrack) {
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    SpeakerGroup group = track(u"Song"_s, u"Band"_s);
    group.duration = 180;
    group.position = 30;
    group.positionAt = now.addSecs(-10);
    EXPECT_DOUBLE_EQ(TrackProgress::shownPosition(group, now, std::nullopt), 40);
    group.state = u"PAUSED_PLAYBACK"_s;
    EXPECT_DOUBLE_EQ(TrackProgress::shownPosition(group, now, std::nullopt), 30);
    group.state = u"TRANSITIONING"_s;
    EXPECT_DOUBLE_EQ(TrackProgress::shownPosition(group, now, std::nullopt), 30);
    group.state = u"PLAYING"_s;
    group.positionAt = now.addSecs(-3600);
    EXPECT_DOUBLE_EQ(TrackProgress::shownPosition(group, now, std::nullopt), 180);
    group.position = -50;
    group.positionAt = now;
    EXPECT_DOUBLE_EQ(TrackProgress::shownPosition(group, now, std::nullopt), 0);
    EXPECT_DOUBLE_EQ(TrackProgress::shownPosition(group, now, 12.5), 12.5);
    group.position = std::nan("");
    EXPECT_DOUBLE_EQ(TrackProgress::shownPosition(group, now, std::nullopt), 0);
}

TEST(Progress, HiddenWithoutLengthAndTicksOnceASecond) {
    test::ManualTime time;
    QWidget root;
    root.setPalette(Ink::palette(Scheme::Dark));
    TrackProgress progress(nullptr, &root);
    root.show();
    SpeakerGroup group = track(u"Stream"_s, QString());
    progress.setGroup(group);
    EXPECT_FALSE(progress.isVisible());
    group.duration = 100;
    group.position = 30;
    group.positionAt = Clock::now();
    progress.setGroup(group);
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.elapsedText(), u"0:30"_s);
    time.advance(10s);
    EXPECT_EQ(progress.elapsedText(), u"0:40"_s);
    EXPECT_EQ(progress.lengthText(), u"1:40"_s);
}

TEST(Progress, CountsOnInStepsOfItsOneSecondTimeline) {
    test::ManualTime time;
    QWidget root;
    TrackProgress progress(nullptr, &root);
    root.show();
    SpeakerGroup group = track(u"Song"_s, u"Band"_s);
    group.duration = 100;
    group.position = 30;
    group.positionAt = Clock::now();
    progress.setGroup(group);
    const QDateTime start = Clock::now();
    EXPECT_EQ(progress.shownNow(), start);
    // The waves behind repaint the bar up to 30 times a second: what it shows moves on the tick.
    time.advance(900ms);
    EXPECT_EQ(progress.shownNow(), start);
    time.advance(100ms);
    EXPECT_EQ(progress.shownNow(), start.addSecs(1));
    group.position = 50;
    group.positionAt = Clock::now().addMSecs(-300);
    time.advance(300ms);
    progress.setGroup(group); // a new position shows at once
    EXPECT_EQ(progress.elapsedText(), u"0:50"_s);
    EXPECT_EQ(progress.shownNow(), Clock::now());
}

TEST(MarqueePlan, ScrollsOnlyWhenMoreThanAPointTooWide) {
    const Marquee::Plan wide = Marquee::plan(200, 150, 32, 28, false);
    EXPECT_TRUE(wide.scrolls);
    EXPECT_DOUBLE_EQ(wide.distance, 232);
    EXPECT_EQ(wide.duration, 8286ms);
    EXPECT_FALSE(Marquee::plan(150.5, 150, 32, 28, false).scrolls);
    EXPECT_FALSE(Marquee::plan(120, 150, 32, 28, false).scrolls);
    EXPECT_FALSE(Marquee::plan(200, 150, 32, 28, true).scrolls); // reduce motion
    EXPECT_FALSE(Marquee::plan(200, 0, 32, 28, false).scrolls);  // not measured yet
}

TEST(MarqueeCycle, RestsScrollsJumpsBackAndRestartsWithANewText) {
    test::ManualTime time;
    QWidget root;
    auto* marquee = new Marquee(u"A rather long title that cannot fit"_s, 32, 28, &root);
    root.show();
    marquee->setGeometry(0, 0, 60, 14);
    const Marquee::Plan plan = marquee->plan();
    ASSERT_TRUE(plan.scrolls);
    time.advance(2400ms);
    EXPECT_EQ(marquee->offset(), 0);
    time.advance(200ms);
    time.advance(1000ms);
    EXPECT_LT(marquee->offset(), -20);
    EXPECT_GT(marquee->offset(), -plan.distance);
    time.advance(plan.duration - 1000ms);
    EXPECT_EQ(marquee->offset(), 0); // jumped back
    time.advance(2000ms);
    EXPECT_EQ(marquee->offset(), 0); // and rests again

    marquee->setReduceMotion(true);
    time.advance(20s);
    EXPECT_EQ(marquee->offset(), 0);
    EXPECT_FALSE(marquee->plan().scrolls);

    auto* fits = new Marquee(u"Short"_s, 32, 28, &root);
    fits->setGeometry(0, 20, 200, 14);
    fits->show();
    EXPECT_FALSE(fits->plan().scrolls);
}

TEST(SleepTimer, FormatsAndCountsDown) {
    const std::pair<double, QString> cases[] = {{1800, u"30 min"_s}, {1799, u"30 min"_s}, {61, u"2 min"_s},
                                                {60, u"1 min"_s},    {59.9, u"59 s"_s},   {59.5, u"59 s"_s},
                                                {0.4, u"0 s"_s},     {0, u"0 s"_s}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(SleepTimerButton::format(seconds), text) << seconds;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    SpeakerGroup group = track(u"Song"_s, u"Band"_s);
    EXPECT_FALSE(SleepTimerButton::remaining(group, now));
    group.sleepRemaining = 100;
    group.sleepAt = now.addSecs(-300); // stale: never below zero
    EXPECT_EQ(SleepTimerButton::remaining(group, now), 0.0);
}

TEST(SleepTimer, NewGroupStateRelaysTheWindowOutOnlyWhenTheLabelChangesWidth) {
    test::ManualTime time;
    QWidget root;
    auto* button = new SleepTimerButton(nullptr, &root);
    root.show();
    SpeakerGroup group = track(u"Song"_s, u"Band"_s);
    group.sleepRemaining = 1500;
    group.sleepAt = Clock::now();
    button->setGroup(group);
    QCoreApplication::sendPostedEvents();
    test::EventCount requests(QEvent::LayoutRequest);
    root.installEventFilter(&requests);
    // Every poll of the household hands the group over again, its position moved on.
    group.position = 12;
    button->setGroup(group);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(requests.count, 0);
    group.sleepRemaining = 5;
    button->setGroup(group); // "25 min" to "5 s"
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(requests.count, 1);
}

TEST(SleepTimer, MenuListsOffAndThreeDurationsCheckingOnlyOff) {
    SleepTimerButton button(nullptr);
    SpeakerGroup group = track(u"Song"_s, u"Band"_s);
    button.setGroup(group);
    std::unique_ptr<QMenu> menu(button.makeMenu(nullptr));
    QStringList titles;
    QList<bool> checked;
    for (QAction* action : menu->actions()) {
        titles.append(action->text());
        checked.append(action->isChecked());
    }
    const QString minutes = u" "_s + L(u"Minuten"_s);
    EXPECT_EQ(titles, (QStringList{L(u"Sleep-Timer"_s), L(u"Aus"_s), u"15"_s + minutes, u"30"_s + minutes,
                                   u"60"_s + minutes}));
    EXPECT_EQ(checked, (QList<bool>{false, true, false, false, false}));
    EXPECT_TRUE(menu->actions().first()->isSeparator()); // the section header

    group.sleepRemaining = 600;
    group.sleepAt = Clock::now();
    button.setGroup(group);
    menu.reset(button.makeMenu(nullptr));
    for (QAction* action : menu->actions())
        EXPECT_FALSE(action->isChecked()) << action->text().toStdString();
    EXPECT_EQ(button.hover()->options().shape, HoverShape::Capsule);
    EXPECT_EQ(button.hover()->options().rest, InkLevel::Secondary);
    EXPECT_EQ(button.hover()->options().tooltip, L(u"Sleep-Timer läuft"_s));
}

TEST(Waves, OutlineFollowsTheTable) {
    const QSizeF size(100, 60);
    const QPolygonF wave = PlayingWaves::wave(0, size, 0);
    // (0, H), x = 0, 2, …, 100, 102 (102 = W + 2 exactly), (W, H).
    ASSERT_EQ(wave.size(), 1 + 52 + 1);
    EXPECT_EQ(wave.first(), QPointF(0, 60));
    EXPECT_EQ(wave.last(), QPointF(100, 60));
    EXPECT_DOUBLE_EQ(wave[wave.size() - 2].x(), 102);
    EXPECT_DOUBLE_EQ(wave[1].y(), 30); // baseline 0.5 H, sin 0
    const QPolygonF third = PlayingWaves::wave(2, QSizeF(99, 60), 0);
    EXPECT_DOUBLE_EQ(third[third.size() - 2].x(), 100); // 101 is odd: the last point is 100
    EXPECT_NEAR(third[1].y(), 0.76 * 60 + 0.05 * 60 * std::sin(3.4), 1e-9);
    EXPECT_DOUBLE_EQ(PlayingWaves::timeAt(QDateTime(QDate(2001, 1, 1), QTime(0, 1), Qt::UTC)), 60);
    // Frame after frame and across sizes the crest follows the formula.
    for (const double width : {344.0, 100.0, 344.0})
        for (const double t : {0.0, 1.5, 8.1e8 + 0.034}) {
            for (int i = 0; i < 3; ++i) {
                const QPolygonF outline = PlayingWaves::wave(i, QSizeF(width, 60), t);
                const double phase = std::fmod(1.7 * i + (0.28 + 0.12 * i) * t, 2 * std::numbers::pi);
                for (qsizetype n = 1; n + 1 < outline.size(); ++n) {
                    const double x = outline[n].x();
                    const double y =
                        (0.5 + 0.13 * i) * 60 +
                        (0.09 - 0.02 * i) * 60 *
                            std::sin(2 * std::numbers::pi * x / ((0.9 + 0.35 * i) * width) + phase);
                    ASSERT_NEAR(outline[n].y(), y, 1e-9) << width << " " << t << " " << i << " " << n;
                }
            }
        }
}

TEST(Waves, RedrawAtMostThirtyTimesASecondOnlyWhilePlayingAndShown) {
    test::ManualTime time;
    PlayingWaves waves;
    time.advance(1s);
    EXPECT_EQ(waves.frames(), 0);
    waves.setPlaying(true);
    time.advance(1s);
    EXPECT_GE(waves.frames(), 28);
    EXPECT_LE(waves.frames(), 30);
    time.advance(1s);
    EXPECT_NEAR(waves.opacity(), 1, 1e-9);
    waves.setShown(false);
    const int hidden = waves.frames();
    time.advance(2s);
    EXPECT_EQ(waves.frames(), hidden);
    waves.setShown(true);
    waves.setReduceMotion(true);
    time.advance(2s);
    EXPECT_EQ(waves.frames(), hidden);
    EXPECT_NEAR(waves.opacity(), 1, 1e-9); // still visible, just still
    waves.setReduceMotion(false);
    waves.setPlaying(false);
    time.advance(2s);
    EXPECT_EQ(waves.frames(), hidden);
    EXPECT_EQ(waves.opacity(), 0);
}

TEST(Waves, RepaintBetweenTwoBeatsShowsTheLastBeatsFrame) {
    test::ManualTime time;
    Tile tile;
    tile.setPalette(Ink::palette(Scheme::Dark));
    tile.resize(200, 120);
    PlayingWaves waves;
    waves.setColor(Qt::white);
    tile.setBackdrop(&waves);
    waves.setPlaying(true);
    time.advance(30 * FrameBeat::interval); // faded in, on a beat
    const auto picture = [&tile] {
        QImage image(tile.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        tile.render(&image);
        return image;
    };
    const QImage first = picture();
    time.advance(FrameBeat::interval / 2); // a label ticks: no beat yet
    EXPECT_EQ(picture(), first);
    time.advance(FrameBeat::interval / 2); // the next beat
    EXPECT_NE(picture(), first);
}

TEST(FrameBeat, StepsEveryListenerOnOneBeatAndRestartsAfterTheClockDroppedIt) {
    QObject context;
    int first = 0;
    int second = 0;
    FrameBeat::Id firstId = 0;
    {
        test::ManualTime time;
        firstId = FrameBeat::listen(&context, [&] { ++first; });
        time.advance(100ms); // beats at 34 and 68 ms
        EXPECT_EQ(first, 2);
    }
    // Leaving manual time dropped the pending beat; the next listener starts it again and the
    // earlier one steps on it too.
    test::ManualTime time;
    const FrameBeat::Id secondId = FrameBeat::listen(&context, [&] { ++second; });
    time.advance(FrameBeat::interval);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, 1);
    FrameBeat::stop(firstId);
    {
        QObject gone;
        FrameBeat::listen(&gone, [&] { ++first; });
    }
    time.advance(2 * FrameBeat::interval);
    EXPECT_EQ(first, 3); // stopped, and a listener whose context is gone never steps
    EXPECT_EQ(second, 3);
    FrameBeat::stop(secondId);
    EXPECT_EQ(FrameBeat::listeners(), 0);
}

TEST(FrameBeat, ScrollingTitleAndWavesRepaintTogetherAtMostThirtyTimesASecond) {
    test::ManualTime time;
    Tile tile;
    tile.resize(200, 80);
    PlayingWaves waves;
    tile.setBackdrop(&waves);
    auto* marquee = new Marquee(u"A rather long title that cannot fit"_s, 32, 28, &tile);
    marquee->setGeometry(12, 12, 60, 14);
    tile.show();
    waves.setPlaying(true);
    time.advance(Marquee::rest + 100ms); // the slide has begun
    test::EventCount paints(QEvent::Paint);
    marquee->installEventFilter(&paints);
    const double before = marquee->offset();
    time.advance(1s);
    EXPECT_LT(marquee->offset(), before - 25); // 28 points a second
    EXPECT_GE(paints.count, 25);
    EXPECT_LE(paints.count, 30);
}

} // namespace
