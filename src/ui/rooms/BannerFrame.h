#pragma once

#include <QWidget>

#include <functional>

class QHBoxLayout;

// The shared frame of the error and crash banners: the warning symbol, a text, and a trailing
// dismiss button, over a faint rounded background.
class BannerFrame : public QWidget {
    Q_OBJECT
public:
    BannerFrame(const QString& text, std::function<void()> onDismiss, QWidget* parent = nullptr);

protected:
    // Where a banner puts its own controls, before the dismiss button.
    QHBoxLayout* controls() const { return controls_; }
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* controls_ = nullptr;
};
