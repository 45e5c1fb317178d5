#pragma once

#include "household/SpeakerGroup.h"
#include "ui/kit/Ink.h"
#include "ui/kit/LayerCache.h"
#include "ui/panel/NowPlaying.h"
#include "ui/panel/PanelEnvironment.h"
#include "ui/panel/PlayingWaves.h"
#include "ui/rooms/CrashBanner.h"
#include "ui/rooms/ErrorBanner.h"
#include "ui/rooms/RoomList.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QWidget>

#include <optional>

class PressableButton;
class QGridLayout;
class QLabel;
class QPainter;
class QVariantAnimation;
class QVBoxLayout;
class RefreshLoop;
class StatusDot;
class SymbolButton;
class Tile;

// The root of everything the panel shows, on the panel's rounded surface: a header (name,
// health status, AirPlay, quit), the error and crash banners, and the content: onboarding until
// it is done, the searching tile while no group is known, else the active group's column
// (now-playing tile on the waves, room list, keyboard footer). New content blurs in as the old
// blurs out. It fades with the panel's presence, reports its size for the window to fit, and
// runs the refresh loop. It changes no speaker state of its own.
class PanelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 360;
    static constexpr int padding = 8;
    static constexpr int spacing = 8;
    static constexpr double radius = 28;

    explicit PanelView(const PanelEnvironment& environment, QWidget* parent = nullptr);
    ~PanelView() override;

    // Reads the "onboarded" switch again (the key map sets it on the last onboarding page; the
    // view also re-reads it whenever the keyboard focus changes).
    void updateOnboarded();
    bool onboarded() const { return onboarded_; }

    // The panel's surface behind a rectangle: opaque in render mode, else translucent with an
    // inner border.
    static void paintSurface(QPainter& painter, const QRectF& rect, Scheme scheme, bool opaque);

    // Parts, for tests.
    enum class Content { Onboarding, Searching, Group };
    Content content() const { return content_; }
    NowPlaying* nowPlaying() const { return nowPlaying_; }
    PlayingWaves* waves() const { return waves_; }
    RoomList* roomList() const { return roomList_; }
    QWidget* groupColumn() const { return groupColumn_; }
    ErrorBanner* errorBanner() const { return errorBanner_; }
    CrashBanner* crashBanner() const { return crashBanner_; }
    PressableButton* statusButton() const;
    QWidget* airPlayButton() const { return airPlay_; }
    SymbolButton* quitButton() const { return quit_; }
    QWidget* header() const { return header_; }
    RefreshLoop* refreshLoop() const { return loop_; }
    // The size last reported through sizeChanged.
    QSize reportedSize() const { return reported_; }
    // Reports the current size now (otherwise it is reported once the layout settles).
    void report();

    QSize sizeHint() const override;

signals:
    void sizeChanged(QSize size);
    void quitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class StatusButton;
    void buildHeader();
    void updateStatus();
    void updateBanners();
    void updateErrorBanner();
    void updateCrashBanner();
    void updateContent();
    void updateGroupColumn();
    void updatePresence(bool animated);
    void updatePopover();
    void checkHealthOnChange();
    void swapContent(QWidget* fresh, Content kind, bool animateIn, bool animateOut);
    void scheduleReport();
    void applyScheme();
    void scheduleWarmUp();
    void warmUp();

    PanelEnvironment environment_;
    bool onboarded_ = false;
    std::optional<bool> healthCondition_;
    Content content_ = Content::Onboarding;
    QVBoxLayout* column_;
    QWidget* header_ = nullptr;
    QLabel* name_ = nullptr;
    StatusButton* status_ = nullptr;
    QWidget* airPlay_ = nullptr;
    SymbolButton* quit_ = nullptr;
    QPointer<ErrorBanner> errorBanner_;
    std::optional<QString> errorShown_;
    bool crashDismissed_ = false; // the pending crash is being cleared by the banner's own button
    QPointer<CrashBanner> crashBanner_;
    QWidget* contentArea_;
    QGridLayout* contentGrid_;
    QPointer<QWidget> current_;
    // The inner area of the onboarded content, where the searching tile and the group column swap.
    QPointer<QWidget> main_;
    QGridLayout* mainGrid_ = nullptr;
    QPointer<QWidget> inner_;
    QPointer<QWidget> groupColumn_;
    QPointer<NowPlaying> nowPlaying_;
    QPointer<PlayingWaves> waves_;
    QPointer<RoomList> roomList_;
    // The presence fade; only there while the view is not fully shown. Watched, since the
    // widget owns it and drops it when another effect is set.
    QPointer<QGraphicsOpacityEffect> fade_;
    QVariantAnimation* fadeAnimation_ = nullptr;
    double opacity_ = 0;
    RefreshLoop* loop_;
    QSize reported_;
    bool reportPending_ = false;
    // The surface, drawn once per size, ratio and look: every frame repaints some of it.
    LayerCache surface_;
    bool warmUpPending_ = false;
};
