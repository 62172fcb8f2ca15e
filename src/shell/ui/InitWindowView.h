// The main-window initialisation's window side: its lists, controls and grid mapped onto the
// tabs' widgets. Every call may come from the initialisation worker and is carried over to the
// window thread in the order it was made.
#pragma once

#include "shell/startup/MainWindowInit.h"

namespace zorvast::shell::ui {

class MainWindow;

class InitWindowView final : public MainWindowInitView {
public:
    explicit InitWindowView(MainWindow& window);

    void setEnabled(InitControl control, bool enabled) override;
    void clearList(InitList list) override;
    void addListItem(InitList list, const std::string& text) override;
    void removeListItem(InitList list, int index) override;
    void selectListItem(InitList list, int index) override;
    void setGridShape(int rows, int columns) override;
    void setGridColumnWidths(const std::vector<int>& widths) override;
    void setGridText(int row, int column, const std::string& text) override;
    void mergeGridRow(int row) override;
    void setGridRowBackground(int row, Rgb colour) override;
    void setGridRowLayout(int row, const GridRowLayout& layout) override;
    void setDetailText(const std::string& text) override;
    void checkFeedDefaults() override;
    void showMessage(const std::string& caption, const std::string& text) override;
    void processEvents() override;

private:
    MainWindow* window_;
};

} // namespace zorvast::shell::ui
