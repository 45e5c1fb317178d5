#pragma once

#include <QWidget>

// The panel's window: frameless, above other windows, without a taskbar entry, with a
// transparent background so that the root view draws its own rounded surface. It holds one
// root view, filling the window; the window's size is set only by its owner.
class Panel : public QWidget {
    Q_OBJECT
public:
    explicit Panel(QWidget* parent = nullptr);

    void setContent(QWidget* root);
    QWidget* content() const { return content_; }

signals:
    // The window lost the keyboard focus to another window: a click elsewhere.
    void deactivated();

protected:
    bool event(QEvent* event) override;

private:
    QWidget* content_ = nullptr;
};
