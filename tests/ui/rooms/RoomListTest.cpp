// The room list and its rows over a household on the loopback speakers: membership, rename and
// volume intents reach the speakers, rows stay the same widgets across updates, and the sound
// popover's states, reset and mute.
#include "ui/rooms/RoomList.h"
#include "household/GroupingFixture.h"
#include "support/FakeFooterSettings.h"
#include "ui/kit/EditableName.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/ManualAnimationDriver.h"
#include "ui/kit/Motion.h"
#include "ui/kit/PanelPresence.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/VolumeSlider.h"
#include "ui/rooms/EQSlider.h"
#include "ui/rooms/KeyboardFooter.h"
#include "ui/rooms/MembershipButton.h"
#include "ui/rooms/RoomRow.h"
#include "ui/rooms/RoomSoundView.h"

#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using grouping::host;
using grouping::uuid;

class RoomViews : public grouping::GroupingLive {
protected:
    void TearDown() override {
        list.reset();
        GroupingLive::TearDown();
    }

    // The list for the group led by speaker `leader`, following the household as the panel does.
    RoomList& show(int leader) {
        env.household = household.get();
        env.focus = &focus;
        env.presence = &presence;
        env.settings = &settings;
        list = std::make_unique<RoomList>(groupOf(leader), env, [](const SpeakerGroup&, QWidget* parent) {
            auto* menu = new QWidget(parent);
            menu->setFixedSize(16, 16);
            return menu;
        });
        QObject::connect(household.get(), &Household::groupsChanged, list.get(),
                         [this, leader] { list->setGroup(groupOf(leader)); });
        list->resize(300, 200);
        return *list;
    }
    RoomRow* rowOf(int n) const { return list->row(uuid(n)); }

    // The SOAP actions the speakers received, as "<speaker n> <action>", leaving out reads of the
    // topology and the state.
    QStringList actions(const QStringList& only) const {
        QStringList out;
        for (const sim::SimRequest& request : simulator->requests()) {
            if (!only.contains(request.action))
                continue;
            QString line = request.host;
            for (int n = 1; n <= 9; ++n)
                if (request.host == host(n))
                    line = QString::number(n);
            out.append(line + u' ' + request.action);
        }
        return out;
    }

    KeyboardFocus focus;
    PanelPresence presence;
    test::FakeFooterSettings settings;
    RoomsEnvironment env;
    std::unique_ptr<RoomList> list;
};

TEST_F(RoomViews, ListsEveryRoomWithTheGroupsCopyAndOffersAlleOnlyWithARoomOutside) {
    start({{1, 2}}, 3);
    RoomList& rooms = show(1);
    ASSERT_EQ(rooms.rows().size(), 3);
    EXPECT_TRUE(rowOf(1)->isMember());
    EXPECT_TRUE(rowOf(2)->isMember());
    EXPECT_FALSE(rowOf(3)->isMember());
    EXPECT_TRUE(rooms.joinAllEnabled());
    // A room outside the group shows neither speaker button nor a usable slider.
    EXPECT_FALSE(rowOf(3)->speakerButtonShown());
    EXPECT_FALSE(rowOf(3)->findChild<VolumeSlider*>()->isEnabled());

    list->findChild<QAbstractButton*>(u"joinAll"_s)->click();
    ASSERT_TRUE(test::waitUntil([&] { return !actions({u"SetAVTransportURI"_s}).isEmpty(); }));
    EXPECT_EQ(actions({u"SetAVTransportURI"_s}), QStringList{u"3 SetAVTransportURI"_s});
    EXPECT_TRUE(rowOf(3)->isMember()); // the household moved the room before it asked
    EXPECT_FALSE(rooms.joinAllEnabled());
}

TEST_F(RoomViews, MembershipClicksSendJoinOrLeaveFromTheShownMembership) {
    start({{1, 2}}, 3);
    show(1);
    rowOf(3)->findChild<MembershipButton*>(u"membership"_s)->click();
    rowOf(2)->findChild<MembershipButton*>(u"membership"_s)->click();
    const QStringList expected{u"3 SetAVTransportURI"_s, u"2 BecomeCoordinatorOfStandaloneGroup"_s};
    const QStringList asked{u"SetAVTransportURI"_s, u"BecomeCoordinatorOfStandaloneGroup"_s};
    ASSERT_TRUE(test::waitUntil([&] { return actions(asked).size() == 2; }));
    QStringList sent = actions(asked);
    sent.sort();
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    EXPECT_EQ(sent, sortedExpected);
    EXPECT_TRUE(rowOf(3)->isMember());
    EXPECT_FALSE(rowOf(2)->isMember());
}

