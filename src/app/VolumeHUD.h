#pragma once

#include "core/Clock.h"

#include <QRect>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class HUDView;
class QVariantAnimation;

// The on-screen volume display: a small card with the group's artwork and volume bar near the
// bottom of the primary screen, shown for 1.2 s after the last volume key and then faded out
// over 0.25 s. It never takes focus or input and stays above other windows; each show also
// announces the new volume to assistive technology ("Lautstärke 40", or "Stumm").
//
// Created once and reused: a show only changes the card's values, moves the window and
// restarts the hide timer. A show during the fade stops the fade and brings the card back at
// full opacity; the earlier timer then hides nothing.
class VolumeHUD : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds visibleFor{1200};
    static constexpr std::chrono::milliseconds fadeFor{250};
    // The card's lower edge lies this far above the bottom of the screen's free area.
    static constexpr int cardLift = 80;

    explicit VolumeHUD(QWidget* parent = nullptr);
    ~VolumeHUD() override;

    void show(const std::optional<QUrl>& art, int volume, bool muted);

    // Where the window goes for a screen's free area (the area without panels and docks).
    static QPoint placement(const QRect& available, QSize window);
    // The announcement for the values shown.
    static QString announcement(int volume, bool muted);

    HUDView& view() { return *view_; }
    // Opacity as the fade leaves it (1 while fully shown).
    double opacity() const { return opacity_; }
    bool fading() const;

    // How the announcement reaches assistive technology; replaceable for tests.
    std::function<void(const QString&)> announce;
    // The screen's free area; none = no screen (the window keeps its place).
    std::function<std::optional<QRect>()> screenArea;

private:
    void startFade();
    void setOpacity(double opacity);
    void postAlert(const QString& text);

    HUDView* view_;
    QVariantAnimation* fade_;
    Clock::Id hideTask_ = 0;
    double opacity_ = 1;
};
