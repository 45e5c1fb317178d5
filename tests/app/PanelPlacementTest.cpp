// Where the panel hangs for a tray icon and a screen.
#include "app/PanelPlacement.h"

#include <gtest/gtest.h>

namespace {

TEST(PanelPlacement, CentresUnderTheIconWithinTheScreen) {
    const QRect screen(0, 0, 1920, 1080);
    const QRect topBar(0, 28, 1920, 1052); // a bar of 28 points on top
    const struct {
        const char* name;
        QSize size;
        QRect anchor;
        QRect visible;
        QRect expected;
    } cases[] = {
        {"centred", {360, 200}, {1000, 2, 24, 24}, screen, {832, 32, 360, 200}},
        {"near the right edge", {360, 200}, {1890, 2, 24, 24}, screen, {1552, 32, 360, 200}},
        {"near the left edge", {360, 200}, {10, 2, 24, 24}, screen, {8, 32, 360, 200}},
        {"wider than the screen", {2000, 200}, {1000, 2, 24, 24}, screen, {-88, 32, 2000, 200}},
        {"odd widths", {361, 10}, {1000, 0, 25, 28}, topBar, {832, 34, 361, 10}},
        {"second screen", {360, 200}, {3800, 0, 24, 24}, {1920, 0, 1920, 1080}, {3472, 30, 360, 200}},
        {"tray at the bottom", {360, 200}, {1000, 1056, 24, 24}, {0, 0, 1920, 1050}, {832, 850, 360, 200}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PanelPlacement::frame(c.size, c.anchor, c.visible), c.expected) << c.name;
}

} // namespace
