#include "shell/ui/InitWindowView.h"

#include "channels/ui/ParameterTab.h"
#include "channels/ui/ResultGrid.h"
#include "common/ui/QtText.h"
#include "common/ui/UiThread.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/MessageBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace zorvast::shell::ui {

namespace {

constexpr auto q = common::ui::qText;
using common::ui::postToUi;

QComboBox* listFor(MainWindow* w, InitList list) {
    auto* p = w->parameterTab();
    switch (list) {
    case InitList::ParameterSatellites:
        return p->satelliteList();
    case InitList::PointingSatellites:
        return w->pointingTab()->satelliteList();
    case InitList::OffsetSatellites:
        return w->pointingTab()->offsetSatelliteList();
    case InitList::BandFilter:
        return p->bandFilter();
    case InitList::PolarisationFilter:
        return p->polarisationFilter();
    case InitList::AccessFilter:
        return p->accessFilter();
    case InitList::FormatFilter:
        return p->formatFilter();
    case InitList::Providers:
        return p->providerList();
    }
    return nullptr;
}

QWidget* controlFor(MainWindow* w, InitControl control) {
    auto* p = w->parameterTab();
    auto* t = w->pointingTab();
    switch (control) {
    case InitControl::ShowResults:
        return p->showResultsButton();
    case InitControl::ProviderShowResults:
        return p->providerShowResultsButton();
    case InitControl::ChannelSearch:
        return p->channelSearchButton();
    case InitControl::Calculate:
        return t->calculateButton();
    case InitControl::ProvinceList:
        return t->provinceList();
    case InitControl::CityList:
        return t->cityList();
    case InitControl::TransponderGrid:
        return p->resultGrid();
    case InitControl::UprightButton:
        return t->uprightButton();
    case InitControl::InvertedButton:
        return t->invertedButton();
    }
    return nullptr;
}

// The whole width of a grid row.
channels::CellBlock wholeRow(channels::ui::ResultGrid* grid, int row) {
    return {.row = row, .column = 1, .rows = 1, .columns = grid->content().columnCount()};
}

} // namespace

InitWindowView::InitWindowView(MainWindow& window) : window_(&window) {}

void InitWindowView::setEnabled(InitControl control, bool enabled) {
    postToUi(window_,
             [w = window_, control, enabled] { controlFor(w, control)->setEnabled(enabled); });
}

void InitWindowView::clearList(InitList list) {
    postToUi(window_, [w = window_, list] { listFor(w, list)->clear(); });
}

void InitWindowView::addListItem(InitList list, const std::string& text) {
    postToUi(window_, [w = window_, list, t = q(text)] { listFor(w, list)->addItem(t); });
}

void InitWindowView::removeListItem(InitList list, int index) {
    postToUi(window_, [w = window_, list, index] { listFor(w, list)->removeItem(index); });
}

void InitWindowView::selectListItem(InitList list, int index) {
    postToUi(window_, [w = window_, list, index] {
        QComboBox* box = listFor(w, list);
        const QSignalBlocker quiet(box); // selecting from code runs no handler
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
    });
}

void InitWindowView::setGridShape(int rows, int columns) {
    postToUi(window_, [w = window_, rows, columns] {
        w->parameterTab()->resultGrid()->resizeGrid(rows, columns);
    });
}

void InitWindowView::setGridColumnWidths(const std::vector<int>& widths) {
    postToUi(window_, [w = window_, widths] {
        for (std::size_t c = 0; c < widths.size(); ++c) {
            w->parameterTab()->resultGrid()->setColumnWidthUnits(static_cast<int>(c) + 1,
                                                                 widths[c]);
        }
    });
}

void InitWindowView::setGridText(int row, int column, const std::string& text) {
    postToUi(window_, [w = window_, row, column, text] {
        w->parameterTab()->resultGrid()->setCellText(row, column, text);
    });
}

void InitWindowView::mergeGridRow(int row) {
    postToUi(window_, [w = window_, row] {
        channels::ui::ResultGrid* grid = w->parameterTab()->resultGrid();
        grid->mergeBlock(wholeRow(grid, row));
    });
}

void InitWindowView::setGridRowBackground(int row, Rgb colour) {
    postToUi(window_, [w = window_, row, colour] {
        channels::ui::ResultGrid* grid = w->parameterTab()->resultGrid();
        grid->setBlockBackground(wholeRow(grid, row), colour);
    });
}

void InitWindowView::setGridRowLayout(int row, const GridRowLayout& layout) {
    postToUi(window_, [w = window_, row, layout] {
        channels::ui::ResultGrid* grid = w->parameterTab()->resultGrid();
        const channels::CellBlock whole = wholeRow(grid, row);
        grid->setBlockAlign(whole, layout.centred ? channels::CellAlign::Centre
                                                  : channels::CellAlign::Left);
        grid->setBlockTextHeight(whole, layout.textHeight);
        grid->setBlockBold(whole, layout.bold);
        grid->setRowHeightUnits(row, layout.rowHeight);
    });
}

void InitWindowView::setDetailText(const std::string& text) {
    postToUi(window_, [w = window_, t = q(text)] { w->parameterTab()->detailText()->setText(t); });
}

void InitWindowView::checkFeedDefaults() {
    postToUi(window_, [w = window_] {
        w->pointingTab()->primeFeedButton()->setChecked(true);
        w->pointingTab()->uprightButton()->setChecked(true);
    });
}

void InitWindowView::showMessage(const std::string& caption, const std::string& text) {
    showInformationBox(window_, caption, text);
}

void InitWindowView::processEvents() {
    common::ui::processUiEvents();
}

} // namespace zorvast::shell::ui
