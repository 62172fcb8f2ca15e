#include "channels/query/QueryRun.h"

#include "channels/Messages.h"
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/store/DatabaseStore.h"

#include <chrono>

namespace zorvast::channels {

namespace {

using Clock = std::chrono::steady_clock;

// Pending window events run every few milliseconds of reading, not after every row.
constexpr auto kEventSlice = std::chrono::milliseconds(15);

ChannelRecord readRecord(const jet::JetCursor& cursor) {
    ChannelRecord r;
    r.loca = cursor.readText("s_loca").value_or("");
    r.name = cursor.readText("s_name").value_or("");
    r.freq = cursor.readInteger("s_freq").value_or(0);
    r.pola = cursor.readText("s_pola").value_or("");
    r.sr = cursor.readInteger("s_sr").value_or(0);
    r.ch = cursor.readText("s_ch").value_or("");
    r.sys = cursor.readText("s_sys").value_or("");
    r.free = cursor.readBoolean("s_free").value_or(false);
    r.upda = cursor.readText("s_upda").value_or("");
    return r;
}

// Steps 1 to 3 of every access; false when the access is abandoned.
bool beginAccess(store::DatabaseStore& store, const std::string& fatalCaption,
                 const std::string& busyCaption, const std::vector<QueryControl>& controls,
                 QueryView& view, QueryOutcome& outcome) {
    if (!store.prepareWorkingCopy()) {
        view.showMessage(fatalCaption, messages::kReadFailureText);
        store.cleanupWorkFiles();
        view.endProgram();
        outcome = QueryOutcome::Fatal;
        return false;
    }
    if (store.waitForDatabase()) {
        view.showMessage(busyCaption, messages::kBusyText);
        outcome = QueryOutcome::Busy;
        return false;
    }
    store.databaseBusy() = true;
    for (QueryControl control : controls) {
        view.setControlEnabled(control, false);
    }
    return true;
}

void endAccess(store::DatabaseStore& store, const std::vector<QueryControl>& controls,
               QueryView& view) {
    store.removeWorkingCopy();
    for (QueryControl control : controls) {
        view.setControlEnabled(control, true);
    }
    view.processEvents();
    store.databaseBusy() = false;
}

// Reads with the progress bar moving, letting the window paint on a time slice.
std::vector<ChannelRecord> readWithProgress(store::DatabaseStore& store,
                                            const jet::FilterExpr& filter, QueryView& view) {
    auto lastEvents = Clock::now();
    auto rows =
        readChannelRows(store.paths().workDatabasePath.string(), filter, [&](int read, int total) {
            if (read == 0) {
                view.setProgressMaximum(total);
                return;
            }
            view.setProgressValue(read);
            if (Clock::now() - lastEvents >= kEventSlice) {
                view.processEvents();
                lastEvents = Clock::now();
            }
        });
    return rows.value_or(std::vector<ChannelRecord>{});
}

} // namespace

std::optional<std::vector<ChannelRecord>>
readChannelRows(const std::string& databasePath, const jet::FilterExpr& filter,
                const std::function<void(int read, int total)>& onRow) {
    jet::JetConnection connection;
    if (!connection.open(databasePath)) {
        return std::nullopt;
    }
    jet::JetCursor cursor;
    cursor.attach(connection);
    if (!cursor.openQuery(jet::orderedQueryText("sat", jet::kChannelOrdering))) {
        return std::nullopt;
    }
    cursor.moveFirst();
    cursor.setFilter(jet::FilterExpr());
    if (!cursor.setFilter(filter)) {
        return std::nullopt;
    }
    const int total = cursor.recordCount();
    if (onRow) {
        onRow(0, total);
    }
    std::vector<ChannelRecord> rows;
    rows.reserve(static_cast<std::size_t>(total));
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
        rows.push_back(readRecord(cursor));
        if (onRow) {
            onRow(static_cast<int>(rows.size()), total);
        }
    }
    cursor.setFilter(jet::FilterExpr());
    cursor.close();
    connection.close();
    return rows;
}

QueryOutcome runCombinedQuery(store::DatabaseStore& store, const CombinedSelection& selection,
                              QueryView& view) {
    const std::vector<QueryControl> controls = {
        QueryControl::Grid,          QueryControl::ShowResults, QueryControl::ProviderShowResults,
        QueryControl::ChannelSearch, QueryControl::Provinces,   QueryControl::Cities};
    QueryOutcome outcome = QueryOutcome::Shown;
    if (!beginAccess(store, messages::kCaptionError102, messages::kCaptionError116, controls, view,
                     outcome)) {
        return outcome;
    }
    view.setProgressText(messages::kReadingProgressText);
    const std::vector<ChannelRecord> rows =
        readWithProgress(store, buildCombinedFilter(selection), view);
    if (rows.size() > 1) {
        view.setProgressText(messages::kArrangingProgressText);
    }
    const QueryGrid result = combinedQueryGrid(rows, selection);
    view.setStatusText(result.statusText);
    view.showGrid(result.grid);
    view.setProgressText(messages::kReadDoneText);
    endAccess(store, controls, view);
    return outcome;
}

QueryOutcome runSatelliteSearch(store::DatabaseStore& store, const SearchRequest& request,
                                QueryView& view) {
    QueryOutcome outcome = QueryOutcome::Shown;
    if (!beginAccess(store, request.fatalCaption, request.busyCaption, request.controls, view,
                     outcome)) {
        return outcome;
    }
    view.setProgressText(messages::kSearchingProgressText);
    const std::vector<ChannelRecord> rows = readWithProgress(store, request.filter, view);
    if (rows.size() > 1) {
        view.setProgressText(messages::kArrangingProgressText);
    }
    const QueryGrid result = searchGrid(rows, request.texts);
    view.setStatusText(result.statusText);
    view.showGrid(result.grid);
    view.setProgressText(messages::kSearchDoneText);
    endAccess(store, request.controls, view);
    return outcome;
}

QueryOutcome runChannelSearch(store::DatabaseStore& store, const std::string& typedText,
                              QueryView& view) {
    const SearchTextError error = checkSearchText(typedText);
    if (error != SearchTextError::None) {
        view.showMessage(messages::kCaptionInputError, std::string(searchTextErrorMessage(error)));
        view.resetSearchBox();
        return QueryOutcome::InputRefused;
    }
    SearchRequest request;
    request.filter = channelFilterOf(typedText);
    request.fatalCaption = messages::kCaptionError103;
    request.busyCaption = messages::kCaptionError106;
    request.controls = {QueryControl::ShowResults, QueryControl::ProviderShowResults,
                        QueryControl::ChannelSearch};
    request.texts = [typedText](int n) {
        return channelSearchTexts(typedText, n);
    };
    return runSatelliteSearch(store, request, view);
}

QueryOutcome runProviderSearch(store::DatabaseStore& store, const std::string& provider,
                               QueryView& view) {
    SearchRequest request;
    request.filter = providerFilterOf(provider);
    request.fatalCaption = messages::kCaptionError104;
    request.busyCaption = messages::kCaptionError106;
    request.controls = {QueryControl::ShowResults, QueryControl::ProviderShowResults,
                        QueryControl::ChannelSearch, QueryControl::Provinces, QueryControl::Cities};
    request.texts = [provider](int n) {
        return providerSearchTexts(provider, n);
    };
    return runSatelliteSearch(store, request, view);
}

} // namespace zorvast::channels
