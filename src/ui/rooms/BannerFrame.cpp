#include "ui/rooms/BannerFrame.h"

#include "ui/kit/Ink.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/InkLabel.h"

#include <QHBoxLayout>
#include <QPainter>

namespace {

// The warning symbol, painted at the text's first line.
class WarningMark : public QWidget {
public:
    explicit WarningMark(QWidget* parent) : QWidget(parent) { setFixedSize(12, 12); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Symbols::paint(painter, QRectF(rect()), QStringLiteral("exclamationmark.circle"),
                       Ink::primary(Ink::scheme(this), 0.75));
    }
};

} // namespace

BannerFrame::BannerFrame(const QString& text, std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(8);
    layout->addWidget(new WarningMark(this), 0, Qt::AlignTop);
    label_ = new InkLabel(text, TextStyle::Caption, 0.9, this);
    label_->setObjectName(QStringLiteral("message"));
    label_->setWordWrap(true);
    layout->addWidget(label_, 1, Qt::AlignTop);
    controls_ = new QHBoxLayout;
    controls_->setSpacing(8);
    layout->addLayout(controls_);
    auto* dismiss = new SymbolButton(QStringLiteral("xmark"), QSizeF(9, 9), this);
    dismiss->setObjectName(QStringLiteral("dismiss"));
    dismiss->setHover({.tooltip = std::nullopt,
                       .alignment = Qt::AlignHCenter,
                       .padding = 4,
                       .shape = HoverShape::Circle,
                       .rest = InkLevel::Secondary,
                       .chrome = true,
                       .enabled = true,
                       .above = false});
    connect(dismiss, &QAbstractButton::clicked, this, [onDismiss = std::move(onDismiss)] {
        if (onDismiss)
            onDismiss();
    });
    layout->addWidget(dismiss, 0, Qt::AlignTop);
}

void BannerFrame::paintEvent(QPaintEvent*) {
    Ink::fillRounded(this, 0.08, 10);
}

QString BannerFrame::text() const {
    return label_->text();
}

void BannerFrame::setText(const QString& text) {
    label_->setText(text);
}
