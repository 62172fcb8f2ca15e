// The parameter tab's database accesses: the combined query and the two searches, each in the
// order every reader of the channel database follows (working copy, wait, busy flag, read,
// clean up). The window side is reached through QueryView.
#pragma once

#include "channels/query/ChannelQuery.h"

#include <string>
#include <vector>

namespace zorvast::channels::store {
class DatabaseStore;
}

namespace zorvast::channels {

enum class QueryControl {
    Grid,
    ShowResults,         // "组合条件："
    ProviderShowResults, // "单项条件："
    ChannelSearch,       // "搜 索"
    Provinces,           // the pointing tab's lists
    Cities,
};

class QueryView {
public:
    virtual ~QueryView() = default;
    virtual void showMessage(const std::string& caption, const std::string& text) = 0;
    virtual void setControlEnabled(QueryControl control, bool enabled) = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setProgressText(const std::string& text) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void showGrid(const GridContent& grid) = 0;
    virtual void processEvents() = 0;
    // After a fatal message and the clean-up: the program must end.
    virtual void endProgram() = 0;
    // The channel-name box after a refused input: emptied, focused, its button enabled.
    virtual void resetSearchBox() {}
};

enum class QueryOutcome { Shown, InputRefused, Busy, Fatal };

QueryOutcome runCombinedQuery(store::DatabaseStore& store, const CombinedSelection& selection,
                              QueryView& view);
QueryOutcome runChannelSearch(store::DatabaseStore& store, const std::string& typedText,
                              QueryView& view);
QueryOutcome runProviderSearch(store::DatabaseStore& store, const std::string& provider,
                               QueryView& view);

// What the two searches hand to the shared procedure.
struct SearchRequest {
    jet::FilterExpr filter;
    std::string fatalCaption;
    std::string busyCaption;
    std::vector<QueryControl> controls;
    std::function<SearchTexts(int n)> texts;
};
QueryOutcome runSatelliteSearch(store::DatabaseStore& store, const SearchRequest& request,
                                QueryView& view);

// The filtered rows of table `sat` in channel order, read from a database file; nothing when
// it cannot be opened or the filter does not fit the table. `onRow` sees each row as it is read.
std::optional<std::vector<ChannelRecord>>
readChannelRows(const std::string& databasePath, const jet::FilterExpr& filter,
                const std::function<void(int read, int total)>& onRow = {});

} // namespace zorvast::channels
