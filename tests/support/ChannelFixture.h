// Channel databases for start-up tests, written with the Jet writer and stored the way the
// data package carries them, in packages signed with the test key.
#pragma once

#include "JetWriter.h"
#include "channels/store/StoredFile.h"
#include "common/Zip.h"
#include "update/package/PackageSignature.h"

#include <cstdint>
#include <optional>
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

// A small channel table `sat`: two satellites stored out of order, a quote in a name and a
// provider, both bands and every kind the queries tell apart.
inline jetwriter::Table channelTable() {
    using jetwriter::ColumnType;
    jetwriter::Table t;
    t.name = "sat";
    t.columns = {{"s_loca", ColumnType::Text, 10}, {"s_name", ColumnType::Text, 40},
                 {"s_freq", ColumnType::Long, 0},  {"s_pola", ColumnType::Text, 2},
                 {"s_sr", ColumnType::Long, 0},    {"s_ch", ColumnType::Text, 60},
                 {"s_sys", ColumnType::Text, 10},  {"s_free", ColumnType::YesNo, 0},
                 {"s_upda", ColumnType::Text, 40}};
    const struct {
        const char* loca;
        const char* name;
        std::int64_t freq;
        const char* pola;
        std::int64_t sr;
        const char* ch;
        const char* sys;
        bool free;
        const char* upda;
    } rows[] = {
        // Stored out of order: the query sorts by position, frequency and name.
        {"E125", "中星6A", 4100, "H", 6000, "O'Brien TV", "标清电视", true, "X's"},
        {"E115.5", "中星6B", 3840, "H", 27500, "CCTV-2", "标清电视", false, "中央电视台"},
        {"E115.5", "中星6B", 3840, "H", 27500, "CCTV-1", "标清电视", true, "中央电视台"},
        {"E115.5", "中星6B", 4000, "V", 4420, "凤凰卫视", "高清电视", true, "凤凰卫视"},
        {"E115.5", "中星6B", 12395, "V", 27500, "广播A", "广播", true, "中央电视台"},
        {"E125", "中星6A", 3840, "V", 27500, "CCTV-1 HD", "高清电视", false, "中央电视台"},
    };
    for (const auto& r : rows) {
        t.rows.push_back({std::string(r.loca), std::string(r.name), r.freq, std::string(r.pola),
                          r.sr, std::string(r.ch), std::string(r.sys), r.free,
                          std::string(r.upda)});
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
// `databaseBytes` (the stored form is 57 bytes shorter). By default just large enough for the
// package check (more than 1,000,000 bytes stored).
inline std::string storedDatabase(const std::vector<jetwriter::Table>& tables,
                                  std::size_t databaseBytes = 1000100) {
    std::string database = jetwriter::writeDatabase(tables);
    while (database.size() < databaseBytes) {
        database.append(4096, '\0');
    }
    const auto stored = channels::store::storedFromDatabase(
        {reinterpret_cast<const std::uint8_t*>(database.data()), database.size()});
    return {stored.begin(), stored.end()};
}

// The test key pair's secret half (keys/test-package.sec); development builds carry its public
// half as the built-in key.
inline update::SecretKey testPackageSecretKey() {
    const auto key = update::readSecretKeyFile(ZORVAST_SOURCE_DIR "/keys/test-package.sec");
    if (!key) {
        throw std::runtime_error("keys/test-package.sec unreadable");
    }
    return *key;
}

// The entries with "zorvast.sig" added, signed with `key`.
inline std::vector<common::ArchiveEntry>
signedPackageEntries(std::vector<common::ArchiveEntry> entries,
                     const update::SecretKey& key = testPackageSecretKey()) {
    std::vector<update::PackageEntry> plain;
    for (const common::ArchiveEntry& e : entries) {
        plain.push_back({e.name, e.data});
    }
    const std::optional<std::string> signature = update::signPackageEntries(plain, key);
    if (!signature) {
        throw std::runtime_error("cannot sign the test package");
    }
    entries.push_back({update::kSignatureEntry, *signature, true, entries.front().date});
    return entries;
}

// `date` is the recorded date of the three files added here; `extra` entries keep their own.
// The package is signed with the test key unless `sign` is false.
inline void writePackage(const std::string& path, const std::string& stored,
                         std::vector<common::ArchiveEntry> extra = {}, common::EntryDate date = {},
                         bool sign = true) {
    extra.push_back({"satdata.str", stored, true, date});
    extra.push_back({"nch.str", "a\r\nb\r\n", true, date});
    extra.push_back({"sng.str", "c\r\n", true, date});
    if (sign) {
        extra = signedPackageEntries(std::move(extra));
    }
    if (!common::createArchive(path, extra)) {
        throw std::runtime_error("cannot write package " + path);
    }
}

} // namespace zorvast::testing
