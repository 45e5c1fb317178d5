#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <optional>

class QSystemTrayIcon;

// The program's icon in the desktop's tray. A click asks for the panel; the icon shows
// whether any group plays. Where the desktop has no tray the item waits for one and the
// program goes on without it.
class TrayItem : public QObject {
    Q_OBJECT
public:
    explicit TrayItem(QObject* parent = nullptr);
    ~TrayItem() override;

    // The icon for the state: the bundle's "menubar" or "menubar-idle" picture, or the speaker
    // symbol when the bundle has none.
    static QIcon menuBarIcon(bool playing);

    // Shows the icon for this state; nothing happens while the state stays the same.
    void setPlaying(bool playing);
    std::optional<bool> playing() const { return playing_; }
    // How often the icon was set; for the tests of the repeat rule.
    int iconChanges() const { return iconChanges_; }

    // The icon's rectangle on the screen; empty while the tray reports none.
    QRect geometry() const;
    // Where the pointer was at the last click on the icon, if there was one.
    std::optional<QPoint> lastClick() const { return lastClick_; }

signals:
    void clicked();

private:
    QSystemTrayIcon* icon_ = nullptr;
    std::optional<bool> playing_;
    int iconChanges_ = 0;
    std::optional<QPoint> lastClick_;
};
