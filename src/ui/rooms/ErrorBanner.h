#pragma once

#include <QWidget>

#include <functional>

// A household error over the panel's content; its close button calls `onDismiss`.
class ErrorBanner : public QWidget {
    Q_OBJECT
public:
    ErrorBanner(const QString& message, std::function<void()> onDismiss, QWidget* parent = nullptr);

private:
    QString message_;
    std::function<void()> onDismiss_;
};
