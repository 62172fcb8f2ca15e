#include "app/QueryCommands.h"

#include "app/CliSupport.h"
#include "channels/Messages.h"
#include "channels/query/ChannelQuery.h"
#include "channels/query/QueryRun.h"
#include "channels/query/TableExport.h"
#include "common/Text.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::app {

namespace {

using namespace zorvast::channels;

// The choice options of `table`, each listing its list's item texts.
std::string tableUsageText() {
    return "  zorvast-cli table --sat CODE [--band " + joinedLabels<Band>("|") + "] [--pol " +
           joinedLabels<Polarisation>("|") + "]\n" + "                    [--access " +
           joinedLabels<Access>("|") + "]\n" + "                    [--format " +
           joinedLabels<ProgrammeKind>("|") + "]\n" +
           "                    [--package PATH] [--gbk]\n";
}

const std::string kTableUsageText = tableUsageText();

} // namespace

const char* const kTableUsage = kTableUsageText.c_str();
const char* const kSearchUsage = "  zorvast-cli search --name TEXT [--package PATH] [--gbk]\n";
const char* const kProviderUsage = "  zorvast-cli provider --name TEXT [--package PATH] [--gbk]\n";

namespace {

namespace fs = std::filesystem;

// The tab as far as a terminal needs it: the last message, the status text and the grid.
// Progress and window events have nothing to show here.
class RecordingView final : public QueryView {
public:
    void showMessage(const std::string&, const std::string& text) override { message = text; }
    void setControlEnabled(QueryControl, bool) override {}
    void setProgressMaximum(int) override {}
    void setProgressValue(int) override {}
    void setProgressText(const std::string&) override {}
    void setStatusText(const std::string& text) override { statusText = text; }
    void showGrid(const GridContent& shown) override { grid = shown; }
    void processEvents() override {}
    void endProgram() override { ended = true; }

    std::string message;
    std::string statusText;
    GridContent grid;
    bool ended = false;
};

// What every query command takes besides its own options.
struct OutputOptions {
    std::optional<fs::path> package;
    bool gbk = false;
};

// True when `option` is one of the shared ones (and takes it).
bool takeShared(OutputOptions& o, const std::string& option, const std::string& value) {
    if (option == "--gbk") {
        o.gbk = true;
        return true;
    }
    if (option == "--package") {
        o.package = fs::path(value);
        return true;
    }
    return false;
}

// The choice whose item text `value` is.
template <typename Choice>
Choice choiceOption(const std::string& option, const std::string& value) {
    if (const std::optional<Choice> choice = choiceOf<Choice>(value)) {
        return *choice;
    }
    fail(oneLine(option + " takes one of " + joinedLabels<Choice>(", ") + "; not " + value));
}

// The run's outcome turned into the exit: the whole-table text on stdout, or the reason.
int printTable(QueryOutcome outcome, const RecordingView& view, bool gbk) {
    switch (outcome) {
    case QueryOutcome::InputRefused:
        throw CommandError{2, view.message};
    case QueryOutcome::Busy:
        throw CommandError{1,
                           view.message.empty() ? std::string(messages::kBusyText) : view.message};
    case QueryOutcome::Fatal:
        throw CommandError{1, view.message.empty() ? std::string(messages::kReadFailureText)
                                                   : view.message};
    case QueryOutcome::Shown:
        break;
    }
    if (view.ended) {
        throw CommandError{1, view.message.empty() ? std::string(messages::kReadFailureText)
                                                   : view.message};
    }
    if (buildTableText(view.grid).empty()) {
        throw CommandError{1, std::string(messages::kNothingToSaveText)};
    }
    const std::string text = finalTableText(view.grid, view.statusText);
    writeOutput(gbk ? common::toGbk(text).bytes : text);
    return 0;
}

int table(const std::vector<std::string>& args) {
    OutputOptions output;
    std::optional<std::string> code;
    CombinedSelection selection;
    readOptions(args, {"--gbk"}, {"--sat", "--band", "--pol", "--access", "--format", "--package"},
                [&](const std::string& option, const std::string& value) {
                    if (takeShared(output, option, value)) {
                        return;
                    }
                    if (option == "--sat") {
                        code = value;
                    } else if (option == "--band") {
                        selection.band = choiceOption<Band>(option, value);
                    } else if (option == "--pol") {
                        selection.polarisation = choiceOption<Polarisation>(option, value);
                    } else if (option == "--access") {
                        selection.access = choiceOption<Access>(option, value);
                    } else {
                        selection.kind = choiceOption<ProgrammeKind>(option, value);
                    }
                });
    if (!code || code->empty()) {
        fail("no satellite given: --sat CODE");
    }

    Workspace workspace;
    {
        // Closed again before the query rebuilds the working copy.
        SatelliteList satellites(dataPackagePath(output.package), workspace.store());
        // Read back from the item text the tab's list would show, as the tab reads it.
        selection.satellite = satelliteChoiceOf(*code + "（" + satellites.find(*code).name + "）");
    }
    RecordingView view;
    const QueryOutcome outcome = runCombinedQuery(workspace.store(), selection, view);
    return printTable(outcome, view, output.gbk);
}

// The options of the two searches: the text to look for and the shared ones.
struct SearchOptions {
    OutputOptions output;
    std::string name;
};

SearchOptions parseSearchOptions(const std::vector<std::string>& args) {
    SearchOptions o;
    bool named = false;
    readOptions(args, {"--gbk"}, {"--name", "--package"},
                [&](const std::string& option, const std::string& value) {
                    if (!takeShared(o.output, option, value)) {
                        o.name = value;
                        named = true;
                    }
                });
    if (!named) {
        fail("no name given: --name TEXT");
    }
    return o;
}

using SearchRun = QueryOutcome (*)(store::DatabaseStore&, const std::string&, QueryView&);

// `search` and `provider`: the named text looked for by `run` in the unpacked package.
int searchCommand(const std::vector<std::string>& args, SearchRun run) {
    const SearchOptions o = parseSearchOptions(args);
    Workspace workspace;
    unpackDataPackage(dataPackagePath(o.output.package), workspace.store());
    RecordingView view;
    const QueryOutcome outcome = run(workspace.store(), o.name, view);
    return printTable(outcome, view, o.output.gbk);
}

} // namespace

int runTableCommand(const std::vector<std::string>& args) {
    return runReportingErrors([&args] { return table(args); });
}

int runSearchCommand(const std::vector<std::string>& args) {
    return runReportingErrors([&args] { return searchCommand(args, runChannelSearch); });
}

int runProviderCommand(const std::vector<std::string>& args) {
    return runReportingErrors([&args] { return searchCommand(args, runProviderSearch); });
}

} // namespace zorvast::app
