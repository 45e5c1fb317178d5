#include "core/RenderMode.h"

#include <atomic>

namespace {
std::atomic<bool> renderActive{false};
}

namespace RenderMode {

bool active() {
    return renderActive.load(std::memory_order_relaxed);
}

void setActive() {
    renderActive.store(true, std::memory_order_relaxed);
}

} // namespace RenderMode
