#include "household/RefreshSchedule.h"

#include <algorithm>

RefreshSchedule::Start RefreshSchedule::started() {
    return Start{++started_, generation_};
}

bool RefreshSchedule::ended() {
    if (--running_ > 0 || !askedMeanwhile_)
        return false;
    askedMeanwhile_ = false;
    return true;
}

bool RefreshSchedule::ask() {
    if (running_ > 0) {
        askedMeanwhile_ = true;
        return false;
    }
    return true;
}

bool RefreshSchedule::mayApply(const Start& start) const {
    return pending_ == 0 && generation_ == start.generation && start.ticket >= newestApplied_;
}

void RefreshSchedule::applied(const Start& start) {
    newestApplied_ = start.ticket;
    ++applied_;
}

void RefreshSchedule::membershipBegan() {
    ++generation_;
    ++pending_;
}

bool RefreshSchedule::membershipEnded() {
    pending_ = std::max(0, pending_ - 1);
    return pending_ == 0;
}

bool RefreshSchedule::unchangedSince(const Snapshot& snapshot) const {
    return pending_ == 0 && generation_ == snapshot.generation && applied_ == snapshot.applied;
}

quint64 RefreshSchedule::issue(Wait purpose, const QString& id) {
    const quint64 ticket = ++nextTicket_;
    if (purpose == Wait::topology)
        topology_ = ticket;
    else
        rereads_.insert(id, ticket);
    return ticket;
}

bool RefreshSchedule::isNewest(Wait purpose, const QString& id, quint64 ticket) const {
    return purpose == Wait::topology ? topology_ == ticket : rereads_.value(id) == ticket;
}
