#pragma once

#include "household/SenderKey.h"
#include "household/VolumeSender.h"

#include <QHash>

#include <memory>

// The household's coalescing senders, one per value, each made on first use and kept for the
// household's life, so that values of the same key always queue behind each other. Every
// sender reports its failures to the one handler given here.
class SenderPool {
public:
    explicit SenderPool(VolumeSender::ErrorHandler onError) : onError_(std::move(onError)) {}

    std::shared_ptr<VolumeSender> sender(const SenderKey& key);
    const QHash<SenderKey, std::shared_ptr<VolumeSender>>& all() const { return senders_; }
    // No sender has a request sequence running.
    bool idle() const;

private:
    VolumeSender::ErrorHandler onError_;
    QHash<SenderKey, std::shared_ptr<VolumeSender>> senders_;
};
