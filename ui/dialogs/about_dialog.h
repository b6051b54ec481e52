// The About dialog (menu 301), also shown once as the splash at start-up: the product artwork
// (the skin's ProductArt image) and "Version: V3.04.03" in a captionless, thinly bordered
// window in the middle of its owner. It closes on a click inside it, on Enter (OK), on Escape
// (Cancel) or by itself ABOUT_CLOSE_MS after it shows.
#pragma once

#include <QDialog>

class QLabel;
class QPixmap;
class QTimer;

namespace zv {

constexpr int ABOUT_CLOSE_MS = 3000;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // art: skin.image(SkinId::ProductArt).
    explicit AboutDialog(const QPixmap& art, QWidget* parent = nullptr);

    QLabel* version_label() const { return version_; }  // 1042
    QTimer* close_timer() const { return timer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* version_;
    QTimer* timer_;
};

}  // namespace zv
