#include "channels/ui/ParameterController.h"
#include "common/ui/QtText.h"

#include "channels/Messages.h"
#include "channels/query/TableExport.h"
#include "channels/store/DatabaseStore.h"
#include "channels/ui/ParameterTab.h"
#include "channels/ui/ResultGrid.h"
#include "common/Files.h"
#include "common/Text.h"
#include "common/ui/Dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zorvast::channels::ui {

namespace {

constexpr auto q = common::ui::qText;
constexpr auto text = common::ui::stdText;

// The list's selected item as a choice; a list the start-up has not filled yet stands at its
// initial choice.
template <typename Choice> Choice selectedChoice(const QComboBox* list) {
    return choiceOf<Choice>(text(list->currentText())).value_or(ChoiceTable<Choice>::initial);
}

} // namespace

ParameterController::ParameterController(ParameterTab* tab, ParameterDependencies dependencies,
                                         QObject* parent)
    : QObject(parent), tab_(tab), deps_(std::move(dependencies)) {
    connect(tab_->showResultsButton(), &QPushButton::clicked, this, [this] { runCombinedQuery(); });
    connect(tab_->channelSearchButton(), &QPushButton::clicked, this,
            [this] { runChannelSearch(); });
    connect(tab_->channelSearchEdit(), &QLineEdit::returnPressed, this,
            [this] { runChannelSearch(); });
    connect(tab_->providerShowResultsButton(), &QPushButton::clicked, this,
            [this] { runProviderSearch(); });
    connect(tab_->exportTableButton(), &QPushButton::clicked, this,
            [this] { exportWholeTable(ExportTarget::File); });
    connect(tab_->copyTableButton(), &QPushButton::clicked, this,
            [this] { exportWholeTable(ExportTarget::Clipboard); });
    connect(tab_->copyRowButton(), &QPushButton::clicked, this, [this] { copySelectedRow(); });
    connect(tab_->resultGrid(), &ResultGrid::currentCellChanged, this,
            [this](int, int) { showRowDetails(); });
}

// --- the accesses

void ParameterController::runCombinedQuery() {
    const CombinedSelection selection = {
        .satellite = satelliteChoiceOf(text(tab_->satelliteList()->currentText())),
        .band = selectedChoice<Band>(tab_->bandFilter()),
        .polarisation = selectedChoice<Polarisation>(tab_->polarisationFilter()),
        .access = selectedChoice<Access>(tab_->accessFilter()),
        .kind = selectedChoice<ProgrammeKind>(tab_->formatFilter()),
    };
    channels::runCombinedQuery(*deps_.store, selection, *this);
}

void ParameterController::runChannelSearch() {
    channels::runChannelSearch(*deps_.store, text(tab_->channelSearchEdit()->text()), *this);
}

void ParameterController::runProviderSearch() {
    channels::runProviderSearch(*deps_.store, text(tab_->providerList()->currentText()), *this);
}

// --- exports

void ParameterController::exportWholeTable(ExportTarget target) {
    const GridContent& grid = tab_->resultGrid()->content();
    const bool empty = buildTableText(grid).empty();
    if (target == ExportTarget::Clipboard) {
        if (empty) {
            showMessage(messages::kCaptionCopyFailed, messages::kNothingToCopyText);
            return;
        }
        QGuiApplication::clipboard()->setText(q(finalTableText(grid, statusText())));
        showMessage(messages::kCaptionCopied, messages::kTableCopiedText);
        return;
    }
    if (empty) {
        showMessage(messages::kCaptionSaveFailed, messages::kNothingToSaveText);
        return;
    }
    const std::optional<std::filesystem::path> file = askSaveFile();
    if (!file) {
        showMessage(messages::kCaptionSaveFailed, messages::kNoFileNameText);
        return;
    }
    if (const auto reason = common::writeFileOrReason(
            *file, common::toGbk(finalTableText(grid, statusText())).bytes)) {
        showMessage(messages::kCaptionSaveFailed,
                    messages::kCannotWriteFileText + file->string() + "\r\n" + *reason);
        return;
    }
    showMessage(messages::kCaptionSaved, messages::kTableSavedText + file->string());
}

