// Reading back what a data package carries, the way the program's start reads it.
#pragma once

#include "channels/jet/JetConnection.h"
#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/Zip.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zorvast::testing {

// The version in table sys of the database a package carries, read as start-up reads it:
// unpacked, turned into a working copy, opened.
inline std::optional<std::string> packageVersion(const std::filesystem::path& package,
                                                 const std::filesystem::path& scratch) {
    common::removeTree(scratch);
    if (!common::extractArchive(package.string(), scratch.string()).ok) {
        return std::nullopt;
    }
    const auto stored = common::readFileBytes(scratch / "satdata.str");
    if (!stored) {
        return std::nullopt;
    }
    const auto copy = channels::store::workingCopyFromStored(
        {reinterpret_cast<const std::uint8_t*>(stored->data()), stored->size()});
    if (copy.empty() ||
        !common::writeFileBytes(scratch / "work.mdb",
                                {reinterpret_cast<const char*>(copy.data()), copy.size()})) {
        return std::nullopt;
    }
    channels::jet::JetConnection connection;
    if (!connection.open((scratch / "work.mdb").string())) {
        return std::nullopt;
    }
    const auto table = connection.loadTable("sys");
    common::removeTree(scratch);
    if (!table || table->rows.empty()) {
        return std::nullopt;
    }
    return table->rows[0][0].text;
}

} // namespace zorvast::testing
