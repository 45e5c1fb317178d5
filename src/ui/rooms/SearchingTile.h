#pragma once

#include "core/Clock.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QWidget>

class InkLabel;
class QAbstractButton;
class QProgressBar;
class SectionReveal;

// Shown while no group is active: speakers are being searched for; after the panel has been
// shown for 10 s without a result, a hint that the local network may be blocked, with a button
// to the desktop's network settings where it has them. The change between the two swaps them
// over 0.3 s: the searching part closes and fades as the hint opens and fades in.
class SearchingTile : public QWidget {
    Q_OBJECT
public:
    explicit SearchingTile(const RoomsEnvironment& environment, QWidget* parent = nullptr);

    bool searchedLong() const { return searchedLong_; }
    // The text the tile shows (or is changing to).
    QString text() const;
    QAbstractButton* settingsButton() const;
    const SectionReveal& searchingReveal() const { return *searchingReveal_; }
    const SectionReveal& hintReveal() const { return *hintReveal_; }

private:
    void restartWait();
    void setSearchedLong(bool searchedLong);

    RoomsEnvironment environment_;
    bool searchedLong_ = false;
    bool animated_ = false;
    QWidget* searching_ = nullptr;
    QProgressBar* spinner_ = nullptr;
    InkLabel* searchingText_ = nullptr;
    QWidget* hint_ = nullptr;
    InkLabel* hintText_ = nullptr;
    QAbstractButton* settingsButton_ = nullptr;
    SectionReveal* searchingReveal_ = nullptr;
    SectionReveal* hintReveal_ = nullptr;
    Debounce wait_{this};
};
