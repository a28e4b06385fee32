#include "app/panelseparator.h"

#include <QMouseEvent>
#include <QPainter>

namespace morvex {

PanelSeparator::PanelSeparator(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitHCursor);
    setObjectName("panelSeparator");
}

void PanelSeparator::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    grabOffset_ = event->position().toPoint().x();
}

void PanelSeparator::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    int x = mapToParent(event->position().toPoint()).x() - grabOffset_;
    move(x, y());
}

void PanelSeparator::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    emit moved(mapToParent(event->position().toPoint()).x() - grabOffset_);
}

void PanelSeparator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Mid));
}

}  // namespace morvex
