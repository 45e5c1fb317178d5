#include "ui/kit/RouteButton.h"

#include "platform/AudioOutputs.h"
#include "ui/kit/ActionMenuItem.h"
#include "ui/kit/PanelState.h"

#include <QMenu>
#include <QTimer>

RouteButton::RouteButton(QWidget* parent)
    : SymbolButton(QString(), QSizeF(16, 16), parent), outputs_(new AudioOutputs(this)) {
    setBundleIcon(QStringLiteral("airplay"));
    connect(this, &QAbstractButton::clicked, this, &RouteButton::openMenu);
}

void RouteButton::openMenu() {
    if (listing_ || menu_ || !AudioOutputs::available())
        return;
    listing_ = true;
    QPointer<RouteButton> self(this);
    outputs_->list([self](const QList<AudioOutput>& outputs) {
        if (!self)
            return;
        self->listing_ = false;
        if (outputs.isEmpty() || !self->isVisible())
            return;
        auto* menu = new QMenu(self);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        for (const AudioOutput& output : outputs) {
            const QString name = output.name;
            menu->addAction(new ActionMenuItem(
                output.description, output.isDefault,
                [self, name] {
                    if (!self)
                        return;
                    self->outputs_->makeDefault(name, [self, name](bool ok) {
                        if (self && ok)
                            emit self->routeChosen(name);
                    });
                },
                menu));
        }
        connect(menu, &QMenu::aboutToHide, self, [self] {
            PanelState::setPickerOpen(false);
            emit self->menuClosed();
            // On the next turn, hand the keyboard and hover tracking back to the panel.
            QTimer::singleShot(0, self, [self] {
                if (QWidget* window = self->window()) {
                    window->activateWindow();
                    window->setAttribute(Qt::WA_Hover);
                }
            });
        });
        self->menu_ = menu;
        PanelState::setPickerOpen(true);
        menu->popup(self->mapToGlobal(QPoint(0, self->height())));
        emit self->menuShown();
    });
}
