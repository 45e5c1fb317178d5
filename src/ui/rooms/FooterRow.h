#pragma once

#include <optional>

// The footer's keyboard-navigable settings rows, by the number the keyboard focus holds.
enum class FooterRow { hints = 0, hotKey = 1, volumeKeys = 2, login = 3, health = 4 };

// The row of a number; none for numbers outside 0 to 4.
inline std::optional<FooterRow> footerRow(int raw) {
    if (raw < 0 || raw > 4)
        return std::nullopt;
    return static_cast<FooterRow>(raw);
}
