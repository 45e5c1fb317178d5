// Holds keys on the X11 display, as a desktop daemon or another program's shortcut does, so
// that tests can see the program's grab of them refused.
//
// Usage: key-holder KEYSYM MODIFIERS [KEYSYM MODIFIERS ...]
// KEYSYM in hex (0x1008FF13 is XF86AudioRaiseVolume), MODIFIERS the X11 mask in decimal
// (32768 = any modifier). Prints "holding" once every key is grabbed (or "refused" and exits 1),
// then holds them until it is ended.
#include "platform/X11KeyGrabber.h"

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fputs("usage: key-holder KEYSYM MODIFIERS [KEYSYM MODIFIERS ...]\n", stderr);
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    X11KeyGrabber grabber(connection);
    if (!grabber.available()) {
        std::fputs("no X11 display\n", stderr);
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const auto keysym = quint32(std::strtoul(argv[i], nullptr, 16));
        const auto modifiers = quint16(std::strtoul(argv[i + 1], nullptr, 10));
        const auto code = grabber.keyCodeFor(keysym);
        if (!code || !grabber.grab(*code, modifiers, {})) {
            std::puts("refused");
            return 1;
        }
    }
    std::puts("holding");
    std::fflush(stdout);
    for (;;)
        pause();
}
