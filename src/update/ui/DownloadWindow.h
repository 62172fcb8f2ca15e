#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zorvast::update::ui {

// The small untitled window shown while the first data package is fetched.
class DownloadWindow : public QDialog {
    Q_OBJECT
public:
    explicit DownloadWindow(QWidget* parent = nullptr);

    QLabel* label() const { return label_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QPushButton* cancelButton() const { return cancelButton_; }

signals:
    // "取消并退出", or the window being closed: the owner ends the download and the program.
    void cancelRequested();

public slots:
    void reject() override;

private:
    QLabel* label_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace zorvast::update::ui
