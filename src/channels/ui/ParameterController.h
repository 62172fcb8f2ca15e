// The handlers of the parameter tab: the combined query, the two searches, the exports and
// the row details. The database work and the texts come from the channel core.
#pragma once

#include "channels/query/QueryRun.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zorvast::channels::store {
class DatabaseStore;
}

namespace zorvast::channels::ui {

class ParameterTab;

// What the handlers need from the rest of the main window.
struct ParameterDependencies {
    store::DatabaseStore* store = nullptr;
    std::function<void(const std::string&)> setStatusText;
    std::function<std::string()> statusText;
    std::function<void(const std::string&)> setProgressText;
    std::function<void(int)> setProgressMaximum;
    std::function<void(int)> setProgressValue;
    std::function<void(bool)> setPlaceListsEnabled; // the pointing tab's province and city lists
    std::function<void()> endProgram;
    // A modal box with an OK button; a QMessageBox when unset.
    std::function<void(const std::string& caption, const std::string& text)> showMessage;
    // The file a table is saved to, nothing when the user cancels; a save dialog when unset.
    std::function<std::optional<std::filesystem::path>()> askSaveFile;
};

class ParameterController : public QObject, private QueryView {
    Q_OBJECT
public:
    // Wires the tab's buttons, its search box and its grid to the handlers below.
    ParameterController(ParameterTab* tab, ParameterDependencies dependencies,
                        QObject* parent = nullptr);

private:
    void runCombinedQuery();
    void runChannelSearch();
    void runProviderSearch();
    enum class ExportTarget { File, Clipboard };
    void exportWholeTable(ExportTarget target);
    void copySelectedRow();
    void showRowDetails();

    // QueryView
    void showMessage(const std::string& caption, const std::string& text) override;
    void setControlEnabled(QueryControl control, bool enabled) override;
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void setProgressText(const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void showGrid(const GridContent& grid) override;
    void processEvents() override;
    void endProgram() override;
    void resetSearchBox() override;

    std::string statusText() const;
    std::optional<std::filesystem::path> askSaveFile();

    ParameterTab* tab_;
    ParameterDependencies deps_;
};

} // namespace zorvast::channels::ui
