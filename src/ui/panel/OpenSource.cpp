#include "ui/panel/OpenSource.h"

#include "ui/kit/Hoverable.h"
#include "ui/kit/Ink.h"
#include "ui/kit/ScaleEffect.h"
#include "ui/kit/Symbols.h"
#include "ui/panel/LinkOpener.h"

#include <QEvent>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>

// The arrow "arrow.up.right": on the cover a white glyph on a dark 16-point disc in the
// bottom-right corner, beside a text a small glyph that slides 2 points to the right as it
// fades in.
class OpenSource::Arrow : public QWidget {
public:
    Arrow(OpenSource* owner, Style style) : QWidget(owner), owner_(owner), style_(style) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        if (style == Style::Artwork)
            setFixedSize(24, 24); // 16 and 4 on every side
        else
            setFixedSize(9, 9);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const double progress = owner_->hoverProgress();
        if (progress <= 0)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (style_ == Style::Artwork) {
            painter.setOpacity(progress);
            // Grows out of the bottom-right corner: 0.85 at rest, 1 hovered.
            const double scale = 0.85 + 0.15 * progress;
            painter.translate(width(), height());
            painter.scale(scale, scale);
            painter.translate(-width(), -height());
            const QRectF disc(4, 4, 16, 16);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, 115));
            painter.drawEllipse(disc);
            Symbols::paint(painter, QRectF(8, 8, 8, 8), QStringLiteral("arrow.up.right"), Qt::white);
        } else {
            painter.setOpacity(0.8 * progress);
            const double shift = -2 * (1 - progress);
            Symbols::paint(painter, QRectF(1 + shift, 1, 7, 7), QStringLiteral("arrow.up.right"),
                           owner_->labelInk());
        }
    }

private:
    OpenSource* owner_;
    Style style_;
};

OpenSource::OpenSource(Style style, LinkOpener* links, QWidget* parent)
    : QWidget(parent), style_(style), links_(links ? links : &LinkOpener::desktop()) {
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setHorizontalSpacing(3);
    arrow_ = new Arrow(this, style);
    if (style == Style::Artwork) {
        // Over the label, in its bottom-right corner.
        grid_->addWidget(arrow_, 0, 0, Qt::AlignRight | Qt::AlignBottom);
    } else {
        grid_->addWidget(arrow_, 0, 1, Qt::AlignVCenter);
        grid_->setColumnStretch(2, 1);
    }
    restyle();
}

void OpenSource::setLabel(QWidget* label) {
    if (label_ == label)
        return;
    if (label_) {
        // Out of sight at once; deleted once the event in hand is done with it.
        label_->hide();
        label_->deleteLater();
    }
    label_ = label;
    if (label) {
        label->setParent(this);
        grid_->addWidget(label, 0, 0);
        label->show();
        arrow_->raise();
    }
    restyle();
}

void OpenSource::setInkReceiver(std::function<void(const QColor&)> receiver) {
    inkReceiver_ = std::move(receiver);
    restyle();
}

void OpenSource::setLink(const std::optional<SourceLink>& link) {
    if (link == link_)
        return;
    const bool had = link_.has_value();
    link_ = link;
    if (had != link.has_value()) {
        if (link) {
            HoverOptions options;
            options.tooltip = link->tooltip;
            options.alignment = Qt::AlignLeft;
            options.padding = 0;
            options.shape = HoverShape::Circle;
            options.rest = InkLevel::Secondary;
            options.chrome = false;
            hover_ = new Hoverable(this, options);
            connect(hover_, &Hoverable::changed, this, [this] {
                restyle();
                arrow_->update();
            });
            connect(hover_, &Hoverable::hoverChanged, this, [this](bool inside) {
                if (inside)
                    setCursor(Qt::PointingHandCursor);
                else
                    unsetCursor();
            });
        } else {
            delete hover_;
            hover_ = nullptr;
            unsetCursor();
        }
    } else if (link && hover_) {
        hover_->setTooltip(link->tooltip);
    }
    restyle();
    arrow_->update();
}

bool OpenSource::hovering() const {
    return hover_ && hover_->hovering();
}

double OpenSource::hoverProgress() const {
    return hover_ ? hover_->progress() : 0;
}

QColor OpenSource::labelInk() const {
    const Scheme scheme = Ink::scheme(this);
    if (!link_)
        return Ink::color(InkLevel::Secondary, scheme);
    return Ink::mix(Ink::color(InkLevel::Secondary, scheme), Ink::color(InkLevel::Primary, scheme),
                    hoverProgress());
}

void OpenSource::restyle() {
    if (inkReceiver_)
        inkReceiver_(labelInk());
    if (style_ == Style::Artwork && label_)
        scaleLabel(1 + (hoveredScale - 1) * hoverProgress());
}

// The cover grows while hovered; the effect is there only while it is not at rest, so that the
// resting cover paints directly.
void OpenSource::scaleLabel(double scale) {
    auto* effect = qobject_cast<ScaleEffect*>(label_->graphicsEffect());
    if (scale == 1) {
        if (effect)
            label_->setGraphicsEffect(nullptr);
        return;
    }
    if (!effect) {
        effect = new ScaleEffect;
        label_->setGraphicsEffect(effect); // the label owns it
    }
    effect->setScale(scale);
}

void OpenSource::activate() {
    if (link_)
        links_->open(link_->url);
}

void OpenSource::mousePressEvent(QMouseEvent* event) {
    pressed_ = link_ && event->button() == Qt::LeftButton;
    if (!pressed_)
        QWidget::mousePressEvent(event);
}

void OpenSource::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        activate();
    else
        QWidget::mouseReleaseEvent(event);
}

void OpenSource::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        restyle();
    QWidget::changeEvent(event);
}
