#pragma once

#include "core/Clock.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QWidget>

class InkLabel;
class QProgressBar;

// Shown while no group is active: speakers are being searched for; after the panel has been
// shown for 10 s without a result, a hint that the local network may be blocked.
class SearchingTile : public QWidget {
    Q_OBJECT
public:
    explicit SearchingTile(const RoomsEnvironment& environment, QWidget* parent = nullptr);

    bool searchedLong() const { return searchedLong_; }
    QString text() const;

private:
    void restartWait();
    void setSearchedLong(bool searchedLong);

    RoomsEnvironment environment_;
    bool searchedLong_ = false;
    QProgressBar* spinner_ = nullptr;
    InkLabel* text_ = nullptr;
    Debounce wait_{this};
};
