// The parameter tab's three database accesses end to end on the built data package: working
// copy from the stored file, open, filter, order and the grid content, each one call of the
// query runner with a view that shows nothing. Compared with mdb-export reading the table
// `sat` of the same working copy as a whole process. Then the same on a database about ten
// times as large made from the shipped rows, with the box-drawn export of the largest result.
// Prints medians of seven runs, one line per access with its target.
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/query/ChannelQuery.h"
#include "channels/query/QueryRun.h"
#include "channels/query/TableExport.h"
#include "channels/store/DatabaseStore.h"
#include "channels/store/StoredFile.h"
#include "common/Clock.h"
#include "common/Files.h"
#include "common/Zip.h"

#include "ScaledChannelData.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace zorvast;
using namespace zorvast::channels;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;
constexpr double kTargetRatio = 1.0;
constexpr int kScaledRows = 20000;
constexpr int kScaledSatellites = 60;

class SilentView final : public QueryView {
public:
    void showMessage(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    void setControlEnabled(QueryControl, bool) override {}
    void setProgressMaximum(int) override {}
    void setProgressValue(int) override {}
    void setProgressText(const std::string&) override {}
    void setStatusText(const std::string& text) override { status = text; }
    void showGrid(const GridContent& shown) override {
        rows = shown.rowCount();
        if (keepGrid) {
            grid = shown;
        }
    }
    void processEvents() override {}
    void endProgram() override {}

    int rows = 0;
    bool keepGrid = false;
    GridContent grid;
    std::string status;
};

[[noreturn]] void quit(const std::string& why) {
    std::fprintf(stderr, "%s\n", why.c_str());
    std::exit(1);
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

using bench::leadingCharacters;
using bench::mostCommon;

// The satellite list's name of a position code (its first `satlist` row), as the tab's list
// item shows it; empty when the code is not listed.
std::string listedName(const std::string& database, const std::string& code) {
    jet::JetConnection connection;
    jet::JetCursor cursor;
    if (!connection.open(database)) {
        return {};
    }
    cursor.attach(connection);
    if (!cursor.openTable("satlist")) {
        return {};
    }
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
        if (cursor.readText("s_loca").value_or("") == code) {
            return cursor.readText("s_name").value_or("");
        }
    }
    return {};
}

// mdb-export as its own process, output thrown away; the wall time from spawn to exit.
double timeMdbExport(const std::string& database) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string program = "mdb-export";
    std::string path = database;
    std::string table = "sat";
    char* argv[] = {program.data(), path.data(), table.data(), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
        quit("cannot start mdb-export");
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double elapsed = millisecondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        quit("mdb-export failed");
    }
    return elapsed;
}

struct Timed {
    std::string what;
    double milliseconds = 0;
    int gridRows = 0;
};

Timed timeAccess(const std::string& what, const std::function<QueryOutcome(SilentView&)>& run) {
    std::vector<double> times;
    int rows = 0;
    for (int i = 0; i < kRuns; ++i) {
        SilentView view;
        const auto start = Clock::now();
        const QueryOutcome outcome = run(view);
        times.push_back(millisecondsSince(start));
        if (outcome != QueryOutcome::Shown) {
            quit(what + ": the access did not run");
        }
        rows = view.rows;
    }
    return {what, median(times), rows};
}

