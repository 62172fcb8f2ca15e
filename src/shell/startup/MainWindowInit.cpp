#include "shell/startup/MainWindowInit.h"

#include "channels/Messages.h"
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/query/Selection.h"
#include "common/Files.h"
#include "common/Hooks.h"
#include "pointing/report/SatelliteInfo.h"
#include "shell/Messages.h"

namespace zorvast::shell {

using namespace std::chrono_literals;

namespace {

constexpr Rgb kHintColour{255, 255, 150};
constexpr Rgb kShadeColour{240, 240, 255};
constexpr int kPointingSearchStart = 26; // the pointing list still holds its placeholder
constexpr int kOffsetSearchStart = 31;

const InitControl kDataControls[] = {
    InitControl::ShowResults,     InitControl::ProviderShowResults, InitControl::ChannelSearch,
    InitControl::Calculate,       InitControl::ProvinceList,        InitControl::CityList,
    InitControl::TransponderGrid,
};

void fillList(MainWindowInitView& view, InitList list, const channels::ChoiceItems& items) {
    view.clearList(list);
    for (std::string_view item : items.labels) {
        view.addListItem(list, std::string(item));
    }
    view.selectListItem(list, items.initial);
}

} // namespace

DefaultSelections defaultSelectionsFor(const std::vector<std::string>& codes) {
    DefaultSelections result;
    // The pointing list: the placeholder, then one item per satellite, each starting with
    // its position code.
    const int pointingCount = static_cast<int>(codes.size()) + 1;
    int i = kPointingSearchStart;
    while (i < pointingCount && codes[static_cast<std::size_t>(i - 1)].rfind("E115.5", 0) != 0) {
        ++i;
    }
    result.parameterIndex = i - 1;
    // The offset list, placeholder removed: the codes alone.
    int j = kOffsetSearchStart;
    while (j < static_cast<int>(codes.size()) && codes[static_cast<std::size_t>(j)] != "E125") {
        ++j;
    }
    result.offsetIndex = j;
    return result;
}

InitOutcome initialiseMainWindow(AppState& state, channels::store::DatabaseStore& store,
                                 MainWindowInitView& view, const InitHooks& hooks,
                                 common::Clock& clock, std::stop_token stop) {
    for (InitControl control : kDataControls) {
        view.setEnabled(control, false);
    }
    if (!common::fileExists(state.paths.storedFile)) {
        clock.sleepFor(6000ms); // a data update may be replacing it
    }
    if (stop.stop_requested()) {
        return InitOutcome::Stopped;
    }
    if (!store.prepareWorkingCopy()) {
        view.showMessage(messages::kCaptionError105, messages::kDataReadError);
        return InitOutcome::Fatal;
    }
    if (store.waitForDatabase()) {
        view.showMessage(messages::kCaptionError106, channels::messages::kBusyText);
        return InitOutcome::Busy;
    }

    store.databaseBusy() = true;
    std::vector<SatelliteEntry> satellites;
    std::vector<std::string> providers;
    bool readOk = false;
    {
        channels::jet::JetConnection connection;
        channels::jet::JetCursor cursor;
        cursor.attach(connection);
        if (connection.open(state.paths.workDatabasePath.string()) && cursor.openTable("satlist")) {
            readOk = true;
            const int rows = cursor.recordCount();
            view.setGridShape(rows + 2, 5);
            view.setGridColumnWidths({120, 140, 130, 420, 100});
            for (int c = 0; c < 5; ++c) {
                view.setGridText(1, c + 1, messages::kGridColumnTitles[c]);
            }
            view.setGridRowLayout(
                1, {.centred = true, .textHeight = 33, .rowHeight = 48, .bold = true});
            view.mergeGridRow(2);
            view.setGridRowLayout(2, {.centred = true, .textHeight = 29});
            view.setGridText(2, 1, messages::kGridHint);
            view.setGridRowBackground(2, kHintColour);

            for (InitList list : {InitList::ParameterSatellites, InitList::PointingSatellites,
                                  InitList::OffsetSatellites}) {
                view.clearList(list);
                view.addListItem(list, kPlaceholderItem);
            }
            int j = 3;
            for (cursor.moveFirst(); !cursor.atEnd() && !stop.stop_requested(); cursor.moveNext()) {
                SatelliteEntry e;
                e.s_loca = cursor.readText("s_loca").value_or("");
                if (e.s_loca.empty()) {
                    continue;
                }
                if (satellites.size() == kSatelliteCapacity) {
                    break; // the satellite lists hold 70
                }
                e.s_name = cursor.readText("s_name").value_or("");
                e.s_c = cursor.readText("s_c").value_or("");
                e.s_ku = cursor.readText("s_ku").value_or("");
                e.s_min = cursor.readText("s_min").value_or("");
                e.s_max = cursor.readText("s_max").value_or("");
                e.s_rema = cursor.readText("s_rema").value_or("");
                view.addListItem(InitList::ParameterSatellites, e.s_loca + "（" + e.s_name + "）");
                view.addListItem(InitList::PointingSatellites, e.s_loca + "(" + e.s_name + ")");
                view.addListItem(InitList::OffsetSatellites, e.s_loca);
                view.setGridText(rows + 5 - j, 1,
                                 messages::kOverviewIndent + e.s_loca + "【" + e.s_name + "】");
                view.mergeGridRow(j);
                view.setGridRowLayout(j, {.textHeight = 34, .rowHeight = 48});
                if (j % 2 == 0) {
                    view.setGridRowBackground(j, kShadeColour);
                }
                ++j;
                satellites.push_back(std::move(e));
            }
            cursor.close();
            if (cursor.openTable("sup")) {
                for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
                    std::string name = cursor.readText("s_upda").value_or("");
                    if (!name.empty()) {
                        providers.push_back(std::move(name));
                    }
                }
            }
        }
    }
    store.removeWorkingCopy();
    store.databaseBusy() = false;
    if (stop.stop_requested()) {
        return InitOutcome::Stopped;
    }
    if (!readOk) {
        // A copy that cannot be read is as bad as none.
        view.showMessage(messages::kCaptionError105, messages::kDataReadError);
        return InitOutcome::Fatal;
    }
    state.setSatellites(satellites);

