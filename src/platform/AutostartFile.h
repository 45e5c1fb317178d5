#pragma once

#include "platform/LoginRegistration.h"

#include <QString>

// Launch at login as an XDG autostart entry: $XDG_CONFIG_HOME/autostart/<id>.desktop.
//
// The entry counts as registered when the file exists, reads as a desktop entry and is
// neither hidden ("Hidden=true") nor switched off ("X-GNOME-Autostart-enabled=false").
// Unregistering removes the file; a file that is already gone is not an error.
class AutostartFile : public LoginRegistration {
public:
    // `program` is the absolute path written to the entry's Exec line.
    explicit AutostartFile(QString program);

    static QString defaultPath();
    QString path() const { return path_; }

    bool registered() const override;
    std::optional<QString> setRegistered(bool on) override;

private:
    QString program_;
    QString path_;
};
