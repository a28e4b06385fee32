// Windows opened on their parent and whole on a 1024×768 screen (appcore/placement.h).
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace morvex {

// Gives `window` the size `wanted` when the screen has room for it (else the screen's room,
// never below its minimum size), centred on `parent` (the screen when none) and whole on the
// screen `screen` (an empty one: the screen $MORVEX_SCREEN_SIZE names for the pictures of
// --screenshots, else the available area of the parent's screen, or of the primary one). Call once
// the window's layout is built, before it is shown.
void placeOnParent(QWidget* window, QWidget* parent, QSize wanted, QRect screen = QRect());

}  // namespace morvex
