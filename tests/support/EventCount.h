#pragma once

#include <QEvent>
#include <QObject>

namespace test {

// Counts the events of one type that reach the objects it is installed on.
class EventCount : public QObject {
public:
    explicit EventCount(QEvent::Type type) : type_(type) {}
    int count = 0;

    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == type_;
        return false;
    }

private:
    QEvent::Type type_;
};

} // namespace test
