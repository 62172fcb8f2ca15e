// The message box and the save dialog every tab uses.
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace zorvast::common::ui {

// A modal box with one "确定" button.
inline void showOkMessage(QWidget* parent, const std::string& caption, const std::string& text,
                          bool warning) {
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information,
                    QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

// A new save dialog each time, so every save starts with an empty name; "txt" is added to a
// name without an extension. Nothing when the user cancels.
inline std::optional<std::filesystem::path> askSaveFilePath(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty() ||
        dialog.selectedFiles().first().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

} // namespace zorvast::common::ui