    fillList(view, InitList::BandFilter, channels::choiceItems<channels::Band>());
    fillList(view, InitList::PolarisationFilter, channels::choiceItems<channels::Polarisation>());
    fillList(view, InitList::AccessFilter, channels::choiceItems<channels::Access>());
    fillList(view, InitList::FormatFilter, channels::choiceItems<channels::ProgrammeKind>());
    view.clearList(InitList::Providers);
    for (const std::string& name : providers) {
        view.addListItem(InitList::Providers, name);
    }
    view.selectListItem(InitList::Providers, static_cast<int>(providers.size()) - 3);
    view.setDetailText(std::string(pointing::kDefaultDetailText));

    if (hooks.extractCityDatabase && !hooks.extractCityDatabase()) {
        view.showMessage(messages::kCaptionError106, messages::kTemporaryWriteError);
        return InitOutcome::Fatal;
    }
    common::callIfSet(hooks.fillLocationLists);
    common::callIfSet(hooks.lookupCityCoordinates);

    std::vector<std::string> codes;
    for (const SatelliteEntry& e : satellites) {
        codes.push_back(e.s_loca);
    }
    const DefaultSelections selections = defaultSelectionsFor(codes);
    view.removeListItem(InitList::ParameterSatellites, 0);
    view.selectListItem(InitList::ParameterSatellites, selections.parameterIndex);
    view.removeListItem(InitList::PointingSatellites, 0);
    view.selectListItem(InitList::PointingSatellites, selections.parameterIndex);
    view.removeListItem(InitList::OffsetSatellites, 0);
    view.selectListItem(InitList::OffsetSatellites, selections.offsetIndex);

    view.checkFeedDefaults();
    view.setEnabled(InitControl::UprightButton, false);
    view.setEnabled(InitControl::InvertedButton, false);
    common::callIfSet(hooks.fillAntennaList);
    common::callIfSet(hooks.createDiagramSprites);
    if (stop.stop_requested()) {
        return InitOutcome::Stopped;
    }

    view.processEvents();
    view.setEnabled(InitControl::Calculate, true);
    common::callIfSet(hooks.runPointingCalculation);
    for (InitControl control : kDataControls) {
        view.setEnabled(control, true);
    }
    return InitOutcome::Ready;
}

} // namespace zorvast::shell