void ParameterController::copySelectedRow() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const ResultGrid* grid = tab_->resultGrid();
    if (hasChannelRows(grid->content()) && grid->currentGridRow() > 0) {
        clipboard->setText(q(rowCopyText(grid->content(), grid->currentGridRow(),
                                         grid->currentGridColumn(), statusText())));
    }
    if (!clipboard->text().isEmpty()) {
        showMessage(messages::kCaptionRowCopied, messages::kRowCopiedText);
    } else {
        showMessage(messages::kCaptionRowNotCopied, messages::kRowNotCopiedText);
    }
}

void ParameterController::showRowDetails() {
    ResultGrid* grid = tab_->resultGrid();
    const int row = grid->currentGridRow();
    const int column = grid->currentGridColumn();
    if (row <= 0 || column <= 0) {
        return;
    }
    if (column < 4) {
        grid->selectBlock({row, 1, 1, 5});
    } else {
        grid->selectBlock({row, 4, 1, 2});
    }
    const std::string& first = grid->content().text(row, 1);
    if (const std::optional<std::string> code = headingCodeOf(first)) {
        QComboBox* satellites = tab_->satelliteList();
        std::vector<std::string> items;
        for (int i = 0; i < satellites->count(); ++i) {
            items.push_back(text(satellites->itemText(i)));
        }
        if (const auto index = satelliteItemIndexFor(items, *code)) {
            satellites->setCurrentIndex(static_cast<int>(*index));
        }
        tab_->showResultsButton()->setFocus();
        return;
    }
    if (const std::optional<std::string> details = rowDetailsText(grid->content(), row, column)) {
        tab_->detailText()->setText(q(*details));
    }
}

// --- QueryView

void ParameterController::showMessage(const std::string& caption, const std::string& body) {
    if (deps_.showMessage) {
        deps_.showMessage(caption, body);
        return;
    }
    common::ui::showOkMessage(tab_->window(), caption, body, false);
}

void ParameterController::setControlEnabled(QueryControl control, bool enabled) {
    const std::pair<QueryControl, QWidget*> widgets[] = {
        {QueryControl::Grid, tab_->resultGrid()},
        {QueryControl::ShowResults, tab_->showResultsButton()},
        {QueryControl::ProviderShowResults, tab_->providerShowResultsButton()},
        {QueryControl::ChannelSearch, tab_->channelSearchButton()},
    };
    for (const auto& [which, widget] : widgets) {
        if (which == control) {
            widget->setEnabled(enabled);
        }
    }
    // The pointing tab's lists: one call covers both.
    if (control == QueryControl::Provinces && deps_.setPlaceListsEnabled) {
        deps_.setPlaceListsEnabled(enabled);
    }
}

void ParameterController::setProgressMaximum(int maximum) {
    if (deps_.setProgressMaximum) {
        deps_.setProgressMaximum(maximum);
    }
}

void ParameterController::setProgressValue(int value) {
    if (deps_.setProgressValue) {
        deps_.setProgressValue(value);
    }
}

void ParameterController::setProgressText(const std::string& value) {
    if (deps_.setProgressText) {
        deps_.setProgressText(value);
    }
}

void ParameterController::setStatusText(const std::string& value) {
    if (deps_.setStatusText) {
        deps_.setStatusText(value);
    }
}

void ParameterController::showGrid(const GridContent& grid) {
    const bool enabled = tab_->resultGrid()->isEnabled();
    tab_->resultGrid()->setContent(grid);
    tab_->resultGrid()->setEnabled(enabled);
}

void ParameterController::processEvents() {
    QCoreApplication::processEvents();
}

void ParameterController::endProgram() {
    if (deps_.endProgram) {
        deps_.endProgram();
    }
}

void ParameterController::resetSearchBox() {
    tab_->channelSearchEdit()->clear();
    tab_->channelSearchEdit()->setFocus();
    tab_->channelSearchButton()->setEnabled(true);
}

std::string ParameterController::statusText() const {
    return deps_.statusText ? deps_.statusText() : std::string();
}

std::optional<std::filesystem::path> ParameterController::askSaveFile() {
    if (deps_.askSaveFile) {
        return deps_.askSaveFile();
    }
    return common::ui::askSaveFilePath(tab_->window());
}

} // namespace zorvast::channels::ui
