#include "app/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "appcore/placement.h"
#include "desktop/pictures.h"

namespace morvex {

namespace {

// Title bar and borders a window manager adds, before the window has ever been shown.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 36;

PLACE_RECT placeRect(const QRect& r) {
    return PLACE_RECT{r.x(), r.y(), r.width(), r.height()};
}

}  // namespace

void placeOnParent(QWidget* window, QWidget* parent, QSize wanted, QRect screen) {
    if (!window) return;
    QWidget* owner = parent ? parent->window() : nullptr;
    // The pictures of --screenshots are drawn for the screen they name.
    if (screen.isEmpty() && qEnvironmentVariableIsSet("MORVEX_SCREEN_SIZE"))
        screen = QRect(QPoint(0, 0), pictureScreenSize());
    if (screen.isEmpty()) {
        QScreen* on = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
        if (on) screen = on->availableGeometry();
    }
    if (screen.isEmpty()) {
        window->resize(wanted);
        return;
    }
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    int frameWidth = kFrameWidth;
    int frameHeight = kFrameHeight;
    if (window->isVisible()) {
        frameWidth = window->frameGeometry().width() - window->width();
        frameHeight = window->frameGeometry().height() - window->height();
    }
    const QRect around = owner && owner->isVisible() ? owner->frameGeometry() : QRect();
    const PLACE_RECT place = PLACE_OnParent(placeRect(around), placeRect(screen), wanted.width(),
                                            wanted.height(), std::max(0, minimum.width()),
                                            std::max(0, minimum.height()), frameWidth, frameHeight);
    window->setGeometry(place.x, place.y, place.width, place.height);
}

}  // namespace morvex
