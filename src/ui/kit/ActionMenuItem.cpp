#include "ui/kit/ActionMenuItem.h"

ActionMenuItem::ActionMenuItem(const QString& title, bool checked, std::function<void()> handler,
                               QObject* parent)
    : QAction(title, parent), handler_(std::move(handler)) {
    setShortcut(QKeySequence());
    setShortcutVisibleInContextMenu(false);
    // Only a checked item is checkable, so unchecked items show no empty box; the check is fixed
    // (menus are rebuilt each time they show).
    setCheckable(checked);
    setChecked(checked);
    connect(this, &QAction::triggered, this, [this] {
        if (handler_)
            handler_();
    });
}