TEST_F(RoomViews, ARowStaysTheSameWidgetWithItsRenameOpenWhileItsVolumeChanges) {
    start({{1, 2}}, 3);
    show(1);
    list->show();
    RoomRow* row = rowOf(2);
    auto* name = row->findChild<EditableName*>(u"name"_s);
    name->beginEditing();
    ASSERT_TRUE(row->renaming());
    EXPECT_FALSE(row->speakerButtonShown());

    household->setVolume(roomOf(2), 61); // published at once, sent later
    EXPECT_EQ(rowOf(2), row);
    EXPECT_EQ(row->room().volume, 61);
    EXPECT_EQ(row->findChild<VolumeSlider*>()->value(), 61);
    EXPECT_TRUE(name->editing());

    name->field()->setText(u"Küche"_s);
    QTest::keyClick(name->field(), Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return !actions({u"SetZoneAttributes"_s}).isEmpty(); }));
    EXPECT_EQ(actions({u"SetZoneAttributes"_s}), QStringList{u"2 SetZoneAttributes"_s});
    EXPECT_EQ(simulator->requests(host(2), u"SetZoneAttributes"_s).first().arg(u"DesiredZoneName"_s),
              u"Küche"_s);
    EXPECT_EQ(rowOf(2), row);
}

TEST_F(RoomViews, ARoomLeavingTheTopologyTakesOnlyItsOwnRow) {
    start({{1, 2}}, 3);
    show(1);
    RoomRow* first = rowOf(1);
    RoomRow* second = rowOf(2);
    simulator->update([](sim::FakeHousehold& fake) { fake.groups.removeLast(); });
    test::run(household->refresh());
    ASSERT_EQ(list->rows().size(), 2);
    EXPECT_EQ(rowOf(3), nullptr);
    EXPECT_EQ(list->rows(), (QList<RoomRow*>{first, second}));
    EXPECT_FALSE(list->joinAllEnabled());
}

TEST_F(RoomViews, TheKeyboardHighlightLightsOneRowAndNoneFromTheFooter) {
    start({{1, 2}}, 3);
    show(1);
    struct Case {
        std::optional<int> index;
        bool onFooter;
        std::optional<int> lit; // speaker number
    };
    const Case cases[] = {{2, false, 3}, {2, true, std::nullopt}, {7, false, std::nullopt}, {0, false, 1}};
    for (const Case& c : cases) {
        focus.setIndex(c.index);
        focus.setOnFooter(c.onFooter);
        for (int n = 1; n <= 3; ++n)
            EXPECT_EQ(rowOf(n)->highlight() > 0, c.lit == n) << n;
    }
    focus.setIndex(0);
    focus.setOnFooter(false);
    EXPECT_DOUBLE_EQ(rowOf(1)->highlight(), 0.08); // the keyboard highlight wins over hovering
}

TEST_F(RoomViews, TheSoundPopoverLoadsResetsAndMutesTheLiveRoom) {
    start({{1, 2}}, 3);
    show(1);
    rowOf(1)->openSound();
    EXPECT_TRUE(focus.popoverOpen());
    RoomSoundView* sound = rowOf(1)->soundView();
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->state(), RoomSoundView::State::loading);
    ASSERT_TRUE(test::waitUntil([&] { return sound->state() == RoomSoundView::State::loaded; }));
    EXPECT_FALSE(sound->resetShown()); // the speakers' defaults: 0, 0, loudness on

    sound->findChild<EQSlider*>(u"bass"_s)->increment();
    EXPECT_EQ(sound->sound()->bass, 1);
    EXPECT_TRUE(sound->resetShown());
    ASSERT_TRUE(test::waitUntil([&] {
        Clock::advance(50ms);
        return !simulator->requests(host(1), u"SetBass"_s).isEmpty();
    }));
    simulator->clearRequests();
    sound->reset();
    EXPECT_FALSE(sound->resetShown());
    const QStringList sets{u"SetBass"_s, u"SetTreble"_s, u"SetLoudness"_s};
    ASSERT_TRUE(test::waitUntil([&] {
        Clock::advance(50ms); // the senders' coalescing wait
        return actions(sets).size() == 3;
    })) << actions(sets).join(u", "_s).toStdString();
    QStringList sent = actions(sets);
    sent.sort();
    EXPECT_EQ(sent, (QStringList{u"1 SetBass"_s, u"1 SetLoudness"_s, u"1 SetTreble"_s}));

    // The mute switch toggles the room as the household shows it at each click.
    sound->toggleMute();
    EXPECT_TRUE(sound->currentRoom().muted);
    sound->toggleMute();
    EXPECT_FALSE(sound->currentRoom().muted);
    ASSERT_TRUE(test::waitUntil([&] {
        Clock::advance(50ms);
        return simulator->requests(host(1), u"SetMute"_s).size() == 2;
    }));
    QStringList mutes;
    for (const sim::SimRequest& request : simulator->requests(host(1), u"SetMute"_s))
        mutes.append(request.arg(u"DesiredMute"_s));
    mutes.sort();
    EXPECT_EQ(mutes, (QStringList{u"0"_s, u"1"_s})); // one each way, not the same flag twice
}

