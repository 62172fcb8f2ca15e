// The local-pages step's window side: the pages in their browser views, the status line and
// the forum's quick-entry list. Calls from the worker are carried over to the window thread in
// order.
#pragma once

#include "shell/startup/LocalPagesStep.h"

namespace zorvast::shell::ui {

class MainWindow;

class LocalPagesWindowView final : public LocalPagesView {
public:
    explicit LocalPagesWindowView(MainWindow& window);

    void showPage(info::PageView view, const std::filesystem::path& file) override;
    void setStatusText(const std::string& text) override;
    void setForumSections(const std::vector<std::string>& names) override;
    void processEvents() override;

private:
    MainWindow* window_;
};

} // namespace zorvast::shell::ui
