#pragma once

#include <QWidget>

#include <functional>

// Tells that the program crashed in an earlier run; its send button calls `onSend`, its close
// button `onDismiss`.
class CrashBanner : public QWidget {
    Q_OBJECT
public:
    CrashBanner(std::function<void()> onSend, std::function<void()> onDismiss, QWidget* parent = nullptr);

private:
    std::function<void()> onSend_;
    std::function<void()> onDismiss_;
};
