#include "app/TrayItem.h"

#include "core/Log.h"
#include "ui/kit/BundleIcon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

// One of the program's template icons as a tray icon, drawn in the text colour of the desktop's
// scheme (the tray sits on the desktop's own panel); a null icon when it is not there.
QIcon bundleIcon(const QString& name) {
    const QColor ink = QGuiApplication::palette().color(QPalette::WindowText);
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        if (!BundleIcon::paint(painter, QRectF(0, 0, side, side), name, ink))
            return QIcon();
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The speaker symbol: the desktop theme's, or a drawn one where the theme has none.
QIcon speakerSymbol() {
    for (const char* name : {"audio-speakers-symbolic", "audio-speakers", "audio-volume-high"}) {
        const QIcon themed = QIcon::fromTheme(QString::fromLatin1(name));
        if (!themed.isNull())
            return themed;
    }
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe8, 0xe8, 0xe8));
    painter.drawRoundedRect(QRectF(14, 4, 36, 56), 8, 8);
    painter.setBrush(QColor(0x30, 0x30, 0x30));
    painter.drawEllipse(QPointF(32, 40), 11, 11);
    painter.drawEllipse(QPointF(32, 17), 5, 5);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

TrayItem::TrayItem(QObject* parent) : QObject(parent), icon_(new QSystemTrayIcon(this)) {
    icon_->setToolTip(QStringLiteral("Tamber"));
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A quick second click arrives as a double click: it is a click all the same.
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
            return;
        lastClick_ = QCursor::pos();
        emit clicked();
    });
    setPlaying(false);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        qCInfo(logApp) << "No system tray yet; the panel opens by hot key or tamber://open";
    icon_->show();
}

TrayItem::~TrayItem() = default;

QIcon TrayItem::menuBarIcon(bool playing) {
    const QIcon bundled = bundleIcon(playing ? QStringLiteral("menubar") : QStringLiteral("menubar-idle"));
    return bundled.isNull() ? speakerSymbol() : bundled;
}

void TrayItem::setPlaying(bool playing) {
    if (playing_ == playing)
        return;
    playing_ = playing;
    ++iconChanges_;
    icon_->setIcon(menuBarIcon(playing));
}

QRect TrayItem::geometry() const {
    return icon_->geometry();
}
