#include "ui/rooms/CrashBanner.h"

// Not built yet: draws nothing and offers nothing.
CrashBanner::CrashBanner(std::function<void()> onSend, std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent), onSend_(std::move(onSend)), onDismiss_(std::move(onDismiss)) {}
