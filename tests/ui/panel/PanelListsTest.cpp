// The panel's lists and menus over a household on the loopback speakers: the favourites list and
// the group it starts a favourite on, the music-app pills from private desktop entries, the
// room-preset menu and the group switcher.
#include "core/Texts.h"
#include "household/GroupingFixture.h"
#include "platform/DesktopEntries.h"
#include "support/FakeSpeaker.h"
#include "support/SimFavorites.h"
#include "support/XdgDataFolders.h"
#include "ui/kit/Ink.h"
#include "ui/kit/ManualAnimationDriver.h"
#include "ui/kit/PressableButton.h"
#include "ui/panel/FavoritesList.h"
#include "ui/panel/GroupSwitcher.h"
#include "ui/panel/MusicAppShortcuts.h"
#include "ui/panel/NowPlaying.h"
#include "ui/panel/OpenSource.h"
#include "ui/panel/PresetMenu.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using grouping::host;
using grouping::uuid;

sim::FakeFavorite radio(int n) {
    return {u"Sender %1"_s.arg(n), u"x-sonosapi-stream:s%1?sid=254"_s.arg(n), QString(), QString()};
}

// The texts of a menu's entries, "---" for a separator, "[x] " before a checked entry, "(off) "
// before a disabled one and "> " before a submenu's title.
QStringList entries(const QMenu& menu) {
    QStringList out;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            out.append(u"---"_s);
            continue;
        }
        QString line = action->text();
        if (action->menu())
            line = u"> "_s + line;
        if (action->isChecked())
            line = u"[x] "_s + line;
        if (!action->isEnabled())
            line = u"(off) "_s + line;
        out.append(line);
    }
    return out;
}

QAction* entry(const QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    ADD_FAILURE() << "no entry " << text.toStdString();
    return nullptr;
}

// Draws a widget on a panel-coloured ground at ratio 2 into build/artifacts/<name>.png.
void draw(QWidget& widget, const QString& name, Scheme scheme) {
    QDir().mkpath(QStringLiteral(TAMBER_ARTIFACTS_DIR));
    const double ratio = 2;
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Ink::palette(scheme).color(QPalette::Window));
    QPainter painter(&image);
    widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    const QString suffix = scheme == Scheme::Dark ? u"-dark"_s : u"-light"_s;
    EXPECT_TRUE(image.save(QStringLiteral(TAMBER_ARTIFACTS_DIR "/") + name + suffix + u".png"_s));
}

class PanelLists : public grouping::GroupingLive {
protected:
    // The speakers with `favorites` on them, and a household that has loaded those.
    Household& startWithFavorites(int favorites) {
        Household& h = start({{1, 2}}, 3);
        sim::installFavoritesActions(*simulator);
        simulator->update([favorites](sim::FakeHousehold& fake) {
            for (int n = 1; n <= favorites; ++n)
                fake.favorites.append(radio(n));
        });
        test::run(h.loadFavorites());
        simulator->clearRequests();
        return h;
    }
    // The favourite-starting requests, as "<speaker n> <action> <CurrentURI>".
    QStringList starts() const {
        QStringList out;
        for (const sim::SimRequest& request : simulator->requests()) {
            if (request.action != "SetAVTransportURI"_L1 && request.action != "Play"_L1)
                continue;
            QString line;
            for (int n = 1; n <= 9; ++n)
                if (request.host == host(n))
                    line = QString::number(n);
            line += u' ' + request.action;
            for (const auto& [name, value] : request.args)
                if (name == "CurrentURI"_L1)
                    line += u' ' + value;
            out.append(line);
        }
        return out;
    }
    // A group value holding rooms `members`, for presets.
    SpeakerGroup rooms(const QList<int>& members) const {
        SpeakerGroup group;
        group.id = u"G"_s;
        for (int n : members)
            group.rooms.append(roomOf(n));
        group.coordinatorID = group.rooms.first().id;
        return group;
    }
    QString presetName(const QList<int>& members) const {
        return household->name(*household->preset(rooms(members)));
    }
};

