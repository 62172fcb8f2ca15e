// The start-up's modal boxes, owned by the main window. Callable from any thread: the box
// opens on the window thread and the caller waits for the answer.
#pragma once

#include "shell/startup/StartUp.h"

#include <string>

class QWidget;

namespace zorvast::shell::ui {

// A warning with "重试" and "取消".
Answer askRetryCancelBox(QWidget* owner, const std::string& caption, const std::string& text);

// Information with "确定".
void showInformationBox(QWidget* owner, const std::string& caption, const std::string& text);

} // namespace zorvast::shell::ui
