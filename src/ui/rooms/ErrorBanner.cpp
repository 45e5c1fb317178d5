#include "ui/rooms/ErrorBanner.h"

// The household's text is shown as it comes: it is already in the user's language.
ErrorBanner::ErrorBanner(const QString& message, std::function<void()> onDismiss, QWidget* parent)
    : BannerFrame(message, std::move(onDismiss), parent) {}