TEST_F(PanelLists, FavouritesListTheFirstFourInOrderAndFollowTheHousehold) {
    Household& h = startWithFavorites(6);
    FavoritesList list(groupOf(1), &h);
    QStringList names;
    for (QAbstractButton* row : list.rows())
        names.append(row->accessibleName());
    const QString play = L(u"Abspielen"_s) + u": "_s;
    EXPECT_EQ(names, (QStringList{play + u"Sender 1"_s, play + u"Sender 2"_s, play + u"Sender 3"_s,
                                  play + u"Sender 4"_s}));

    simulator->update([](sim::FakeHousehold& fake) { fake.favorites = {radio(7), radio(8)}; });
    Clock::advance(61s);
    test::run(h.loadFavorites());
    ASSERT_EQ(list.rows().size(), 2);
    EXPECT_EQ(list.rows()[1]->text(), u"Sender 8"_s);

    simulator->update([](sim::FakeHousehold& fake) { fake.favorites.clear(); });
    Clock::advance(61s);
    test::run(h.loadFavorites());
    EXPECT_TRUE(list.rows().isEmpty());
    // Only the heading is left.
    ASSERT_EQ(list.layout()->count(), 1);
    EXPECT_EQ(qobject_cast<QLabel*>(list.layout()->itemAt(0)->widget())->text(), L(u"Favoriten"_s));
}

// A click starts the favourite on the list's group, even when another group is the active one,
// and on the group the tile has moved on to since the row was made.
TEST_F(PanelLists, FavouriteRowsStartTheirFavouriteOnTheListsCurrentGroup) {
    Household& h = startWithFavorites(3);
    h.selectGroup(groupOf(3));
    FavoritesList list(groupOf(1), &h);
    list.rows()[1]->click();
    ASSERT_TRUE(test::waitUntil([&] { return starts().size() == 2; }));
    EXPECT_EQ(starts(), (QStringList{u"1 SetAVTransportURI "_s + radio(2).uri, u"1 Play"_s}));

    simulator->clearRequests();
    list.setGroup(groupOf(3));
    list.rows()[0]->click();
    ASSERT_TRUE(test::waitUntil([&] { return starts().size() == 2; }));
    EXPECT_EQ(starts(), (QStringList{u"3 SetAVTransportURI "_s + radio(1).uri, u"3 Play"_s}));
}

TEST_F(PanelLists, FavouriteRowCutsALongTitleAndShowsItsGlyphOnlyUnderThePointer) {
    Household& h = startWithFavorites(0);
    ManualAnimationDriver driver;
    simulator->update([](sim::FakeHousehold& fake) {
        fake.favorites = {{u"Ein sehr langer Titel, der nicht in die Zeile passt, nicht einmal annähernd"_s,
                           u"x-sonosapi-stream:s1"_s, QString(), QString()},
                          radio(2)};
    });
    Clock::advance(61s);
    test::run(h.loadFavorites());
    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        QWidget panel;
        panel.setPalette(Ink::palette(scheme));
        auto* column = new QVBoxLayout(&panel);
        column->setContentsMargins(8, 8, 8, 8);
        auto* list = new FavoritesList(groupOf(1), &h);
        column->addWidget(list);
        panel.resize(260, panel.sizeHint().height());
        panel.show();
        QApplication::processEvents();
        auto* row = qobject_cast<PressableButton*>(list->rows()[0]);
        ASSERT_TRUE(row);
        // The row stays within the list (its capsule reaching the list's edges) however long its title.
        EXPECT_EQ(row->width(), list->width());
        EXPECT_EQ(row->height(), 32);
        row->hover()->setHovering(true);
        driver.settle();
        driver.advance(250ms);
        EXPECT_DOUBLE_EQ(row->hover()->progress(), 1.0);
        draw(panel, u"panel-favorites"_s, scheme);
        row->hover()->setHovering(false);
        driver.settle();
        driver.advance(250ms);
        EXPECT_DOUBLE_EQ(row->hover()->progress(), 0.0);
    }
}

// In the idle tile the rows' capsules reach 4 points beyond the column into the tile's padding,
// with their covers in line with the tile's cover.
TEST_F(PanelLists, DrawsTheIdleTileWithItsFavourites) {
    Household& h = startWithFavorites(3);
    PanelEnvironment environment;
    environment.household = &h;
    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        QWidget panel;
        panel.setPalette(Ink::palette(scheme));
        auto* column = new QVBoxLayout(&panel);
        column->setContentsMargins(8, 8, 8, 8);
        auto* tile = new NowPlaying(groupOf(1), environment);
        column->addWidget(tile);
        panel.resize(360, panel.sizeHint().height());
        panel.show();
        QApplication::processEvents();
        ASSERT_TRUE(NowPlaying::idle(tile->group()));
        auto* list = tile->findChild<FavoritesList*>();
        ASSERT_TRUE(list);
        ASSERT_EQ(list->rows().size(), 3);
        const int left = tile->cover()->mapTo(tile, QPoint()).x();
        QAbstractButton* row = list->rows()[0];
        EXPECT_EQ(row->mapTo(tile, QPoint()).x(), left - 4);
        EXPECT_EQ(row->mapTo(tile, QPoint(row->width(), 0)).x(), tile->width() - left + 4);
        draw(panel, u"panel-idle-tile"_s, scheme);
    }
}

