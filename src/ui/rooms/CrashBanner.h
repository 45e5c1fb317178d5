#pragma once

#include "ui/rooms/BannerFrame.h"

#include <functional>

// Tells that the program crashed in an earlier run; its send button calls `onSend`, its close
// button `onDismiss`.
class CrashBanner : public BannerFrame {
    Q_OBJECT
public:
    CrashBanner(std::function<void()> onSend, std::function<void()> onDismiss, QWidget* parent = nullptr);
};
