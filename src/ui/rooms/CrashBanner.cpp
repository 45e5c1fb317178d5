#include "ui/rooms/CrashBanner.h"

#include "core/Texts.h"
#include "ui/rooms/TextButton.h"

#include <QHBoxLayout>

CrashBanner::CrashBanner(std::function<void()> onSend, std::function<void()> onDismiss, QWidget* parent)
    : BannerFrame(L(QStringLiteral("Tamber ist abgestürzt.")), std::move(onDismiss), parent) {
    auto* send = new TextButton(L(QStringLiteral("Bericht senden")), TextStyle::Caption, this);
    send->setObjectName(QStringLiteral("send"));
    send->setHover({.tooltip = std::nullopt,
                    .alignment = Qt::AlignHCenter,
                    .padding = 0,
                    .shape = HoverShape::Capsule,
                    .rest = InkLevel::Primary,
                    .chrome = false,
                    .enabled = true,
                    .above = false});
    connect(send, &QAbstractButton::clicked, this, [onSend = std::move(onSend)] {
        if (onSend)
            onSend();
    });
    controls()->addWidget(send, 0, Qt::AlignTop);
}
