// A channel database about ten times the shipped one, made from its own rows and always the
// same: the shipped satellites plus copies of the busiest ones under the opposite hemisphere's
// code (with their satellite-list rows), and every satellite's channels repeated with a
// numbered name until the table holds about the wanted number of rows.
#pragma once

#include "channels/jet/JetConnection.h"

#include "JetWriter.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zorvast::bench {

struct ScaledDatabase {
    std::string bytes; // a plain Jet file
    int rows = 0;      // rows of table `sat`
    int satellites = 0;
};

namespace detail {

inline jetwriter::Value cellOf(const channels::jet::FieldValue& value,
                               channels::jet::FieldKind kind) {
    using channels::jet::FieldKind;
    if (value.isNull) {
        return std::nullopt;
    }
    switch (kind) {
    case FieldKind::Integer:
        return jetwriter::Value{value.integer};
    case FieldKind::Boolean:
        return jetwriter::Value{value.integer != 0};
    default:
        return jetwriter::Value{value.text};
    }
}

inline std::optional<jetwriter::Table> tableOf(const channels::jet::TableData& data) {
    using channels::jet::FieldKind;
    jetwriter::Table table;
    table.name = data.name;
    for (const auto& field : data.fields) {
        switch (field.kind) {
        case FieldKind::Text:
            table.columns.push_back({field.name, jetwriter::ColumnType::Text, 255});
            break;
        case FieldKind::Integer:
            table.columns.push_back({field.name, jetwriter::ColumnType::Long, 0});
            break;
        case FieldKind::Boolean:
            table.columns.push_back({field.name, jetwriter::ColumnType::YesNo, 0});
            break;
        default:
            return std::nullopt;
        }
    }
    for (const auto& row : data.rows) {
        jetwriter::Row out;
        for (std::size_t c = 0; c < row.size(); ++c) {
            out.push_back(cellOf(row[c], data.fields[c].kind));
        }
        table.rows.push_back(std::move(out));
    }
    return table;
}

inline int columnOf(const jetwriter::Table& table, const std::string& name) {
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (table.columns[c].name == name) {
            return static_cast<int>(c);
        }
    }
    return -1;
}

inline std::string textOf(const jetwriter::Value& value) {
    return value && std::holds_alternative<std::string>(*value) ? std::get<std::string>(*value)
                                                                : std::string();
}

} // namespace detail

// The key with the most rows; the first such in key order on a tie.
inline std::pair<std::string, int> mostCommon(const std::map<std::string, int>& counts) {
    std::pair<std::string, int> best;
    for (const auto& [key, count] : counts) {
        if (count > best.second) {
            best = {key, count};
        }
    }
    return best;
}

// The first `n` UTF-8 characters, or nothing when the text is shorter.
inline std::string leadingCharacters(const std::string& text, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) {
        if (at >= text.size()) {
            return {};
        }
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
            ++at;
        }
    }
    return text.substr(0, at);
}

// Nothing when the database cannot be read or has no table `sat` with s_loca and s_ch.
inline std::optional<ScaledDatabase> scaledChannelDatabase(const std::string& database,
                                                           int wantedRows, int wantedSatellites) {
    channels::jet::JetConnection connection;
    if (!connection.open(database)) {
        return std::nullopt;
    }
    std::vector<jetwriter::Table> tables;
    jetwriter::Table* sat = nullptr;
    jetwriter::Table* satlist = nullptr;
    for (const std::string& name : connection.tableNames()) {
        const auto data = connection.loadTable(name);
        if (!data) {
            return std::nullopt;
        }
        auto table = detail::tableOf(*data);
        if (!table) {
            return std::nullopt;
        }
        tables.push_back(std::move(*table));
    }
    for (auto& table : tables) {
        sat = table.name == "sat" ? &table : sat;
        satlist = table.name == "satlist" ? &table : satlist;
    }
    if (!sat) {
        return std::nullopt;
    }
    const int loca = detail::columnOf(*sat, "s_loca");
    const int ch = detail::columnOf(*sat, "s_ch");
    if (loca < 0 || ch < 0) {
        return std::nullopt;
    }

    // Satellites by rows, the busiest first (first seen on a tie).
    std::map<std::string, int> rowsOf;
    std::vector<std::string> seen;
    for (const auto& row : sat->rows) {
        const std::string code = detail::textOf(row[static_cast<std::size_t>(loca)]);
        if (rowsOf[code]++ == 0) {
            seen.push_back(code);
        }
    }
    std::vector<std::string> busiest = seen;
    std::stable_sort(busiest.begin(), busiest.end(),
                     [&](const auto& a, const auto& b) { return rowsOf[a] > rowsOf[b]; });
    std::set<std::string> codes(seen.begin(), seen.end());
    std::map<std::string, std::string> copyOf; // original code -> the copy's code
    for (const std::string& code : busiest) {
        if (static_cast<int>(codes.size()) >= wantedSatellites || code.empty()) {
            break;
        }
        std::string other = (code[0] == 'E' ? "W" : "E") + code.substr(1);
        while (codes.count(other) != 0) {
            other += "0";
        }
        codes.insert(other);
        copyOf[code] = other;
    }

    int baseRows = 0;
    for (const auto& [code, rows] : rowsOf) {
        baseRows += rows * (copyOf.count(code) != 0 ? 2 : 1);
    }
    const int repeats =
        std::max(1, static_cast<int>(std::lround(static_cast<double>(wantedRows) / baseRows)));
    std::vector<jetwriter::Row> rows;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (const auto& row : sat->rows) {
            jetwriter::Row out = row;
            auto& name = out[static_cast<std::size_t>(ch)];
            if (repeat > 0 && name && !detail::textOf(name).empty()) {
                name = jetwriter::Value{detail::textOf(name) + " " + std::to_string(repeat + 1)};
            }
            rows.push_back(out);
            const auto copy = copyOf.find(detail::textOf(out[static_cast<std::size_t>(loca)]));
            if (copy != copyOf.end()) {
                out[static_cast<std::size_t>(loca)] = jetwriter::Value{copy->second};
                rows.push_back(std::move(out));
            }
        }
    }
    sat->rows = std::move(rows);
    const int satRows = static_cast<int>(sat->rows.size());

    if (satlist) {
        const int listLoca = detail::columnOf(*satlist, "s_loca");
        if (listLoca >= 0) {
            std::vector<jetwriter::Row> added;
            for (const auto& row : satlist->rows) {
                const auto copy =
                    copyOf.find(detail::textOf(row[static_cast<std::size_t>(listLoca)]));
                if (copy != copyOf.end()) {
                    jetwriter::Row out = row;
                    out[static_cast<std::size_t>(listLoca)] = jetwriter::Value{copy->second};
                    added.push_back(std::move(out));
                }
            }
            satlist->rows.insert(satlist->rows.end(), added.begin(), added.end());
        }
    }
    return ScaledDatabase{jetwriter::writeDatabase(tables), satRows,
                          static_cast<int>(codes.size())};
}

} // namespace zorvast::bench
