// Channel databases for start-up tests, written with the Jet writer and stored the way the
// data package carries them.
#pragma once

#include "JetWriter.h"
#include "channels/store/StoredFile.h"
#include "common/Zip.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace zorvast::testing {

struct SatelliteRow {
    std::string loca;
    std::string name;
};

inline jetwriter::Table satlistTable(const std::vector<SatelliteRow>& rows) {
    using jetwriter::ColumnType;
    jetwriter::Table t;
    t.name = "satlist";
    for (const char* name : {"s_loca", "s_name", "s_c", "s_ku", "s_min", "s_max", "s_rema"}) {
        t.columns.push_back({name, ColumnType::Text, 60});
    }
    for (const SatelliteRow& r : rows) {
        t.rows.push_back({r.loca, r.name, std::string("383838383838"), std::string("000000000048"),
                          std::string(" 36dB 00dB"), std::string(" 40dB 00dB"),
                          std::string("备注 ") + r.name});
    }
    return t;
}

inline jetwriter::Table supTable(const std::vector<std::string>& providers) {
    jetwriter::Table t{"sup", {{"s_upda", jetwriter::ColumnType::Text, 60}}, {}};
    for (const std::string& p : providers) {
        t.rows.push_back({p});
    }
    return t;
}

inline jetwriter::Table sysTable(const std::string& version) {
    return {"sys", {{"s_ver", jetwriter::ColumnType::Text, 20}}, {{version}}};
}

// `n` satellites eastwards from E60 in steps of 1.5, with "E115.5" at position `at115`
// (or none when negative) and "E125" at `at125`.
inline std::vector<SatelliteRow> satellitesWith(int n, int at115, int at125) {
    std::vector<SatelliteRow> rows;
    for (int i = 0; i < n; ++i) {
        // Appended rather than "E" + ...: GCC 12 warns falsely (-Wrestrict) about the latter.
        std::string code = "E";
        code += std::to_string(60 + i);
        if (i == at115) {
            code = "E115.5";
        } else if (i == at125) {
            code = "E125";
        }
        rows.push_back({code, "卫星" + std::to_string(i)});
    }
    return rows;
}

// The stored form ("plumo_str" + database[66...]) of a database padded to at least
// `databaseBytes` (the stored form is 57 bytes shorter).
inline std::string storedDatabase(const std::vector<jetwriter::Table>& tables,
                                  std::size_t databaseBytes = 600000) {
    std::string database = jetwriter::writeDatabase(tables);
    while (database.size() < databaseBytes) {
        database.append(4096, '\0');
    }
    const auto stored = channels::store::storedFromDatabase(
        {reinterpret_cast<const std::uint8_t*>(database.data()), database.size()});
    return {stored.begin(), stored.end()};
}

// `date` is the recorded date of the three files added here; `extra` entries keep their own.
inline void writePackage(const std::string& path, const std::string& stored,
                         std::vector<common::ArchiveEntry> extra = {},
                         common::EntryDate date = {}) {
    extra.push_back({"satdata.str", stored, true, date});
    extra.push_back({"nch.str", "a\r\nb\r\n", true, date});
    extra.push_back({"sng.str", "c\r\n", true, date});
    if (!common::createArchive(path, extra)) {
        throw std::runtime_error("cannot write package " + path);
    }
}

} // namespace zorvast::testing
