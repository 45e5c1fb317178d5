#pragma once

#include <QString>

// The household's stored settings keys.
namespace HouseholdKeys {
inline const QString knownHosts = QStringLiteral("knownHosts");   // text list, newest host first
inline const QString groupNames = QStringLiteral("groupNames");   // text map: member key -> name
inline const QString roomModels = QStringLiteral("roomModels");   // text map: room id -> model name
inline const QString roomOrder = QStringLiteral("roomOrder");     // text list of room ids
inline const QString roomPresets = QStringLiteral("roomPresets"); // data: JSON array of presets
inline const QString lastGroups = QStringLiteral("lastGroups");   // data: JSON array of groups
inline const QString onboarded = QStringLiteral("onboarded");     // bool
} // namespace HouseholdKeys
