// Reads a 20,000-row `sat`-shaped table through the engine and through mdb-export on the
// same file, and prints both times and their ratio.
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"

#include "JetWriter.h"
#include "support/SatTableSample.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace zorvast::channels::jet;
using Clock = std::chrono::steady_clock;

constexpr double kTargetRatio = 1.1;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Opens the file, reads every field of every row of the ordered query as text.
std::size_t readThroughEngine(const std::string& path) {
    JetConnection connection;
    if (!connection.open(path)) {
        std::fprintf(stderr, "open failed: %s\n", connection.lastError().c_str());
        std::exit(1);
    }
    JetCursor cursor;
    cursor.attach(connection);
    if (!cursor.openQuery(orderedQueryText("sat", kChannelOrdering))) {
        std::fprintf(stderr, "query failed: %s\n", cursor.lastError().c_str());
        std::exit(1);
    }
    std::size_t bytes = 0;
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
        for (const FieldInfo& field : cursor.fields()) {
            bytes += cursor.readText(field.name).value_or("").size();
        }
    }
    return bytes;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "zorvast-bench-jet";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "sat.mdb").string();
    jetwriter::writeDatabaseFile(path, {zorvast::testing::satTableSample(rows)});

    const std::string exportCommand = "mdb-export '" + path + "' sat > /dev/null";
    std::vector<double> engineTimes;
    std::vector<double> exportTimes;
    std::size_t bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        bytes = readThroughEngine(path);
        engineTimes.push_back(secondsSince(start));

        start = Clock::now();
        if (std::system(exportCommand.c_str()) != 0) {
            std::fprintf(stderr, "mdb-export failed\n");
            return 1;
        }
        exportTimes.push_back(secondsSince(start));
    }
    const double engine = median(engineTimes);
    const double exporter = median(exportTimes);
    std::printf("rows: %d, file: %ju bytes, text read: %zu bytes, rounds: %d (medians)\n", rows,
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)), bytes, rounds);
    std::printf("engine (open + ordered query + read every field): %.1f ms\n", engine * 1000);
    std::printf("mdb-export (whole process):                       %.1f ms\n", exporter * 1000);
    std::printf("ratio engine / mdb-export: %.2f (target <= %.2f): %s\n", engine / exporter,
                kTargetRatio, engine / exporter <= kTargetRatio ? "met" : "NOT met");
    std::filesystem::remove_all(folder);
    return 0;
}