TEST_F(RoomViews, AFailedReadShowsTheFailedTextAndALateAnswerIsIgnored) {
    start({{1, 2}}, 3);
    show(1);
    simulator->setFault(host(1), u"GetTreble"_s, sim::Fault::upnp(u"800"_s));
    rowOf(1)->openSound();
    RoomSoundView* sound = rowOf(1)->soundView();
    ASSERT_TRUE(test::waitUntil([&] { return sound->state() == RoomSoundView::State::failed; }));
    EXPECT_FALSE(sound->resetShown());
    rowOf(1)->popover()->close();
    ASSERT_TRUE(test::waitUntil([&] { return !rowOf(1)->soundOpen(); }));

    // Closed before the speaker answers: the answer goes nowhere.
    simulator->clearFaults();
    simulator->setFault(host(2), u"GetBass"_s, sim::Fault::delayed(100ms));
    rowOf(2)->openSound();
    QPointer<RoomSoundView> closed = rowOf(2)->soundView();
    rowOf(2)->popover()->close();
    ASSERT_TRUE(test::waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return closed.isNull();
    }));
    ASSERT_TRUE(test::waitUntil([&] { return !simulator->requests(host(2), u"GetLoudness"_s).isEmpty(); }));
    QTest::qWait(20);
    EXPECT_FALSE(rowOf(2)->soundOpen());

    // The list going away with a popover open and its read under way takes the popover along.
    simulator->clearRequests();
    rowOf(2)->openSound();
    list.reset();
    ASSERT_TRUE(test::waitUntil([&] { return !simulator->requests(host(2), u"GetLoudness"_s).isEmpty(); }));
    QTest::qWait(20);
}

TEST_F(RoomViews, ThePopoverFlagStaysSetWhileAPopoverReopensWithinTheLinger) {
    start({{1, 2}}, 3);
    show(1);
    rowOf(1)->openSound();
    rowOf(1)->popover()->close();
    ASSERT_TRUE(test::waitUntil([&] { return !rowOf(1)->soundOpen(); }));
    EXPECT_TRUE(focus.popoverOpen());
    Clock::advance(100ms);
    rowOf(1)->openSound(); // reopened before the first clear was due
    Clock::advance(150ms);
    EXPECT_TRUE(focus.popoverOpen());
    rowOf(1)->popover()->close();
    ASSERT_TRUE(test::waitUntil([&] { return !rowOf(1)->soundOpen(); }));
    Clock::advance(199ms);
    EXPECT_TRUE(focus.popoverOpen());
    Clock::advance(1ms);
    EXPECT_FALSE(focus.popoverOpen());
}

