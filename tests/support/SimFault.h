#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace sim {

// How the simulator misbehaves for one action (a SOAP action name, or a GET path).
struct Fault {
    enum class Kind {
        none,      // answer normally (after `delay`)
        status,    // answer `status`, with a UPnP fault body when `errorCode` is set; state untouched
        emptyOk,   // 200 with an empty body
        malformed, // 200 with the normal reply cut off inside the action element
        silence,   // accept and never answer
        // Faults of the connection itself (SimWireFault.cpp):
        cutAfterHeaders,   // promise a 1000-byte body, send 190 bytes of it, close
        stallAfterHeaders, // send the head and then nothing, the connection held open
        closeUnanswered,   // close the connection right after reading the request
        trickle,           // send the whole answer one byte every `delay`
    };
    Kind kind = Kind::none;
    int status = 500;
    std::optional<QString> errorCode;
    std::chrono::milliseconds delay{0};
    int times = -1; // how many requests it hits; -1 for all

    static Fault upnp(const QString& code, int status = 500) {
        return {Kind::status, status, code, std::chrono::milliseconds(0), -1};
    }
    static Fault httpStatus(int status) { return {Kind::status, status, std::nullopt, {}, -1}; }
    static Fault emptyOk() { return {Kind::emptyOk, 200, std::nullopt, {}, -1}; }
    static Fault malformed() { return {Kind::malformed, 200, std::nullopt, {}, -1}; }
    static Fault silence() { return {Kind::silence, 0, std::nullopt, {}, -1}; }
    static Fault delayed(std::chrono::milliseconds by) { return {Kind::none, 200, std::nullopt, by, -1}; }
    static Fault wire(Kind kind, std::chrono::milliseconds interval = {}) {
        return {kind, 200, std::nullopt, interval, -1};
    }

    Fault once() const {
        Fault copy = *this;
        copy.times = 1;
        return copy;
    }
};

} // namespace sim