// The tile keeps its favourites list when it moves on to another group; the list moves with it.
TEST_F(PanelLists, TheTilesFavouritesFollowItToAnotherGroup) {
    Household& h = startWithFavorites(2);
    PanelEnvironment environment;
    environment.household = &h;
    NowPlaying tile(groupOf(1), environment);
    auto* list = tile.findChild<FavoritesList*>();
    ASSERT_TRUE(list);
    tile.setGroup(groupOf(3));
    EXPECT_EQ(tile.findChild<FavoritesList*>(), list);
    list->rows()[0]->click();
    ASSERT_TRUE(test::waitUntil([&] { return starts().size() == 2; }));
    EXPECT_EQ(starts(), (QStringList{u"3 SetAVTransportURI "_s + radio(1).uri, u"3 Play"_s}));
}

// Pills from desktop entries in private data folders: the installed apps in the table's order,
// sharing the row, each starting its entry's program with the entry's words.
TEST_F(PanelLists, MusicAppPillsShareTheRowAndStartTheirEntry) {
    test::XdgDataFolders folders;
    ASSERT_TRUE(folders.valid());
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(QColor(30, 215, 96));
    const QString iconPath = folders.path(u"spotify.png"_s);
    ASSERT_TRUE(icon.save(iconPath));
    folders.write(folders.system(1), u"com.spotify.Client.desktop"_s,
                  "[Desktop Entry]\nType=Application\nIcon=" + iconPath.toUtf8() +
                      "\nExec=/usr/bin/flatpak run --command=spotify com.spotify.Client @@u %U @@\n");
    folders.write(folders.home(), u"music.desktop"_s, test::XdgDataFolders::entry("music-player --x"));
    folders.write(folders.home(), u"broken.desktop"_s, "[Desktop Entry]\nType=Application\nExec=\"oops\n");

    QList<QPair<QString, QStringList>> started;
    DesktopEntries entries({}, [&](const QString& program, const QStringList& arguments) {
        started.append({program, arguments});
        return true;
    });
    const QList<MusicAppShortcuts::Candidate> table{
        {u"Sonos"_s, {u"broken.desktop"_s}},
        {u"Spotify"_s, {u"spotify.desktop"_s, u"com.spotify.Client.desktop"_s}},
        {u"Musik"_s, {u"music.desktop"_s}},
    };
    const QList<MusicApp> apps = MusicAppShortcuts::lookUp(entries, table);
    ASSERT_EQ(apps.size(), 2);
    EXPECT_EQ(apps[0].name, u"Spotify"_s);
    EXPECT_FALSE(apps[0].icon.isNull());
    EXPECT_EQ(apps[1].name, u"Musik"_s);
    // The program's own table finds the Flatpak entry of Spotify, and nothing else.
    const QList<MusicApp> real = MusicAppShortcuts::lookUp(entries, MusicAppShortcuts::candidates());
    ASSERT_EQ(real.size(), 1);
    EXPECT_EQ(real[0].name, u"Spotify"_s);

    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        QWidget panel;
        panel.setPalette(Ink::palette(scheme));
        auto* column = new QVBoxLayout(&panel);
        column->setContentsMargins(0, 0, 0, 0);
        auto* row = new MusicAppShortcuts(apps, &entries);
        column->addWidget(row);
        panel.resize(300, panel.sizeHint().height());
        panel.show();
        QApplication::processEvents();
        const QList<QAbstractButton*> pills = row->pills();
        ASSERT_EQ(pills.size(), 2);
        EXPECT_EQ(pills[0]->accessibleName(), u"Spotify"_s);
        EXPECT_EQ(pills[0]->width(), (300 - 6) / 2);
        EXPECT_EQ(pills[1]->width(), (300 - 6) / 2);
        EXPECT_EQ(pills[1]->x(), (300 - 6) / 2 + 6);
        draw(panel, u"panel-music-apps"_s, scheme);
    }
    QWidget panel;
    auto* row = new MusicAppShortcuts(apps, &entries, &panel);
    row->pills()[0]->click();
    row->pills()[1]->click();
    EXPECT_EQ(started, (QList<QPair<QString, QStringList>>{
                           {u"/usr/bin/flatpak"_s,
                            {u"run"_s, u"--command=spotify"_s, u"com.spotify.Client"_s, u"@@u"_s, u"@@"_s}},
                           {u"music-player"_s, {u"--x"_s}}}));

    // Without an installed app the row holds no pill and takes no height.
    MusicAppShortcuts empty(QList<MusicApp>{}, &entries);
    EXPECT_TRUE(empty.pills().isEmpty());
    EXPECT_EQ(empty.sizeHint().height(), 0);
}

