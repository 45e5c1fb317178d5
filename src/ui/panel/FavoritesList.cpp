#include "ui/panel/FavoritesList.h"

#include "core/Tasks.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/Ink.h"
#include "ui/kit/OutsetItem.h"
#include "ui/kit/PressableButton.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/InkLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QVBoxLayout>

#include <functional>

namespace {

constexpr double coverEdge = 24;
constexpr double coverSpacing = 8;
constexpr double glyphEdge = 10;
constexpr int padding = 4;
constexpr double hoverFill = 0.07;

QFont titleFont() {
    return Type::font(TextStyle::Callout);
}

// One favourite: the cover, the title on one line and, at the right edge, the play glyph that
// fades in under the pointer together with a faint capsule behind the row.
class FavoriteRow : public PressableButton {
public:
    FavoriteRow(const Favorite& favorite, std::function<void()> action, QWidget* parent)
        : PressableButton(parent), favorite_(favorite) {
        setObjectName(QStringLiteral("favorite"));
        setText(favorite_.title);
        setAccessibleName(L(QStringLiteral("Abspielen")) + QStringLiteral(": ") + favorite_.title);
        HoverOptions options;
        options.shape = HoverShape::Capsule;
        options.rest = InkLevel::Primary;
        options.chrome = false;
        setHover(options);
        setContentsMargins(padding, padding, padding, padding);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        const QFontMetricsF metrics(titleFont());
        setContentSize(QSizeF(coverEdge + coverSpacing +
                                  std::ceil(metrics.horizontalAdvance(favorite_.title)) + coverSpacing +
                                  glyphEdge,
                              coverEdge));
        cover_ = new Artwork(coverEdge, std::nullopt, this);
        cover_->setAttribute(Qt::WA_TransparentForMouseEvents);
        cover_->setUrl(favorite_.artURL);
        connect(this, &QAbstractButton::clicked, this, std::move(action));
    }

    // A long title is cut, never the row: the minimum leaves room for the cover and the glyph.
    QSize minimumSizeHint() const override {
        return {int(coverEdge + 2 * coverSpacing + glyphEdge) + 2 * padding, sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        PressableButton::resizeEvent(event);
        const QRect content = contentsRect();
        cover_->setGeometry(content.left(), content.top() + (content.height() - int(coverEdge)) / 2,
                            int(coverEdge), int(coverEdge));
    }

    void paintBackground(QPainter& painter) override {
        const double progress = hover() ? hover()->progress() : 0;
        if (progress <= 0)
            return;
        const QRectF r = QRectF(rect());
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(Ink::primary(Ink::scheme(this), hoverFill * progress));
        painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        painter.restore();
    }

    void paintContent(QPainter& painter, const QRectF& rect) override {
        const Scheme scheme = Ink::scheme(this);
        const QRectF glyph(rect.right() - glyphEdge, rect.center().y() - glyphEdge / 2, glyphEdge, glyphEdge);
        const double left = rect.left() + coverEdge + coverSpacing;
        const QRectF titleBox(left, rect.top(), std::max(0.0, glyph.left() - coverSpacing - left),
                              rect.height());
        painter.setFont(titleFont());
        painter.setPen(Ink::color(InkLevel::Primary, scheme));
        const QString title =
            QFontMetricsF(titleFont()).elidedText(favorite_.title, Qt::ElideRight, titleBox.width());
        painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
        const double progress = hover() ? hover()->progress() : 0;
        if (progress <= 0)
            return;
        painter.save();
        painter.setOpacity(progress);
        Symbols::paint(painter, glyph, QStringLiteral("play.fill"), Ink::color(InkLevel::Secondary, scheme));
        painter.restore();
    }

private:
    Favorite favorite_;
    Artwork* cover_;
};

} // namespace

FavoritesList::FavoritesList(const SpeakerGroup& group, Household* household, QWidget* parent)
    : QWidget(parent), group_(group), household_(household) {
    column_ = new QVBoxLayout(this);
    // The content keeps 4 points from the list's sides, where the rows' capsules reach.
    column_->setContentsMargins(padding, 0, padding, 0);
    column_->setSpacing(2);
    auto* heading = new InkLabel(L(QStringLiteral("Favoriten")), TextStyle::Caption, InkLevel::Secondary,
                                 this, QFont::Medium);
    heading->setContentsMargins(0, 0, 0, padding);
    column_->addWidget(heading);
    if (household_)
        connect(household_, &Household::favoritesChanged, this, &FavoritesList::reconcile);
    reconcile();
}

void FavoritesList::setGroup(const SpeakerGroup& group) {
    group_ = group;
}

QList<QAbstractButton*> FavoritesList::rows() const {
    QList<QAbstractButton*> out;
    for (int i = 0; i < column_->count(); ++i)
        if (auto* row = qobject_cast<QAbstractButton*>(column_->itemAt(i)->widget()))
            out.append(row);
    return out;
}

void FavoritesList::reconcile() {
    const QList<Favorite> wanted = household_ ? household_->favorites().mid(0, shown) : QList<Favorite>();
    if (wanted == listed_)
        return;
    listed_ = wanted;
    for (QAbstractButton* row : rows()) {
        column_->removeWidget(row);
        delete row;
    }
    for (const Favorite& favorite : listed_) {
        // The group is read at the click, so a row started after the tile moved on to another
        // group plays there, not on the group the row was made for.
        auto* row = new FavoriteRow(
            favorite,
            [this, favorite] {
                if (household_)
                    Tasks::detach(household_->play(favorite, group_), "favourite from the list");
            },
            this);
        OutsetItem::add(column_, row, QMargins(padding, 0, padding, 0));
        row->show();
    }
}
