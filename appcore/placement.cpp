#include "appcore/placement.h"

#include <algorithm>

PLACE_RECT PLACE_OnParent(const PLACE_RECT& parent, const PLACE_RECT& screen, int width, int height,
                          int minWidth, int minHeight, int frameWidth, int frameHeight) {
    PLACE_RECT out;
    out.width = std::max(minWidth, std::min(width, screen.width - frameWidth));
    out.height = std::max(minHeight, std::min(height, screen.height - frameHeight));
    const PLACE_RECT& around = parent.width > 0 && parent.height > 0 ? parent : screen;
    // The frame's top left corner, centred on `around`.
    int x = around.x + (around.width - (out.width + frameWidth)) / 2;
    int y = around.y + (around.height - (out.height + frameHeight)) / 2;
    x = std::min(x, screen.x + screen.width - (out.width + frameWidth));
    y = std::min(y, screen.y + screen.height - (out.height + frameHeight));
    x = std::max(x, screen.x);
    y = std::max(y, screen.y);
    // Client rectangle: the frame's left border is half its extra width, the title bar the rest
    // of its extra height less the bottom border.
    const int side = frameWidth / 2;
    out.x = x + side;
    out.y = y + (frameHeight - side);
    return out;
}
