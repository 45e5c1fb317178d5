#include "app/LoginItem.h"

#include "core/Log.h"
#include "platform/LoginRegistration.h"

LoginItem::LoginItem(LoginRegistration& registration, QObject* parent)
    : QObject(parent), registration_(registration), enabled_(registration.registered()) {}

void LoginItem::set(bool on) {
    if (const auto failure = registration_.setRegistered(on))
        qCWarning(logApp).noquote() << "Login item:" << *failure;
    enabled_ = registration_.registered();
    emit enabledChanged(enabled_);
}
