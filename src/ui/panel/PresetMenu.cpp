#include "ui/panel/PresetMenu.h"

#include "core/Tasks.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "ui/kit/ActionMenuItem.h"
#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>

#include <cmath>

namespace {
constexpr qsizetype mostPresets = 9;
} // namespace

PresetMenu::PresetMenu(const SpeakerGroup& group, Household* household, QWidget* parent)
    : PressableButton(parent), group_(group), household_(household) {
    setObjectName(QStringLiteral("presetMenu"));
    setText(L(QStringLiteral("Sets")));
    setFont(Type::font(TextStyle::Caption));
    HoverOptions options;
    options.alignment = Qt::AlignHCenter;
    options.padding = 6;
    options.shape = HoverShape::Capsule;
    options.rest = InkLevel::Secondary;
    setHover(options);
    const QFontMetricsF metrics(font());
    setContentSize(QSizeF(std::ceil(metrics.horizontalAdvance(text())), std::ceil(metrics.height())));
    connect(this, &QAbstractButton::clicked, this, &PresetMenu::showMenu);
}

void PresetMenu::setGroup(const SpeakerGroup& group) {
    group_ = group;
}

QMenu* PresetMenu::makeMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    Household* household = household_;
    if (!household) {
        menu->addAction(L(QStringLiteral("Aktuelle Räume sichern")))->setEnabled(false);
        return menu;
    }
    const QList<RoomPreset> presets = household->presets();
    const std::optional<RoomPreset> matching = household->preset(group_);
    for (qsizetype i = 0; i < presets.size(); ++i) {
        const RoomPreset preset = presets[i];
        const QString title = QString::number(i + 1) + QStringLiteral("  ") + household->name(preset);
        menu->addAction(new ActionMenuItem(
            title, matching && matching->id == preset.id,
            [household, preset] { Tasks::detach(household->apply(preset), "preset from the menu"); }, menu));
    }
    if (!presets.isEmpty())
        menu->addSeparator();
    // The handlers keep the group as it was when the menu opened.
    const SpeakerGroup group = group_;
    auto* save = new ActionMenuItem(
        L(QStringLiteral("Aktuelle Räume sichern")), false,
        [household, group] { household->savePreset(group); }, menu);
    save->setObjectName(QStringLiteral("save"));
    save->setEnabled(!matching && presets.size() < mostPresets);
    menu->addAction(save);
    if (presets.isEmpty())
        return menu;
    QMenu* remove = menu->addMenu(L(QStringLiteral("Löschen")));
    for (const RoomPreset& preset : presets)
        remove->addAction(new ActionMenuItem(
            household->name(preset), false, [household, preset] { household->deletePreset(preset); },
            remove));
    return menu;
}

void PresetMenu::paintContent(QPainter& painter, const QRectF& rect) {
    painter.setFont(font());
    painter.setPen(ink());
    painter.drawText(rect, Qt::AlignCenter, text());
}

void PresetMenu::showMenu() {
    QMenu* menu = makeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(mapToGlobal(QPoint(0, height())));
}
