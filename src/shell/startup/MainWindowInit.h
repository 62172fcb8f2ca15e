// Filling the main window from the channel database, on the initialisation worker. Every
// window change goes through MainWindowInitView, whose implementation carries it over to the
// window thread in the order it was issued.
#pragma once

#include "channels/store/DatabaseStore.h"
#include "common/Clock.h"
#include "common/Colour.h"
#include "shell/startup/AppState.h"

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace zorvast::shell {

enum class InitControl {
    ShowResults,         // "显示结果" of the combined conditions
    ProviderShowResults, // "显示结果" of the provider condition
    ChannelSearch,       // "搜 索"
    Calculate,           // "计算"
    ProvinceList,
    CityList,
    TransponderGrid,
    UprightButton,
    InvertedButton,
};

enum class InitList {
    ParameterSatellites,
    PointingSatellites,
    OffsetSatellites,
    BandFilter,
    PolarisationFilter,
    AccessFilter,
    FormatFilter,
    Providers,
};

using common::Rgb;

struct GridRowLayout {
    bool centred = false;
    int textHeight = 0;
    int rowHeight = 0;
    bool bold = false;
};

class MainWindowInitView {
public:
    virtual ~MainWindowInitView() = default;
    virtual void setEnabled(InitControl control, bool enabled) = 0;
    virtual void clearList(InitList list) = 0;
    virtual void addListItem(InitList list, const std::string& text) = 0;
    virtual void removeListItem(InitList list, int index) = 0;
    // An index outside the list leaves it without a selection.
    virtual void selectListItem(InitList list, int index) = 0;
    // Grid rows and columns count from 1.
    virtual void setGridShape(int rows, int columns) = 0;
    virtual void setGridColumnWidths(const std::vector<int>& widths) = 0;
    virtual void setGridText(int row, int column, const std::string& text) = 0;
    virtual void mergeGridRow(int row) = 0;
    virtual void setGridRowBackground(int row, Rgb colour) = 0;
    // Alignment, text height, row height (grid units) and weight of a whole row.
    virtual void setGridRowLayout(int /*row*/, const GridRowLayout& /*layout*/) {}
    virtual void setDetailText(const std::string& text) = 0;
    // "正馈" and "正装" checked.
    virtual void checkFeedDefaults() = 0;
    virtual void showMessage(const std::string& caption, const std::string& text) = 0;
    virtual void processEvents() = 0;
};

// The pointing tab's parts; an empty member does nothing.
struct InitHooks {
    std::function<bool()> extractCityDatabase;
    std::function<void()> fillLocationLists;
    std::function<void()> lookupCityCoordinates;
    std::function<void()> fillAntennaList;
    std::function<void()> createDiagramSprites; // once per process
    std::function<void()> runPointingCalculation;
};

enum class InitOutcome {
    Ready,   // every control enabled
    Busy,    // the database stayed busy: the data controls stay disabled
    Fatal,   // a message was shown; the caller cleans up and ends the program
    Stopped, // the program is closing
};

inline constexpr const char* kPlaceholderItem = "- -";

// Which items the start-up selects, from the position codes in table order.
struct DefaultSelections {
    int parameterIndex = -1; // also the pointing list's, once its placeholder is gone
    int offsetIndex = -1;
};
DefaultSelections defaultSelectionsFor(const std::vector<std::string>& positionCodes);

// `stop` is looked at between the steps; a stop request ends it with Stopped at the next look.
InitOutcome initialiseMainWindow(AppState& state, channels::store::DatabaseStore& store,
                                 MainWindowInitView& view, const InitHooks& hooks,
                                 common::Clock& clock, std::stop_token stop);

} // namespace zorvast::shell
