#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <chrono>

class Household;

// Polls the household beside its events, while the panel is open: a refresh, then a pause of
// 30 s when every event subscription works and 3 s when one is missing or silent, and again.
// While the panel is closed it only wakes at that pace. Runs from construction until it is
// destroyed; a refresh under way then still ends, and the loop stops after it.
class RefreshLoop : public QObject {
    Q_OBJECT
public:
    static constexpr auto healthyPause = std::chrono::seconds(30);
    static constexpr auto unhealthyPause = std::chrono::seconds(3);

    explicit RefreshLoop(Household* household, QObject* parent = nullptr);

    int passes() const { return passes_; }
    int refreshes() const { return refreshes_; }

private:
    void pass();
    QCoro::Task<void> refreshThenPause();
    void pause();

    QPointer<Household> household_;
    int passes_ = 0;
    int refreshes_ = 0;
};
