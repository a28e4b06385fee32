// The splash window shown while morvex starts: a picture, a status text and a progress bar.
// It stays fully opaque for two seconds once start-up has shown it, then fades out (5 of 255
// per tick) and destroys itself. User-interface thread only.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;

namespace morvex {

class SplashWindow : public QWidget {
    Q_OBJECT

public:
    explicit SplashWindow(QWidget* parent = nullptr);

    // Progress range and position, status text (shown at once).
    void setRange(int minimum, int maximum);
    void setProgress(int position);
    void setStatus(const QString& text);
    QString status() const;
    int progress() const;

    // Starts the hold (`holdMs`, 2000 by default) and the fade-out that ends the window.
    void startFade(int holdMs = 2000);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fadeStep();

    QLabel* status_;
    QProgressBar* bar_;
    QTimer* fade_;
    int opacity_ = 255;  // 0..255
};

}  // namespace morvex
