#include "ui/kit/BundleIcon.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Symbols.h"

#include <QPainter>

#include <cmath>

namespace {
QString resourcePath(const QString& name) {
    return QStringLiteral(":/icons/%1.svg").arg(name);
}
} // namespace

BundleIcon::BundleIcon(const QString& name, double size, QWidget* parent)
    : QWidget(parent), name_(name), size_(size) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

void BundleIcon::setName(const QString& name) {
    if (name == name_)
        return;
    name_ = name;
    updateGeometry();
    update();
}

void BundleIcon::setIconSize(double size) {
    size_ = size;
    updateGeometry();
    update();
}

void BundleIcon::setColor(const QColor& color) {
    color_ = color;
    update();
}

QColor BundleIcon::color() const {
    return color_.isValid() ? color_ : Ink::color(InkLevel::Primary, Ink::scheme(this));
}

QSize BundleIcon::sizeHint() const {
    if (!image(name_))
        return QSize(0, 0);
    const int side = static_cast<int>(std::ceil(size_));
    return QSize(side, side);
}

QSvgRenderer* BundleIcon::image(const QString& name) {
    if (name.isEmpty())
        return nullptr;
    return Symbols::renderer(resourcePath(name));
}

bool BundleIcon::paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color) {
    if (name.isEmpty())
        return false;
    return Symbols::paintResource(painter, rect, resourcePath(name), color);
}

void BundleIcon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF box(QPointF((width() - size_) / 2, (height() - size_) / 2), QSizeF(size_, size_));
    paint(painter, box, name_, color());
}
