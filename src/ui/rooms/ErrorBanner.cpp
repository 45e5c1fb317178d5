#include "ui/rooms/ErrorBanner.h"

// Not built yet: draws nothing and offers nothing.
ErrorBanner::ErrorBanner(const QString& message, std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent), message_(message), onDismiss_(std::move(onDismiss)) {}
