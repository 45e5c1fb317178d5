#include "ui/rooms/SectionReveal.h"

#include "ui/kit/BlurFade.h"
#include "ui/kit/Motion.h"

#include <QLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>

SectionReveal::SectionReveal(QWidget* section, double blur)
    : QObject(section), section_(section), blur_(blur), shown_(!section->isHidden()),
      progress_(shown_ ? 1 : 0) {}

double SectionReveal::opacity() const {
    return effect_ ? BlurFade::opacityAt(effect_->progress()) : (progress_ > 0 ? 1 : 0);
}

void SectionReveal::setShown(bool shown, std::chrono::milliseconds duration) {
    if (shown == shown_ && (running() || progress_ == (shown ? 1 : 0)))
        return;
    shown_ = shown;
    Motion::animate(this, animation_, progress_, shown ? 1 : 0, duration, Motion::panelCurve(),
                    [this](double p) { apply(p); });
}

int SectionReveal::naturalHeight() const {
    const int width = section_->width();
    if (width > 0 && section_->hasHeightForWidth())
        return section_->heightForWidth(width);
    const QLayout* layout = section_->layout();
    if (width > 0 && layout && layout->hasHeightForWidth())
        return layout->totalHeightForWidth(width);
    return section_->sizeHint().height();
}

void SectionReveal::apply(double progress) {
    progress_ = progress;
    if (!section_)
        return;
    if (progress <= 0 || progress >= 1) {
        release();
        section_->setVisible(progress >= 1);
        emit stepped();
        return;
    }
    if (!effect_) {
        effect_ = new BlurFade(0, nullptr, blur_);
        section_->setGraphicsEffect(effect_); // the section owns it
    }
    effect_->setProgress(progress);
    if (!constrained_) {
        // A fixed-size section keeps its minimum; it is lifted while the height opens.
        minimum_ = section_->minimumSize();
        maximum_ = section_->maximumSize();
        constrained_ = true;
    }
    // A section without a layout may have no size hint: its own minimum stands in for it.
    const int natural = std::min(std::max(naturalHeight(), minimum_.height()), maximum_.height());
    section_->setMinimumHeight(0);
    section_->setMaximumHeight(static_cast<int>(std::lround(natural * progress)));
    section_->show();
    emit stepped();
}

void SectionReveal::release() {
    if (effect_ && section_ && section_->graphicsEffect() == effect_)
        section_->setGraphicsEffect(nullptr);
    effect_ = nullptr;
    if (constrained_ && section_) {
        section_->setMinimumSize(minimum_);
        section_->setMaximumSize(maximum_);
    }
    constrained_ = false;
}