TEST_F(PanelLists, PresetMenuWithoutPresetsOffersOnlySaving) {
    start({{1, 2}}, 3);
    PresetMenu button(groupOf(1), household.get());
    std::unique_ptr<QMenu> menu(button.makeMenu(nullptr));
    EXPECT_EQ(entries(*menu), QStringList{L(u"Aktuelle Räume sichern"_s)});
    entry(*menu, L(u"Aktuelle Räume sichern"_s))->trigger();
    ASSERT_EQ(household->presets().size(), 1);
    EXPECT_EQ(household->preset(groupOf(1))->roomIDs.size(), 2);
}

// Three presets, the second holding exactly the group's rooms: numbered, the second checked, a
// disabled save, and the delete submenu; deleting the checked one frees saving again.
TEST_F(PanelLists, PresetMenuNumbersChecksAndDeletes) {
    start({{1, 2}}, 4);
    household->savePreset(rooms({3}));
    household->savePreset(rooms({1, 2}));
    household->savePreset(rooms({2, 3}));
    PresetMenu button(groupOf(1), household.get());
    std::unique_ptr<QMenu> menu(button.makeMenu(nullptr));
    const QString a = presetName({3}), b = presetName({1, 2}), c = presetName({2, 3});
    EXPECT_EQ(entries(*menu),
              (QStringList{u"1  "_s + a, u"[x] 2  "_s + b, u"3  "_s + c, u"---"_s,
                           u"(off) "_s + L(u"Aktuelle Räume sichern"_s), u"> "_s + L(u"Löschen"_s)}));
    QMenu* remove = entry(*menu, L(u"Löschen"_s))->menu();
    EXPECT_EQ(entries(*remove), (QStringList{a, b, c}));
    entry(*remove, b)->trigger();
    EXPECT_EQ(household->presets().size(), 2);

    menu.reset(button.makeMenu(nullptr));
    EXPECT_EQ(entries(*menu), (QStringList{u"1  "_s + a, u"2  "_s + c, u"---"_s,
                                           L(u"Aktuelle Räume sichern"_s), u"> "_s + L(u"Löschen"_s)}));

    // The room list hands over its new group: the menu compares and saves that one.
    button.setGroup(groupOf(4));
    menu.reset(button.makeMenu(nullptr));
    entry(*menu, L(u"Aktuelle Räume sichern"_s))->trigger();
    ASSERT_EQ(household->presets().size(), 3);
    EXPECT_EQ(household->presets().last().roomIDs, QStringList{uuid(4)});
}

