#include "ui/panel/MusicAppShortcuts.h"

#include "core/RenderMode.h"
#include "core/Texts.h"
#include "platform/DesktopEntries.h"
#include "ui/kit/Ink.h"
#include "ui/kit/PressableButton.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"

#include <QDir>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

namespace {

constexpr double iconEdge = 18;
constexpr double iconSpacing = 5;
constexpr int verticalPadding = 6;
constexpr int pillSpacing = 6;
constexpr double restFill = 0.08;
constexpr double hoverFill = 0.13;
// Render mode draws each icon once at four pixels per point.
constexpr int renderPixels = 72;

QFont pillFont() {
    return Type::font(TextStyle::Caption, QFont::Medium);
}

// One app's pill: its icon and name centred on a capsule that takes its share of the row.
class SourcePill : public PressableButton {
public:
    SourcePill(const MusicApp& app, QWidget* parent) : PressableButton(parent), app_(app) {
        setObjectName(QStringLiteral("musicApp"));
        setAccessibleName(app_.name);
        setText(app_.name);
        HoverOptions options;
        options.shape = HoverShape::Capsule;
        options.rest = InkLevel::Primary;
        options.chrome = false;
        setHover(options);
        setContentsMargins(0, verticalPadding, 0, verticalPadding);
        const QFontMetricsF metrics(pillFont());
        textWidth_ = std::ceil(metrics.horizontalAdvance(app_.name));
        setContentSize(
            QSizeF(iconEdge + iconSpacing + textWidth_, std::max(iconEdge, std::ceil(metrics.height()))));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintBackground(QPainter& painter) override {
        const double progress = hover() ? hover()->progress() : 0;
        const QRectF r = QRectF(rect());
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(Ink::primary(Ink::scheme(this), restFill + (hoverFill - restFill) * progress));
        painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        painter.restore();
    }

    void paintContent(QPainter& painter, const QRectF& rect) override {
        const double width = iconEdge + iconSpacing + textWidth_;
        const double left = rect.left() + (rect.width() - width) / 2;
        const QRectF iconBox(left, rect.center().y() - iconEdge / 2, iconEdge, iconEdge);
        if (!app_.icon.isNull()) {
            const double ratio = Symbols::targetRatio(painter);
            const QPixmap pixmap = app_.icon.pixmap(QSize(int(iconEdge), int(iconEdge)), ratio);
            painter.drawPixmap(iconBox, pixmap, QRectF(pixmap.rect()));
        }
        painter.setFont(pillFont());
        painter.setPen(ink());
        const QRectF textBox(iconBox.right() + iconSpacing, rect.top(), textWidth_ + 1, rect.height());
        painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, app_.name);
    }

private:
    MusicApp app_;
    double textWidth_ = 0;
};

Applications& desktopApplications() {
    static DesktopEntries entries;
    return entries;
}

} // namespace

MusicAppShortcuts::MusicAppShortcuts(QWidget* parent)
    : MusicAppShortcuts(installed(), &desktopApplications(), parent) {}

MusicAppShortcuts::MusicAppShortcuts(QList<MusicApp> apps, Applications* launcher, QWidget* parent)
    : QWidget(parent), apps_(std::move(apps)), launcher_(launcher) {
    build();
}

const QList<MusicAppShortcuts::Candidate>& MusicAppShortcuts::candidates() {
    // Only Spotify has a Linux app; the other two candidates have no desktop entry to look for
    // and stay in the table so that the order of the pills keeps its meaning.
    static const QList<Candidate> table{
        {QStringLiteral("Sonos"), {}},
        {QStringLiteral("Spotify"),
         {QStringLiteral("spotify.desktop"), QStringLiteral("com.spotify.Client.desktop")}},
        {L(QStringLiteral("Musik")), {}},
    };
    return table;
}

QList<MusicApp> MusicAppShortcuts::lookUp(const Applications& applications,
                                          const QList<Candidate>& candidates) {
    QList<MusicApp> out;
    for (const Candidate& candidate : candidates) {
        if (candidate.ids.isEmpty())
            continue;
        const std::optional<DesktopApp> entry = applications.find(candidate.ids);
        if (!entry)
            continue;
        out.append(MusicApp{candidate.name, *entry, iconOf(*entry)});
    }
    return out;
}

const QList<MusicApp>& MusicAppShortcuts::installed() {
    static const QList<MusicApp> apps = lookUp(desktopApplications(), candidates());
    return apps;
}

QIcon MusicAppShortcuts::iconOf(const DesktopApp& entry) {
    if (entry.icon.isEmpty())
        return {};
    const QIcon icon = QDir::isAbsolutePath(entry.icon) ? QIcon(entry.icon) : QIcon::fromTheme(entry.icon);
    if (!RenderMode::active() || icon.isNull())
        return icon;
    const double ratio = double(renderPixels) / iconEdge;
    QPixmap pixmap = icon.pixmap(QSize(int(iconEdge), int(iconEdge)), ratio);
    if (pixmap.isNull())
        return icon;
    if (pixmap.size() != QSize(renderPixels, renderPixels))
        pixmap = pixmap.scaled(renderPixels, renderPixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(ratio);
    return QIcon(pixmap);
}

QList<QAbstractButton*> MusicAppShortcuts::pills() const {
    return findChildren<QAbstractButton*>(QStringLiteral("musicApp"), Qt::FindDirectChildrenOnly);
}

void MusicAppShortcuts::build() {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(pillSpacing);
    for (const MusicApp& app : apps_) {
        auto* pill = new SourcePill(app, this);
        connect(pill, &QAbstractButton::clicked, this, [this, entry = app.entry] {
            if (launcher_)
                launcher_->launch(entry);
        });
        row->addWidget(pill, 1);
    }
    if (apps_.isEmpty())
        setFixedHeight(0);
}
