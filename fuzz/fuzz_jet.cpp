// A Jet file of hostile bytes, read as the program reads a database: open, list the tables,
// load each whole.
#include "FuzzSupport.h"

#include "channels/jet/JetConnection.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

using namespace zorvast;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path file = fuzz::scratchFolder() / "input.mdb";
    fuzz::writeScratchFile(file, std::string_view(reinterpret_cast<const char*>(data), size));

    channels::jet::JetConnection connection;
    if (!connection.open(file.string())) {
        fuzz::check(!connection.lastError().empty(), "open failed without a reason");
        return 0;
    }
    for (const std::string& name : connection.tableNames()) {
        const auto table = connection.loadTable(name);
        if (!table) {
            fuzz::check(!connection.lastError().empty(), "load failed without a reason");
            continue;
        }
        for (const auto& row : table->rows) {
            fuzz::check(row.size() == table->fields.size(), "a row of the wrong width");
        }
    }
    // The catalog itself is a table too, and the program never asks for it by name; a name
    // that is not there must simply fail.
    connection.loadTable("MSysObjects");
    fuzz::check(!connection.loadTable("no such table here").has_value(), "a missing table loaded");
    connection.close();
    return 0;
}
