#include "app/PanelPlacement.h"

#include <algorithm>
#include <cmath>

namespace PanelPlacement {

QRect frame(QSize size, const QRect& anchor, const QRect& visible) {
    const int width = size.width();
    const int height = size.height();
    const int visibleRight = visible.x() + visible.width();
    const int centred = int(std::floor(anchor.x() + anchor.width() / 2.0 - width / 2.0));
    const int x = std::min(visibleRight - width - sideInset, std::max(centred, visible.x() + sideInset));
    const int anchorBottom = anchor.y() + anchor.height();
    const bool trayAtBottom = anchor.center().y() > visible.center().y();
    const int y = trayAtBottom ? anchor.y() - iconGap - height : anchorBottom + iconGap;
    return {x, y, width, height};
}

} // namespace PanelPlacement
