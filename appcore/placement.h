// Where a window opens: on its parent, whole on the screen.
#pragma once

// A rectangle in screen pixels.
struct PLACE_RECT {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The client rectangle of a window that would like `width` × `height` pixels and needs at least
// `minWidth` × `minHeight`, whose frame adds `frameWidth` and `frameHeight` (title bar and
// borders): no larger than the screen's available area `screen` allows (frame included, never
// below the minimum), centred on `parent` (on the screen when it is empty), then moved so that
// the frame lies inside `screen` (its top left corner first when the minimum is too large).
PLACE_RECT PLACE_OnParent(const PLACE_RECT& parent, const PLACE_RECT& screen, int width, int height,
                          int minWidth, int minHeight, int frameWidth, int frameHeight);
