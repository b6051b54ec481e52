#include "ui/dialogs/about_dialog.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"

namespace zv {

AboutDialog::AboutDialog(const QPixmap& art, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(QString::fromUtf8(APP_MESSAGE_CAPTION));
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);

    auto* picture = new QLabel(frame);
    picture->setPixmap(art);
    picture->setAlignment(Qt::AlignCenter);
    version_ =
        new QLabel(dialog_text(ABOUT_VERSION_PREFIX) + QString::fromUtf8(VERSION_TEXT), frame);

    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(1, 1, 1, 4);
    inner->addWidget(picture);
    inner->addWidget(version_);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(ABOUT_CLOSE_MS);
    connect(timer_, &QTimer::timeout, this, &QDialog::accept);
    connect(this, &QDialog::finished, timer_, &QTimer::stop);
}

void AboutDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    timer_->start();
}

void AboutDialog::mousePressEvent(QMouseEvent* event) {
    event->accept();
    accept();
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);  // Escape rejects
}

}  // namespace zv
