// Where a window opens: on its parent, whole on a 1024×768 screen.
#include "appcore/placement.h"

#include <gtest/gtest.h>

namespace {

TEST(Placement, AWindowOpensOnItsParentAndWholeOnTheScreen) {
    const PLACE_RECT screen{0, 0, 1024, 768};
    const struct {
        PLACE_RECT parent;
        int width, height, minWidth, minHeight;
        PLACE_RECT expected;  // client rectangle; frame of 8 × 36 (4 each side, 32 on top)
    } cases[] = {
        // Centred on a parent that has room around it.
        {{100, 100, 800, 600}, 400, 300, 0, 0, {300, 264, 400, 300}},
        // Larger than the screen: as large as the screen allows, frame included.
        {{0, 0, 1024, 768}, 900, 900, 200, 200, {62, 32, 900, 732}},
        {{0, 0, 1024, 768}, 1280, 800, 200, 200, {4, 32, 1016, 732}},
        // A parent near the right edge: the window is pushed back onto the screen.
        {{900, 600, 300, 200}, 600, 400, 0, 0, {420, 364, 600, 400}},
        // No parent: the screen's centre.
        {{0, 0, 0, 0}, 600, 400, 0, 0, {212, 198, 600, 400}},
    };
    for (const auto& c : cases) {
        const PLACE_RECT r =
            PLACE_OnParent(c.parent, screen, c.width, c.height, c.minWidth, c.minHeight, 8, 36);
        EXPECT_EQ(r.x, c.expected.x);
        EXPECT_EQ(r.y, c.expected.y);
        EXPECT_EQ(r.width, c.expected.width);
        EXPECT_EQ(r.height, c.expected.height);
        EXPECT_GE(r.x - 4, 0);
        EXPECT_GE(r.y - 32, 0);
        EXPECT_LE(r.x + r.width + 4, 1024);
        EXPECT_LE(r.y + r.height + 4, 768);
    }
}

TEST(Placement, AMinimumLargerThanTheScreenKeepsTheTopLeftCornerVisible) {
    const PLACE_RECT r =
        PLACE_OnParent({0, 0, 1024, 768}, {0, 0, 1024, 768}, 1400, 900, 1200, 800, 8, 36);
    EXPECT_EQ(r.width, 1200);
    EXPECT_EQ(r.x, 4);
    EXPECT_EQ(r.y, 32);
}

}  // namespace