// The four accesses on the stored file in `paths` and mdb-export on `exportCopy`, a plain
// copy of the same database; with `withExport` also the export text of the largest result.
// True when every ratio is within its target.
bool measure(const std::string& title, const store::StorePaths& paths, const fs::path& exportCopy,
             bool withExport) {
    store::DatabaseStore store(paths, common::systemClock());
    const std::optional<std::vector<ChannelRecord>> all = readChannelRows(exportCopy.string(), {});
    if (!all || all->empty()) {
        quit("the channel table cannot be read");
    }

    std::map<std::string, int> perSatellite;
    std::map<std::string, int> perProvider;
    std::map<std::string, int> perPrefix;
    int cctv = 0;
    for (const ChannelRecord& r : *all) {
        ++perSatellite[r.loca];
        if (!r.upda.empty()) {
            ++perProvider[r.upda];
        }
        const std::string prefix = leadingCharacters(r.ch, 4);
        if (!prefix.empty()) {
            ++perPrefix[prefix];
        }
        cctv += r.ch.find("CCTV") != std::string::npos ? 1 : 0;
    }
    const auto [satellite, satelliteRows] = mostCommon(perSatellite);
    const auto [provider, providerRows] = mostCommon(perProvider);
    const auto [prefix, prefixRows] = mostCommon(perPrefix);

    const std::string item = satellite + "（" + listedName(exportCopy.string(), satellite) + "）";
    CombinedSelection selection;
    selection.satellite = satelliteChoiceOf(item);
    selection.kind = ProgrammeKind::Everything; // every row of the satellite

    using Access = std::function<QueryOutcome(SilentView&)>;
    const std::vector<std::pair<std::string, Access>> accesses = {
        {"combined query " + item + ", " + std::to_string(satelliteRows) + " rows",
         [&](SilentView& view) {
             return runCombinedQuery(store, selection, view);
         }},
        {"channel search \"" + prefix + "\", the most common 4-character name start (" +
             std::to_string(prefixRows) + " names)",
         [&](SilentView& view) {
             return runChannelSearch(store, prefix, view);
         }},
        {"channel search \"CCTV\", " + std::to_string(cctv) + " names",
         [&](SilentView& view) {
             return runChannelSearch(store, "CCTV", view);
         }},
        {"provider search \"" + provider + "\", " + std::to_string(providerRows) + " rows",
         [&](SilentView& view) {
             return runProviderSearch(store, provider, view);
         }},
    };
    std::vector<Timed> timed;
    std::size_t largest = 0;
    for (const auto& [what, run] : accesses) {
        timed.push_back(timeAccess(what, run));
        if (timed.back().gridRows > timed[largest].gridRows) {
            largest = timed.size() - 1;
        }
    }

    std::vector<double> exportTimes;
    for (int i = 0; i < kRuns; ++i) {
        exportTimes.push_back(timeMdbExport(exportCopy.string()));
    }
    const double exporter = median(exportTimes);

    std::printf("%s: %zu rows over %zu satellites, working copy %ju bytes; medians of %d runs\n",
                title.c_str(), all->size(), perSatellite.size(),
                static_cast<std::uintmax_t>(fs::file_size(exportCopy)), kRuns);
    bool allWithin = true;
    for (const Timed& t : timed) {
        const double ratio = t.milliseconds / exporter;
        allWithin = allWithin && ratio <= kTargetRatio;
        std::printf("  %s: %.2f ms (%d grid rows), ratio %.2f (target <= %.1f)\n", t.what.c_str(),
                    t.milliseconds, t.gridRows, ratio, kTargetRatio);
    }
    if (withExport) {
        // The grid of the largest result, as the window holds it, saved as text.
        SilentView view;
        view.keepGrid = true;
        if (accesses[largest].second(view) != QueryOutcome::Shown) {
            quit("the largest result cannot be shown");
        }
        std::vector<double> times;
        std::size_t bytes = 0;
        for (int i = 0; i < kRuns; ++i) {
            const auto start = Clock::now();
            bytes = finalTableText(view.grid, view.status).size();
            times.push_back(millisecondsSince(start));
        }
        const double ratio = median(times) / exporter;
        allWithin = allWithin && ratio <= kTargetRatio;
        std::printf(
            "  whole-table export of the largest result (%d grid rows, %zu bytes): %.2f ms, "
            "ratio %.2f (target <= %.1f)\n",
            view.rows, bytes, median(times), ratio, kTargetRatio);
    }
    std::printf("  mdb-export <working copy> sat (whole process): %.2f ms\n", exporter);
    return allWithin;
}

} // namespace

int main(int argc, char* argv[]) {
    const fs::path package =
        argc > 1 ? fs::path(argv[1]) : fs::path(ZORVAST_BINARY_DIR) / "data" / "satdata.sta";
    std::string folderPattern = (fs::temp_directory_path() / "zorvast-bench-query-XXXXXX").string();
    if (::mkdtemp(folderPattern.data()) == nullptr) {
        quit("cannot create a temporary folder");
    }
    const fs::path folder = folderPattern;

    const store::StorePaths paths = store::storePathsFor(folder / "shipped", folder);
    common::createFolders(paths.workFolder);
    const common::ExtractResult unpacked =
        common::extractArchive(package.string(), paths.workFolder.string());
    if (!unpacked.ok) {
        common::removeTree(folder);
        quit("cannot unpack " + package.string() + ": " + unpacked.error);
    }

    // A working copy of our own for mdb-export and for choosing what to query.
    const fs::path exportCopy = folder / "export.mdb";
    {
        const std::optional<std::string> stored = common::readFileBytes(paths.storedFile);
        if (!stored) {
            common::removeTree(folder);
            quit("no satdata.str in " + package.string());
        }
        const store::Bytes copy = store::workingCopyFromStored(
            {reinterpret_cast<const std::uint8_t*>(stored->data()), stored->size()});
        common::writeFileBytes(exportCopy,
                               {reinterpret_cast<const char*>(copy.data()), copy.size()});
    }
    bool allWithin = measure("shipped channel table", paths, exportCopy, false);

    const std::optional<bench::ScaledDatabase> scaled =
        bench::scaledChannelDatabase(exportCopy.string(), kScaledRows, kScaledSatellites);
    if (!scaled) {
        common::removeTree(folder);
        quit("the larger database cannot be made");
    }
    const store::StorePaths scaledPaths = store::storePathsFor(folder / "scaled", folder);
    common::createFolders(scaledPaths.workFolder);
    const fs::path scaledCopy = folder / "scaled.mdb";
    const store::Bytes scaledStored = store::storedFromDatabase(
        {reinterpret_cast<const std::uint8_t*>(scaled->bytes.data()), scaled->bytes.size()});
    common::writeFileBytes(
        scaledPaths.storedFile,
        {reinterpret_cast<const char*>(scaledStored.data()), scaledStored.size()});
    common::writeFileBytes(scaledCopy, scaled->bytes);
    allWithin = measure("about ten times the data", scaledPaths, scaledCopy, true) && allWithin;

    std::printf("target ratio <= %.1f: %s\n", kTargetRatio, allWithin ? "met" : "NOT met");
    common::removeTree(folder);
    return 0;
}
