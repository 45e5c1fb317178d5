// The route button against a fake `pactl` on PATH: the menu lists the outputs with the default
// checked, choosing one makes it the default, PanelState::pickerOpen follows the menu; without
// `pactl` the button is an icon only.
#include "platform/AudioOutputs.h"
#include "ui/kit/PanelState.h"
#include "ui/kit/RouteButton.h"

#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const char* sinks = R"(Sink #47
	State: SUSPENDED
	Name: alsa_output.pci-0000_00_1f.3.analog-stereo
	Description: Built-in Audio Analog Stereo
	Driver: PipeWire
	Properties:
		device.description = "Built-in Audio"
Sink #52
	State: RUNNING
	Name: raop_sink.Kitchen.local
	Description: Kitchen (AirPlay)
)";

class FakePactl {
public:
    FakePactl() {
        oldPath_ = qgetenv("PATH");
        const QString script = QStringLiteral(R"(#!/bin/sh
echo "$@" >> '%1/log'
case "$1" in
  list) cat '%1/sinks' ;;
  get-default-sink) cat '%1/default' ;;
  set-default-sink) printf '%s\n' "$2" > '%1/default' ;;
  *) exit 1 ;;
esac
)")
                                   .arg(dir_.path());
        write(QStringLiteral("pactl"), script);
        QFile::setPermissions(dir_.filePath(QStringLiteral("pactl")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        write(QStringLiteral("sinks"), QString::fromUtf8(sinks));
        write(QStringLiteral("default"), QStringLiteral("raop_sink.Kitchen.local\n"));
        qputenv("PATH", dir_.path().toLocal8Bit() + ":/usr/bin:/bin");
    }
    ~FakePactl() { qputenv("PATH", oldPath_); }
    void write(const QString& name, const QString& text) {
        QFile file(dir_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    QString read(const QString& name) {
        QFile file(dir_.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

TEST(AudioOutputs, ParsesSinksAndSkipsNamelessOnes) {
    const auto outputs =
        AudioOutputs::parseSinks(QString::fromUtf8(sinks) + QStringLiteral("Sink #9\n\tState: IDLE\n"));
    ASSERT_EQ(outputs.size(), 2);
    EXPECT_EQ(outputs[0].name, QStringLiteral("alsa_output.pci-0000_00_1f.3.analog-stereo"));
    EXPECT_EQ(outputs[0].description, QStringLiteral("Built-in Audio Analog Stereo"));
    EXPECT_EQ(outputs[1].description, QStringLiteral("Kitchen (AirPlay)"));
}

TEST(RouteButton, MenuMarksTheDefaultAndChoosingMakesItTheDefault) {
    FakePactl pactl;
    QWidget root;
    RouteButton button(&root);
    root.show();
    QSignalSpy shown(&button, &RouteButton::menuShown);
    QSignalSpy chosen(&button, &RouteButton::routeChosen);
    ASSERT_FALSE(PanelState::pickerOpen());
    button.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, 10000));
    ASSERT_NE(button.menu(), nullptr);
    EXPECT_TRUE(PanelState::pickerOpen());
    const auto actions = button.menu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Built-in Audio Analog Stereo"));
    EXPECT_FALSE(actions[0]->isChecked());
    EXPECT_TRUE(actions[1]->isChecked());
    button.click(); // a second click while the menu shows opens no second menu
    QTest::qWait(20);
    EXPECT_EQ(shown.size(), 1);

    actions[0]->trigger();
    button.menu()->close();
    EXPECT_FALSE(PanelState::pickerOpen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return chosen.size() == 1; }, 10000));
    EXPECT_EQ(chosen.at(0).at(0).toString(), QStringLiteral("alsa_output.pci-0000_00_1f.3.analog-stereo"));
    EXPECT_EQ(pactl.read(QStringLiteral("default")).trimmed(),
              QStringLiteral("alsa_output.pci-0000_00_1f.3.analog-stereo"));
    EXPECT_TRUE(pactl.read(QStringLiteral("log")).contains(QStringLiteral("set-default-sink alsa_output")));
}

TEST(RouteButton, WithoutPactlOnlyTheIconShows) {
    QTemporaryDir empty;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    QWidget root;
    RouteButton button(&root);
    root.show();
    QSignalSpy shown(&button, &RouteButton::menuShown);
    EXPECT_FALSE(AudioOutputs::available());
    button.click();
    QTest::qWait(50);
    EXPECT_EQ(shown.size(), 0);
    EXPECT_FALSE(PanelState::pickerOpen());
    EXPECT_EQ(button.sizeHint(), QSize(16, 16));
    qputenv("PATH", oldPath);
}

TEST(RouteButton, FailingPactlOpensNoMenu) {
    FakePactl pactl;
    pactl.write(QStringLiteral("pactl"), QStringLiteral("#!/bin/sh\nexit 1\n"));
    QWidget root;
    RouteButton button(&root);
    root.show();
    QSignalSpy shown(&button, &RouteButton::menuShown);
    AudioOutputs outputs;
    bool answered = false;
    outputs.list([&](const QList<AudioOutput>& list) {
        answered = true;
        EXPECT_TRUE(list.isEmpty());
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 10000));
    button.click();
    QTest::qWait(100);
    EXPECT_EQ(shown.size(), 0);
}

} // namespace
