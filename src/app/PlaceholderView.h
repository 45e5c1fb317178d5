#pragma once

#include <QSize>
#include <QWidget>

// The panel's root view until the real one exists: it draws nothing and reports the panel's
// starting size once, as a root view reports its content size.
class PlaceholderView : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderView(QWidget* parent = nullptr);

    // Reports the content size; called once the panel is ready to be placed.
    void report();

signals:
    void sizeChanged(QSize size);
};