TEST_F(PanelLists, PresetMenuDisablesSavingAtNinePresets) {
    start({{1, 2}}, 4);
    const QList<QList<int>> sets{{1}, {2}, {3}, {4}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
    for (const QList<int>& members : sets)
        household->savePreset(rooms(members));
    ASSERT_EQ(household->presets().size(), 9);
    PresetMenu button(groupOf(1), household.get());
    std::unique_ptr<QMenu> menu(button.makeMenu(nullptr));
    EXPECT_FALSE(entry(*menu, L(u"Aktuelle Räume sichern"_s))->isEnabled());
    EXPECT_EQ(menu->actions().first()->text(), u"1  "_s + presetName({1}));
    EXPECT_EQ(menu->actions()[8]->text(), u"9  "_s + presetName({3, 4}));
}

// Choosing a preset regroups the speakers: the rooms of the preset are asked to join.
TEST_F(PanelLists, ChoosingAPresetAppliesIt) {
    start({{1, 2}}, 3);
    household->savePreset(rooms({1, 3}));
    PresetMenu button(groupOf(1), household.get());
    std::unique_ptr<QMenu> menu(button.makeMenu(nullptr));
    menu->actions().first()->trigger();
    ASSERT_TRUE(test::waitUntil([&] { return !membershipRequests().isEmpty(); }));
    EXPECT_TRUE(membershipRequests().first().startsWith(u"3 SetAVTransportURI"_s) ||
                membershipRequests().first().startsWith(u"2 BecomeCoordinatorOfStandaloneGroup"_s))
        << membershipRequests().join(u'\n').toStdString();
    // The rest of the regrouping runs on the test's clock.
    for (int i = 0; i < 10 && household->applyingPreset(); ++i) {
        Clock::advance(1s);
        QCoreApplication::processEvents();
    }
}

TEST_F(PanelLists, GroupSwitcherListsGroupsAndMakesTheChoiceTheUsersPick) {
    start({{1, 2}}, 4);
    QList<SpeakerGroup> groups = household->groups();
    ASSERT_EQ(groups.size(), 3);
    // The shown group plays, the second plays too, the third is transitioning.
    groups[0].state = u"PLAYING"_s;
    groups[1].state = u"PLAYING"_s;
    groups[2].state = u"TRANSITIONING"_s;
    probe().setGroups(groups);
    probe().pickedByUser() = false;

    QWidget host;
    GroupSwitcher switcher(groups[0], household.get(), &host);
    EXPECT_FALSE(switcher.isHidden());
    std::unique_ptr<QMenu> menu(switcher.makeMenu(nullptr));
    const QString playing = u" \u2013 "_s + L(u"spielt"_s);
    const auto name = [&](int i) { return household->displayName(groups[i]); };
    EXPECT_EQ(entries(*menu), (QStringList{u"[x] "_s + name(0), name(1) + playing, name(2) + playing}));

    groups[1].state = u"PAUSED_PLAYBACK"_s;
    probe().setGroups(groups);
    menu.reset(switcher.makeMenu(nullptr));
    EXPECT_EQ(entries(*menu), (QStringList{u"[x] "_s + name(0), name(1), name(2) + playing}));

    menu->actions()[1]->trigger();
    EXPECT_EQ(household->activeCoordinator(), groups[1].coordinatorID);
    EXPECT_TRUE(probe().pickedByUser());

    // Choosing the shown group again still marks the pick as the user's.
    probe().pickedByUser() = false;
    switcher.setActive(groups[1]);
    menu.reset(switcher.makeMenu(nullptr));
    EXPECT_TRUE(menu->actions()[1]->isChecked());
    menu->actions()[1]->trigger();
    EXPECT_EQ(household->activeCoordinator(), groups[1].coordinatorID);
    EXPECT_TRUE(probe().pickedByUser());
    // The choice is the panel's own: nothing went to the speakers.
    EXPECT_TRUE(simulator->requests().isEmpty());
}

TEST_F(PanelLists, GroupSwitcherShowsOnlyWithTwoGroupsOrMore) {
    start({{1, 2}}, 2);
    ASSERT_EQ(household->groups().size(), 1);
    QWidget host;
    GroupSwitcher switcher(groupOf(1), household.get(), &host);
    EXPECT_TRUE(switcher.isHidden());
    QList<SpeakerGroup> groups = household->groups();
    SpeakerGroup second = groups[0];
    second.id = u"G2"_s;
    second.rooms = {second.rooms[1]};
    second.coordinatorID = second.rooms[0].id;
    groups[0].rooms = {groups[0].rooms[0]};
    probe().setGroups({groups[0], second});
    EXPECT_FALSE(switcher.isHidden());
    probe().setGroups({groups[0]});
    EXPECT_TRUE(switcher.isHidden());
}

// The buttons and their open menus, for people to look at.
TEST_F(PanelLists, DrawsTheMenuButtonsAndMenus) {
    start({{1, 2}}, 4);
    household->savePreset(rooms({3}));
    household->savePreset(rooms({1, 2}));
    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        QWidget panel;
        panel.setPalette(Ink::palette(scheme));
        auto* row = new QHBoxLayout(&panel);
        row->setContentsMargins(8, 8, 8, 8);
        auto* switcher = new GroupSwitcher(groupOf(1), household.get(), &panel);
        auto* presets = new PresetMenu(groupOf(1), household.get(), &panel);
        row->addWidget(switcher);
        row->addStretch(1);
        row->addWidget(presets);
        panel.resize(200, panel.sizeHint().height());
        panel.show();
        QApplication::processEvents();
        EXPECT_FALSE(switcher->isHidden());
        draw(panel, u"panel-menu-buttons"_s, scheme);

        const QList<QPair<QMenu*, QString>> menus{{presets->makeMenu(&panel), u"panel-preset-menu"_s},
                                                  {switcher->makeMenu(&panel), u"panel-group-menu"_s}};
        for (const auto& [menu, name] : menus) {
            menu->setPalette(Ink::palette(scheme));
            menu->resize(menu->sizeHint());
            draw(*menu, name, scheme);
            delete menu;
        }
    }
}

} // namespace
