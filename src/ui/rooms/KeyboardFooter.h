#pragma once

#include "ui/kit/EasedFlag.h"
#include "ui/kit/Motion.h"

#include "core/Clock.h"
#include "ui/rooms/FooterRow.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QEvent>
#include <QMargins>
#include <QWidget>

#include <optional>

class BundleIcon;
class DrawnSwitch;
class FooterCloseButton;
class FooterRowFrame;
class HUDPreview;
class KeyCap;
class MiniSwitch;
class QLabel;
class QVariantAnimation;
class SectionReveal;
class StatusDot;

// The keyboard footer: a "more" pill while collapsed; expanded, the key hints and the hot key,
// volume keys, login and system health rows, each reachable with the panel's keyboard map.
class KeyboardFooter : public QWidget {
    Q_OBJECT
public:
    // The room the panel leaves around the footer, drawn and hit as part of it.
    static constexpr QMargins padding{12, 10, 12, 10};

    explicit KeyboardFooter(const RoomsEnvironment& environment, QWidget* parent = nullptr);

    // Whether the keyboard focus sits on `row` of the expanded footer; with no row, whether it
    // sits on the close button.
    bool keyed(std::optional<FooterRow> row) const;
    bool expanded() const;
    double cornerRadius() const;
    double backgroundFill() const;
    // The fill as drawn: hover changes reach backgroundFill() over the hover animation.
    double drawnBackgroundFill() const;
    bool accessibilityNoticeShown() const;
    // The volume display's preview, shown after the pointer stayed on the volume keys row.
    bool volumePreview() const { return volumePreview_; }

    FooterRowFrame* rowFrame(FooterRow row) const;
    QWidget* closeButton() const;
    bool hintsShown() const;
    // The chevron of the "Tastenkürzel" row, in degrees: 90 while the hints are open.
    double chevronAngle() const;
    // The expanded panel's and the collapsed icon's transitions, and those of the sections
    // that come and go inside the panel.
    const SectionReveal& panelReveal() const { return *panelReveal_; }
    const SectionReveal& collapsedReveal() const { return *collapsedReveal_; }
    const SectionReveal& hintsReveal() const { return *hintsReveal_; }
    const SectionReveal& previewReveal() const { return *previewReveal_; }
    const SectionReveal& noticeReveal() const { return *noticeReveal_; }

    // The shortcut of the key map's Command: the panel's keys use Ctrl on Linux.
    static QString commandKeyLabel();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void close();
    void pollTrust();
    void refresh();
    void refreshFrame();
    void refreshSettings();
    void setHovering(bool hovering);
    void paintHover();
    void placeCloseButton();
    QWidget* buildHeader();
    void buildVolumeBlock(QLayout* sections);
    void buildNotice(QLayout* sections);
    void buildLogin(QLayout* sections);
    void volumeBlockHover(QObject* watched, QEvent::Type type);
    void setVolumePreview(bool shown);
    QWidget* buildHints();

    RoomsEnvironment environment_;
    EasedFlag hover_{this, Motion::hover, Motion::hoverCurve(), [this] { paintHover(); }};
    // False while the constructor builds: the first state is shown without transitions.
    bool animated_ = false;
    bool volumePreview_ = false;
    HUDPreview* preview_ = nullptr;
    Debounce previewDelay_{this};
    bool trusted_ = false;
    Debounce trustPoll_{this};

    BundleIcon* more_ = nullptr;
    QWidget* collapsed_ = nullptr;
    QWidget* panel_ = nullptr;
    QWidget* closeSlot_ = nullptr;
    FooterCloseButton* close_ = nullptr;
    QWidget* hints_ = nullptr;
    QWidget* chevron_ = nullptr;
    bool chevronOpen_ = false;
    QVariantAnimation* chevronAnimation_ = nullptr;
    SectionReveal* collapsedReveal_ = nullptr;
    SectionReveal* panelReveal_ = nullptr;
    SectionReveal* hintsReveal_ = nullptr;
    SectionReveal* previewReveal_ = nullptr;
    SectionReveal* noticeReveal_ = nullptr;
    FooterRowFrame* rows_[5] = {};
    KeyCap* hotKeyCap_ = nullptr;
    // The two switches; in render mode drawn pictures take their places and these stay null.
    MiniSwitch* volumeKeys_ = nullptr;
    QWidget* notice_ = nullptr;
    MiniSwitch* login_ = nullptr;
    StatusDot* healthDot_ = nullptr;
};
