#include "household/VolumeSender.h"

std::shared_ptr<VolumeSender> VolumeSender::create(ErrorHandler onError) {
    return std::shared_ptr<VolumeSender>(new VolumeSender(std::move(onError)));
}

void VolumeSender::send(int value, Operation operation) {
    pending_ = value;
    if (busy_)
        return;
    busy_ = true;
    loop(std::move(operation));
}

QCoro::Task<void> VolumeSender::loop(Operation operation) {
    // Keeps this sender alive until the loop has run dry.
    const std::shared_ptr<VolumeSender> self = shared_from_this();
    while (self->pending_) {
        const int value = *self->pending_;
        self->pending_.reset();
        std::exception_ptr failure;
        try {
            co_await operation(value);
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure && self->onError_)
            self->onError_(failure);
    }
    self->busy_ = false;
}
