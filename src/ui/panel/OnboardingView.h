#pragma once

#include "ui/panel/PanelEnvironment.h"

#include <QWidget>

// The first-run pages shown until the user finished onboarding.
// Not built yet: this stand-in takes no space and draws nothing.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingView(const PanelEnvironment& environment, QWidget* parent = nullptr);
};
