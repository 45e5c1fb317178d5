#pragma once

#include <QAction>

#include <functional>

// A menu entry that runs its own closure: the sleep-timer menu and the room lists build their
// QMenus from these. Shows a check mark when created checked; never a keyboard shortcut.
//
// Takes: title (already through L()), checked, handler (held for the item's lifetime).
// Emits: runs `handler` once each time the item is chosen.
class ActionMenuItem : public QAction {
    Q_OBJECT
public:
    ActionMenuItem(const QString& title, bool checked, std::function<void()> handler,
                   QObject* parent = nullptr);

private:
    std::function<void()> handler_;
};
