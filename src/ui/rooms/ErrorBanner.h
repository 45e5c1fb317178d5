#pragma once

#include "ui/rooms/BannerFrame.h"

#include <functional>

// A household error over the panel's content; its close button calls `onDismiss`.
class ErrorBanner : public BannerFrame {
    Q_OBJECT
public:
    ErrorBanner(const QString& message, std::function<void()> onDismiss, QWidget* parent = nullptr);
};
