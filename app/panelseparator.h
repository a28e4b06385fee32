// The draggable vertical separator between the work area and the help panel of the main
// window. It reports where the person dropped it; the window recomputes its layout.
#pragma once

#include <QWidget>

namespace morvex {

class PanelSeparator : public QWidget {
    Q_OBJECT

public:
    explicit PanelSeparator(QWidget* parent = nullptr);

signals:
    // The separator was dragged to `x` (in its parent's coordinates).
    void moved(int x);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool dragging_ = false;
    int grabOffset_ = 0;  // where the separator was grabbed, from its left edge
};

}  // namespace morvex
