#include "ui/kit/MutedMark.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/VolumeSlider.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr double symbolSize = 10;
constexpr double trailingInset = 8;
} // namespace

MutedMark::MutedMark(double height, QWidget* parent) : QWidget(parent), height_(height) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void MutedMark::setVolume(int volume) {
    if (volume_ == volume)
        return;
    volume_ = volume;
    update();
}

double MutedMark::fill(int volume, double width, double height) {
    return VolumeSlider::fillWidth(volume, width, height);
}

QRectF MutedMark::markRect(double width, double height) {
    return {width - trailingInset - symbolSize, (height - symbolSize) / 2, symbolSize, symbolSize};
}

void MutedMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double h = std::min(double(height()), height_);
    const QRectF mark = markRect(w, double(height()));
    const Scheme scheme = Ink::scheme(this);
    Symbols::paint(painter, mark, QStringLiteral("exclamationmark.circle"), Ink::primary(scheme, 0.7));
    const double covered = fill(volume_, w, h);
    if (covered <= mark.left())
        return;
    painter.setClipRect(QRectF(0, 0, covered, height()));
    Symbols::paint(painter, mark, QStringLiteral("exclamationmark.circle"), Ink::textBackground(this));
}
