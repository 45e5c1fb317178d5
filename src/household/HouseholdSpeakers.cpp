#include "household/Household.h"

#include <stdexcept>

// Interim: the speaker side (control call, topology reader, model lookup, state polling) is
// being built alongside; until it is here the household reads nothing from the network.

QCoro::Task<QList<SpeakerGroup>> Household::readTopology(QString host) {
    throw std::runtime_error(("no speaker access yet for " + host).toStdString());
    co_return {};
}

QString Household::failureText(std::exception_ptr failure) {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
    }
    return {};
}

std::exception_ptr Household::unusableReply(const QString& host) {
    return std::make_exception_ptr(std::runtime_error(("no usable topology from " + host).toStdString()));
}

QCoro::Task<std::optional<QString>> Household::modelOf(QString) {
    co_return std::nullopt;
}

QCoro::Task<SpeakerGroup> Household::loadStateOrKeep(SpeakerGroup group) {
    co_return group;
}
