// Inputs the fuzzers once crashed the engine with (a usage map libmdb followed off the file, a
// filter nested past the stack) now end in a read error or a malformed filter.
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetFilter.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zorvast::channels::jet {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> reproducers(const char* kind) {
    std::vector<fs::path> files;
    for (const auto& item :
         fs::directory_iterator(fs::path(ZORVAST_SOURCE_DIR) / "tests" / "data" / "fuzz" / kind)) {
        files.push_back(item.path());
    }
    return files;
}

TEST(FuzzReproducers, DamagedJetFilesAreReadErrors) {
    const auto files = reproducers("jet");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        JetConnection connection;
        if (!connection.open(file.string())) {
            EXPECT_FALSE(connection.lastError().empty());
            continue;
        }
        // Each of these damages at least one table; every table is tried, none crashes.
        int refused = 0;
        for (const std::string& name : connection.tableNames()) {
            if (!connection.loadTable(name)) {
                EXPECT_FALSE(connection.lastError().empty()) << name;
                ++refused;
            }
        }
        EXPECT_GT(refused, 0);
    }
}

TEST(FuzzReproducers, DeepFiltersAreMalformed) {
    const auto files = reproducers("filter");
    ASSERT_FALSE(files.empty());
    const std::vector<FieldInfo> fields = {{"s_loca", FieldKind::Text},
                                           {"s_freq", FieldKind::Integer}};
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string text = testing::readAll(file.string());
        const FilterResult result = compileFilter(text, fields);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
    }
}

} // namespace
} // namespace zorvast::channels::jet
