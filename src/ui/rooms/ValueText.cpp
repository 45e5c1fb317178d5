#include "ui/rooms/ValueText.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace {

QFont valueFont() {
    return Type::font(TextStyle::Caption);
}

InkLevel levelOf(int value) {
    return value == 0 ? InkLevel::Tertiary : InkLevel::Secondary;
}

} // namespace

ValueText::ValueText(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString ValueText::format(int value) {
    return value > 0 ? QStringLiteral("+%1").arg(value) : QString::number(value);
}

void ValueText::setValue(int value) {
    if (value_ == value)
        return;
    const std::optional<int> before = value_;
    value_ = value;
    if (!before) { // the first value arrives with the view, not as a change
        update();
        return;
    }
    previous_ = *before;
    Motion::animate(this, rollAnimation_, 0.0, 1.0, Motion::tooltip, Motion::panelCurve(), [this](double p) {
        roll_ = p;
        update();
    });
}

QColor ValueText::ink() const {
    const Scheme scheme = Ink::scheme(this);
    const int now = value_.value_or(0);
    if (roll_ >= 1)
        return Ink::color(levelOf(now), scheme);
    return Ink::mix(Ink::color(levelOf(previous_), scheme), Ink::color(levelOf(now), scheme), roll_);
}

QSize ValueText::sizeHint() const {
    const QFont font = valueFont();
    const double widest = std::max(Type::tabularWidth(font, QStringLiteral("+10")),
                                   Type::tabularWidth(font, QStringLiteral("-10")));
    return {static_cast<int>(std::ceil(widest)), static_cast<int>(std::ceil(QFontMetricsF(font).height()))};
}

void ValueText::paintEvent(QPaintEvent*) {
    if (!value_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(ink());
    const QFont font = valueFont();
    const QRectF box(rect());
    const QString now = format(*value_);
    if (roll_ >= 1) {
        Type::drawTabular(painter, box, Qt::AlignRight, font, now);
        return;
    }
    const QString before = format(previous_);
    const bool sameLength = before.size() == now.size();
    const double travel = 0.6 * box.height() * (*value_ > previous_ ? 1 : -1);
    painter.setClipRect(box);
    // Each string is laid out right-aligned; a character that stayed the same is drawn once, still.
    const auto drawString = [&](const QString& text, bool arriving) {
        const double left = box.right() - Type::tabularWidth(font, text);
        const double fade = arriving ? roll_ : 1 - roll_;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype fromRight = text.size() - 1 - i;
            const bool changed =
                !sameLength || before.at(before.size() - 1 - fromRight) != now.at(now.size() - 1 - fromRight);
            if (!changed && !arriving)
                continue;
            const double dy = !changed ? 0 : arriving ? (1 - roll_) * travel : -roll_ * travel;
            const double x = left + Type::tabularWidth(font, text.left(i));
            painter.save();
            painter.setOpacity(changed ? fade : 1.0);
            Type::drawTabular(painter, QRectF(x, box.top() + dy, box.width(), box.height()), Qt::AlignLeft,
                              font, QString(text.at(i)));
            painter.restore();
        }
    };
    drawString(before, false);
    drawString(now, true);
}
