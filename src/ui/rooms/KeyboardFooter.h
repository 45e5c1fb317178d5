#pragma once

#include "core/Clock.h"
#include "ui/rooms/FooterRow.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QEvent>
#include <QWidget>

#include <optional>

class BundleIcon;
class FooterRowFrame;
class HUDPreview;
class KeyCap;
class MiniSwitch;
class QLabel;
class StatusDot;
class SymbolButton;

// The keyboard footer: a "more" pill while collapsed; expanded, the key hints and the hot key,
// volume keys, login and system health rows, each reachable with the panel's keyboard map.
class KeyboardFooter : public QWidget {
    Q_OBJECT
public:
    explicit KeyboardFooter(const RoomsEnvironment& environment, QWidget* parent = nullptr);

    // Whether the keyboard focus sits on `row` of the expanded footer; with no row, whether it
    // sits on the close button.
    bool keyed(std::optional<FooterRow> row) const;
    bool expanded() const;
    double cornerRadius() const;
    double backgroundFill() const;
    bool accessibilityNoticeShown() const;
    // The volume display's preview, shown after the pointer stayed on the volume keys row.
    bool volumePreview() const { return volumePreview_; }

    FooterRowFrame* rowFrame(FooterRow row) const;
    QWidget* closeButton() const;
    bool hintsShown() const;

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
    void volumeBlockHover(QObject* watched, QEvent::Type type);
    void setVolumePreview(bool shown);
    QWidget* buildHints();

    RoomsEnvironment environment_;
    bool hovering_ = false;
    bool volumePreview_ = false;
    HUDPreview* preview_ = nullptr;
    Debounce previewDelay_{this};
    bool trusted_ = false;
    Debounce trustPoll_{this};

    BundleIcon* more_ = nullptr;
    QWidget* panel_ = nullptr;
    SymbolButton* close_ = nullptr;
    QWidget* hints_ = nullptr;
    QWidget* chevron_ = nullptr;
    FooterRowFrame* rows_[5] = {};
    KeyCap* hotKeyCap_ = nullptr;
    MiniSwitch* volumeKeys_ = nullptr;
    QWidget* notice_ = nullptr;
    MiniSwitch* login_ = nullptr;
    StatusDot* healthDot_ = nullptr;
};
