#pragma once

#include <QString>

#include <optional>

// Whether the desktop opens the program when the user logs in, and the switch for it.
class LoginRegistration {
public:
    virtual ~LoginRegistration() = default;

    // The desktop will open the program at the next login.
    virtual bool registered() const = 0;
    // Registers or unregisters the program; the reason when that failed, nothing otherwise.
    virtual std::optional<QString> setRegistered(bool on) = 0;
};
