#include "update/ui/DownloadWindow.h"

#include "update/Messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zorvast::update::ui {

DownloadWindow::DownloadWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString());
    setFixedSize(280, 75);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    setFont(font);

    label_ = new QLabel(QString::fromUtf8(kLabelDownloading), this);
    label_->setTextFormat(Qt::PlainText);
    // The failure texts run to two lines in this narrow window.
    label_->setWordWrap(true);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    progressBar_ = new QProgressBar(this);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setFixedHeight(14);
    cancelButton_ = new QPushButton(QString::fromUtf8(kButtonCancelAndExit), this);
    cancelButton_->setAutoDefault(false);
    cancelButton_->setFixedHeight(24);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 4, 10, 6);
    layout->setSpacing(3);
    layout->addWidget(label_, 1);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(progressBar_, 1);
    row->addWidget(cancelButton_);
    layout->addLayout(row);

    connect(cancelButton_, &QPushButton::clicked, this, &DownloadWindow::cancelRequested);
}

// Escape and the window's close box mean the same as the button; the owner decides when
// the window goes away.
void DownloadWindow::reject() {
    emit cancelRequested();
}

} // namespace zorvast::update::ui
