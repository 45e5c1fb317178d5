#include "ui/panel/OnboardingView.h"

OnboardingView::OnboardingView(const PanelEnvironment& /*environment*/, QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
}