// The reset button fades and scales in (0.9 to 1) over 0.15 s when the sound leaves its defaults,
// runs on through a further change, and fades out after the reset, taking no clicks from then on.
// Frames of both directions go to the artefacts.
TEST_F(RoomViews, TheResetButtonFadesAndScalesWithTheSound) {
    start({{1, 2}}, 3);
    show(1);
    ManualAnimationDriver driver;
    const auto curve = [](double t) { return Motion::panelCurve().valueForProgress(t); };
    rowOf(1)->openSound();
    RoomSoundView* sound = rowOf(1)->soundView();
    sound->setPalette(Ink::palette(Scheme::Dark));
    ASSERT_TRUE(test::waitUntil([&] { return sound->state() == RoomSoundView::State::loaded; }));
    auto* reset = sound->findChild<SymbolButton*>(u"reset"_s);
    driver.settle();
    EXPECT_DOUBLE_EQ(sound->resetOpacity(), 0.0);
    EXPECT_FALSE(reset->isVisible());

    const double ratio = 2;
    const QList<std::chrono::milliseconds> stops{0ms, 25ms, 25ms, 50ms, 50ms};
    QImage strip(QSize(sound->width(), sound->height() * 2 * int(stops.size())) * ratio,
                 QImage::Format_ARGB32_Premultiplied);
    strip.setDevicePixelRatio(ratio);
    strip.fill(Ink::palette(Scheme::Dark).color(QPalette::Window));
    QPainter painter(&strip);
    int y = 0;
    const auto frames = [&] {
        for (const auto stop : stops) {
            driver.advance(stop);
            sound->render(&painter, QPoint(0, y));
            y += sound->height();
        }
    };

    sound->setBass(2);
    driver.settle();
    EXPECT_TRUE(reset->isVisible());
    EXPECT_FALSE(reset->testAttribute(Qt::WA_TransparentForMouseEvents)); // takes clicks at once
    EXPECT_DOUBLE_EQ(sound->resetOpacity(), 0.0);
    EXPECT_DOUBLE_EQ(sound->resetScale(), 0.9);
    driver.advance(75ms);
    EXPECT_NEAR(sound->resetOpacity(), curve(0.5), 0.02);
    EXPECT_NEAR(sound->resetScale(), 0.9 + 0.1 * curve(0.5), 0.002);
    sound->setTreble(-1); // still off the defaults: the fade runs on
    driver.advance(75ms);
    EXPECT_DOUBLE_EQ(sound->resetOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(sound->resetScale(), 1.0);

    sound->setBass(0);
    sound->setTreble(0);
    sound->setLoudness(false); // off the defaults only through loudness: still shown, nothing moves
    driver.settle();
    EXPECT_DOUBLE_EQ(sound->resetOpacity(), 1.0);
    sound->reset();
    EXPECT_TRUE(reset->testAttribute(Qt::WA_TransparentForMouseEvents));
    driver.settle();
    EXPECT_DOUBLE_EQ(sound->resetOpacity(), 1.0);
    driver.advance(75ms);
    EXPECT_NEAR(sound->resetOpacity(), 1 - curve(0.5), 0.02);
    driver.advance(75ms);
    EXPECT_DOUBLE_EQ(sound->resetOpacity(), 0.0);
    EXPECT_DOUBLE_EQ(sound->resetScale(), 0.9);
    EXPECT_FALSE(reset->isVisible());

    // The frames: in, then out.
    sound->setBass(3);
    frames();
    sound->reset();
    frames();
    painter.end();
    QDir().mkpath(QStringLiteral(TAMBER_ARTIFACTS_DIR));
    EXPECT_TRUE(strip.save(QStringLiteral(TAMBER_ARTIFACTS_DIR "/rooms-reset-frames.png")));
    rowOf(1)->popover()->close();
}

// The panel's room list with a popover open, and the expanded footer, on panel-sized tiles.
TEST_F(RoomViews, DrawsTheListWithItsPopoverAndTheExpandedFooter) {
    start({{1, 2}}, 3);
    QDir().mkpath(QStringLiteral(TAMBER_ARTIFACTS_DIR));
    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        const QString suffix = scheme == Scheme::Dark ? u"dark"_s : u"light"_s;
        QWidget panel;
        panel.setPalette(Ink::palette(scheme));
        panel.setAutoFillBackground(true);
        panel.resize(320, 260);
        auto* column = new QVBoxLayout(&panel);
        column->setContentsMargins(12, 12, 12, 12);
        env.household = household.get();
        env.focus = &focus;
        env.settings = &settings;
        auto* rooms = new RoomList(groupOf(1), env, [](const SpeakerGroup&, QWidget* parent) {
            auto* menu = new QWidget(parent);
            menu->setFixedSize(16, 16);
            return menu;
        });
        column->addWidget(rooms);
        panel.show();
        RoomRow* row = rooms->row(uuid(1));
        row->openSound();
        RoomSoundView* sound = row->soundView();
        sound->setPalette(Ink::palette(scheme));
        ASSERT_TRUE(test::waitUntil([&] { return sound->state() == RoomSoundView::State::loaded; }));
        sound->setBass(3);
        row->popover()->adjustSize();
        QTest::qWait(0); // lets the layouts take the new texts

        const double ratio = 2;
        const int popoverHeight = row->popover()->height();
        QImage image(QSize(320, 260 + popoverHeight) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Ink::palette(scheme).color(QPalette::Window));
        QPainter painter(&image);
        panel.render(&painter, QPoint(0, popoverHeight));
        sound->render(&painter, QPoint(20, 0));
        painter.end();
        EXPECT_TRUE(image.save(QStringLiteral(TAMBER_ARTIFACTS_DIR "/rooms-list-") + suffix + u".png"_s));
        row->popover()->close();
        QTest::qWait(0);

        focus.setShortcutsOpen(true);
        focus.setHintsOpen(true);
        focus.setOnFooter(true);
        focus.setFooterRow(2);
        QWidget tile;
        tile.setPalette(Ink::palette(scheme));
        tile.setAutoFillBackground(true);
        auto* footerColumn = new QVBoxLayout(&tile);
        footerColumn->setContentsMargins(12, 10, 12, 10);
        footerColumn->addWidget(new KeyboardFooter(env));
        tile.resize(320, tile.sizeHint().height());
        tile.show();
        QImage footer(tile.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        footer.setDevicePixelRatio(ratio);
        footer.fill(Qt::transparent);
        tile.render(&footer);
        EXPECT_TRUE(footer.save(QStringLiteral(TAMBER_ARTIFACTS_DIR "/rooms-footer-") + suffix + u".png"_s));
        focus.setShortcutsOpen(false);
        focus.setOnFooter(false);
    }
}

} // namespace
