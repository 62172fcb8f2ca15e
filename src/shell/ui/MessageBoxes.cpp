#include "shell/ui/MessageBoxes.h"

#include "common/ui/Dialogs.h"
#include "common/ui/QtText.h"
#include "common/ui/UiThread.h"
#include "shell/Messages.h"

#include <QMessageBox>
#include <QPushButton>

namespace zorvast::shell::ui {

namespace {

constexpr auto q = common::ui::qText;

} // namespace

Answer askRetryCancelBox(QWidget* owner, const std::string& caption, const std::string& text) {
    Answer answer = Answer::Cancel;
    common::ui::runOnUi(owner, [&] {
        QMessageBox box(QMessageBox::Warning, q(caption), q(text), QMessageBox::NoButton, owner);
        box.addButton(q(messages::kButtonRetry), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(q(messages::kButtonCancel), QMessageBox::RejectRole);
        box.exec();
        answer = box.clickedButton() == cancel ? Answer::Cancel : Answer::Retry;
    });
    return answer;
}

void showInformationBox(QWidget* owner, const std::string& caption, const std::string& text) {
    common::ui::runOnUi(owner, [&] { common::ui::showOkMessage(owner, caption, text, false); });
}

} // namespace zorvast::shell::ui
