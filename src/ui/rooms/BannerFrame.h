#pragma once

#include <QWidget>

#include <functional>

class InkLabel;
class QHBoxLayout;

// The shared frame of the error and crash banners: the warning symbol, a text, and a trailing
// dismiss button, over a faint rounded background.
class BannerFrame : public QWidget {
    Q_OBJECT
public:
    BannerFrame(const QString& text, std::function<void()> onDismiss, QWidget* parent = nullptr);

    QString text() const;
    // A new text in the same banner (it stays in place, with no transition).
    void setText(const QString& text);

protected:
    // Where a banner puts its own controls, before the dismiss button.
    QHBoxLayout* controls() const { return controls_; }
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* controls_ = nullptr;
    InkLabel* label_ = nullptr;
};
