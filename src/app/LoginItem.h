#pragma once

#include <QObject>

class LoginRegistration;

// Launch at login, as the footer's switch shows it: `enabled` is what the desktop reports,
// read at creation and again after every change, whether or not the change worked.
class LoginItem : public QObject {
    Q_OBJECT
public:
    explicit LoginItem(LoginRegistration& registration, QObject* parent = nullptr);

    bool enabled() const { return enabled_; }
    // Registers or unregisters; a failure is logged ("Login item: ...") and nothing else.
    void set(bool on);

signals:
    void enabledChanged(bool enabled);

private:
    LoginRegistration& registration_;
    bool enabled_ = false;
};
