#pragma once

#include <chrono>

// Every fixed delay of the speaker side, by purpose.
namespace Delays {
using namespace std::chrono_literals;

inline constexpr auto requestTimeout = 3000ms;      // SOAP calls, device description, GENA requests
inline constexpr auto recentChange = 2000ms;        // a local change outranks speaker state this long
inline constexpr auto errorClear = 5000ms;          // the error text clears itself after this
inline constexpr auto groupRepoll = 300ms;          // re-read of one group after an event
inline constexpr auto topologyEventRefresh = 500ms; // full refresh after a topology event
inline constexpr auto afterSkipRefresh = 600ms;     // refresh after a skip or a started favourite
inline constexpr auto membershipRefresh = 1000ms;   // refresh after the last membership change
inline constexpr auto eventMaintenance = 30000ms;   // subscription upkeep
inline constexpr auto eventStopLimit = 1000ms;      // longest wait for unsubscribing at exit
} // namespace Delays
