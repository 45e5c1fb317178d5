#include "ui/kit/EditableName.h"

#include "core/Texts.h"

#include "ui/kit/Blur.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/Symbols.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QVariantAnimation>

#include <cmath>

namespace {
constexpr double capsuleHeight = 20;
constexpr int minimumEditWidth = 80;
constexpr double hintBlur = 3;
constexpr double hintOpacity = 0.35;
constexpr double pencilSize = 12;

bool horizontalSpace(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// Draws `paint` into a padded layer, blurs it by `sigma` points and draws it at `opacity`.
template <typename Paint>
void blurredLayer(QPainter& painter, const QRectF& area, double sigma, double opacity, Paint paint) {
    const double ratio = Symbols::targetRatio(painter);
    const double room = std::ceil(3 * sigma);
    const QRectF padded = area.adjusted(-room, -room, room, room);
    QImage layer((padded.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-padded.topLeft());
        paint(p);
    }
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.drawImage(padded.topLeft(), Blur::gaussian(layer, sigma * ratio));
    painter.restore();
}
} // namespace

EditableName::EditableName(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
    setContentsMargins(sidePadding, 0, sidePadding, 0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleDescription(L(QStringLiteral("Zum Umbenennen doppelklicken")));
    field_ = new QLineEdit(this);
    field_->setFrame(false);
    field_->setAttribute(Qt::WA_TranslucentBackground);
    field_->setTextMargins(0, 0, 0, 0);
    field_->hide();
    field_->installEventFilter(this);
    connect(field_, &QLineEdit::returnPressed, this, [this] {
        if (editing_)
            commit();
    });
}

void EditableName::setName(const QString& name) {
    if (name == name_)
        return;
    name_ = name;
    updateGeometry();
    update();
}

void EditableName::setPlaceholder(const QString& placeholder) {
    field_->setPlaceholderText(placeholder);
}

void EditableName::setColor(const QColor& color) {
    color_ = color;
    update();
}

QColor EditableName::color() const {
    return color_.isValid() ? color_ : Ink::color(InkLevel::Primary, Ink::scheme(this));
}

QString EditableName::trimHorizontal(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && horizontalSpace(text.at(begin)))
        ++begin;
    while (end > begin && horizontalSpace(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QSize EditableName::sizeHint() const {
    const QFontMetricsF metrics(font());
    int w = static_cast<int>(std::ceil(metrics.horizontalAdvance(name_))) + 2 * sidePadding;
    if (editing_)
        w = std::max(w, minimumEditWidth + 2 * sidePadding);
    const int h = static_cast<int>(std::ceil(std::max(metrics.height(), capsuleHeight)));
    return QSize(w, h);
}

QSize EditableName::minimumSizeHint() const {
    const QSize hint = sizeHint();
    return QSize(editing_ ? minimumEditWidth + 2 * sidePadding : 2 * sidePadding, hint.height());
}

void EditableName::resizeEvent(QResizeEvent*) {
    const QFontMetricsF metrics(font());
    const int h = static_cast<int>(std::ceil(metrics.height())) + 2;
    field_->setGeometry(sidePadding, (height() - h) / 2, width() - 2 * sidePadding, h);
}

void EditableName::cancelHintDelay() {
    if (hintDelay_) {
        Clock::cancel(hintDelay_);
        hintDelay_ = 0;
    }
}

void EditableName::setHinting(bool hinting) {
    if (hinting == hinting_)
        return;
    hinting_ = hinting;
    Motion::animate(this, hintAnimation_, hint_, hinting ? 1.0 : 0.0, Motion::nameHint, Motion::panelCurve(),
                    [this](double p) {
                        hint_ = p;
                        update();
                    });
}

void EditableName::enterEvent(QEnterEvent*) {
    cancelHintDelay();
    if (editing_)
        return;
    hintDelay_ = Clock::schedule(Motion::nameHintDelay, this, [this] {
        hintDelay_ = 0;
        if (!editing_)
            setHinting(true);
    });
}

void EditableName::leaveEvent(QEvent*) {
    cancelHintDelay();
    setHinting(false);
}

void EditableName::mouseDoubleClickEvent(QMouseEvent*) {
    if (!editing_)
        beginEditing();
}

void EditableName::beginEditing() {
    cancelHintDelay();
    setHinting(false);
    field_->setText(name_);
    field_->selectAll();
    setEditing(true);
}

void EditableName::setEditing(bool editing) {
    if (editing == editing_)
        return;
    editing_ = editing;
    if (editing) {
        // The field's selection and caret in the label colour (selection at 0.2).
        QPalette palette = field_->palette();
        QColor label = palette.color(QPalette::WindowText);
        QColor selection = label;
        selection.setAlphaF(0.2f);
        palette.setColor(QPalette::Highlight, selection);
        palette.setColor(QPalette::HighlightedText, label);
        palette.setColor(QPalette::Text, label);
        palette.setColor(QPalette::Base, Qt::transparent);
        field_->setPalette(palette);
        field_->setFont(font());
        field_->show();
        field_->setFocus(Qt::OtherFocusReason);
    } else {
        field_->hide();
    }
    updateGeometry();
    update();
    emit editingChanged(editing);
}

void EditableName::commit() {
    setEditing(false);
    const QString trimmed = trimHorizontal(field_->text());
    if (!allowsEmpty_ && trimmed.isEmpty())
        return;
    if (trimmed != name_)
        emit committed(trimmed);
}

bool EditableName::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            editing_) {
            setEditing(false); // abandon: nothing committed, the draft stays in the field
            return true;
        }
        if (event->type() == QEvent::FocusOut && editing_)
            commit();
    }
    return QWidget::eventFilter(watched, event);
}

EditableName::~EditableName() = default;

const QTextLayout& EditableName::shownLayout(double width) {
    if (layout_ && layoutName_ == name_ && layoutWidth_ == width && layoutFont_ == font())
        return *layout_;
    const QString shown = QFontMetricsF(font()).elidedText(name_, Qt::ElideRight, width);
    layout_ = std::make_unique<QTextLayout>(shown, font());
    layout_->setCacheEnabled(true);
    layout_->beginLayout();
    QTextLine line = layout_->createLine();
    line.setLineWidth(width);
    line.setPosition(QPointF(0, 0));
    layout_->endLayout();
    layoutName_ = name_;
    layoutWidth_ = width;
    layoutFont_ = font();
    return *layout_;
}

void EditableName::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Scheme scheme = Ink::scheme(this);
    if (editing_) {
        const QRectF capsule(0, (height() - capsuleHeight) / 2, width(), capsuleHeight);
        QPainterPath path;
        path.addRoundedRect(capsule, capsuleHeight / 2, capsuleHeight / 2);
        painter.fillPath(path, Ink::primary(scheme, 0.1));
        return;
    }
    const QRectF text = QRectF(contentsRect());
    const QColor ink = color();
    const QTextLayout& shown = shownLayout(text.width());
    const auto drawName = [&](QPainter& p) {
        // Placed as drawText places one line, vertically centred, and cut where it overflows.
        const QTextLine line = shown.lineAt(0);
        const double top = (text.height() - line.ascent() - line.descent()) / 2;
        p.save();
        if (top < 0)
            p.setClipRect(text, Qt::IntersectClip);
        p.setFont(font());
        p.setPen(ink);
        shown.draw(&p, text.topLeft() + QPointF(0, top));
        p.restore();
    };
    if (hint_ <= 0 && LayerCache::keepsText(this)) {
        // The name at rest, copied while what moves behind it repaints it.
        LayerKey key;
        key << name_ << text.left() << text.top() << text.size() << ink << font().key();
        face_.draw(painter, QSizeF(size()), key, drawName);
        return;
    }
    if (hint_ <= 0) {
        drawName(painter);
        return;
    }
    blurredLayer(painter, text, hintBlur * hint_, 1 - (1 - hintOpacity) * hint_, drawName);
    // The pencil arrives with the blur-and-fade transition (offset 0).
    const QRectF pencil(QRectF(rect()).center() - QPointF(pencilSize / 2, pencilSize / 2),
                        QSizeF(pencilSize, pencilSize));
    const QColor secondary = Ink::color(InkLevel::Secondary, scheme);
    blurredLayer(painter, pencil, BlurFade::blurAt(hint_), BlurFade::opacityAt(hint_),
                 [&](QPainter& p) { Symbols::paint(p, pencil, QStringLiteral("pencil"), secondary); });
}
