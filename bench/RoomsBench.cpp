// The room list with 32 rooms: updating it after a volume change (goal: under 1 ms with every
// row kept) and painting the list with its footer at ratio 2.
#include "household/Household.h"
#include "support/FakeFooterSettings.h"
#include "support/HouseholdProbe.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/rooms/KeyboardFooter.h"
#include "ui/rooms/RoomList.h"
#include "ui/rooms/RoomRow.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

namespace {

constexpr int roomCount = 32;

// Half the rooms in one group, the rest playing alone.
QList<SpeakerGroup> demoGroups() {
    QList<SpeakerGroup> groups;
    SpeakerGroup big;
    big.id = QStringLiteral("G:1");
    for (int n = 0; n < roomCount; ++n) {
        Room room{QStringLiteral("R%1").arg(n), QStringLiteral("Raum %1").arg(n),
                  QStringLiteral("127.0.0.%1").arg(n + 2), 20 + n, false};
        if (n < roomCount / 2) {
            big.rooms.append(room);
        } else {
            SpeakerGroup alone;
            alone.id = room.id + QStringLiteral(":1");
            alone.coordinatorID = room.id;
            alone.rooms = {room};
            groups.append(alone);
        }
    }
    big.coordinatorID = big.rooms.first().id;
    groups.prepend(big);
    return groups;
}

struct Panel {
    TempSettings settings;
    Household household{*settings, demoGroups(), {}};
    KeyboardFocus focus;
    test::FakeFooterSettings footerSettings;
    RoomsEnvironment env{.household = &household,
                         .focus = &focus,
                         .presence = nullptr,
                         .health = nullptr,
                         .support = nullptr,
                         .settings = &footerSettings,
                         .openNetworkSettings = {}};
    QWidget root;
    RoomList* list = nullptr;

    Panel() {
        root.setPalette(Ink::palette(Scheme::Dark));
        auto* column = new QVBoxLayout(&root);
        list = new RoomList(household.groups().first(), env,
                            [](const SpeakerGroup&, QWidget* parent) { return new QWidget(parent); });
        column->addWidget(list);
        column->addWidget(new KeyboardFooter(env));
        QObject::connect(&household, &Household::groupsChanged, list,
                         [this] { list->setGroup(household.groups().first()); });
        root.resize(320, root.sizeHint().height());
        root.show();
    }
};

void BM_VolumeEvent(benchmark::State& state) {
    Panel panel;
    const QList<RoomRow*> before = panel.list->rows();
    int volume = 0;
    for (auto _ : state) {
        const Room room = panel.household.groups().first().rooms[5];
        panel.household.setVolume(room, volume++ % 100);
    }
    state.counters["rows_rebuilt"] = double(roomCount - [&] {
        int kept = 0;
        for (RoomRow* row : panel.list->rows())
            kept += before.contains(row) ? 1 : 0;
        return kept;
    }());
}

void BM_PaintPanel(benchmark::State& state) {
    Panel panel;
    const double ratio = 2;
    QImage image(panel.root.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        panel.root.render(&painter);
    }
}

} // namespace

BENCHMARK(BM_VolumeEvent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintPanel)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
