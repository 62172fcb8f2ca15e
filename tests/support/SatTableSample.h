// A deterministic table shaped like the channel table `sat`, for tests and benchmarks:
// real-looking positions, both bands, all polarisations, Chinese and Latin names.
#pragma once

#include "JetWriter.h"

#include <cstdint>
#include <string>

namespace zorvast::testing {

inline jetwriter::Table satTableSample(int rowCount, std::uint32_t seed = 12345) {
    using jetwriter::Column;
    using jetwriter::ColumnType;
    jetwriter::Table t;
    t.name = "sat";
    t.columns = {{"s_loca", ColumnType::Text, 10}, {"s_name", ColumnType::Text, 40},
                 {"s_freq", ColumnType::Long, 0},  {"s_pola", ColumnType::Text, 2},
                 {"s_sr", ColumnType::Long, 0},    {"s_ch", ColumnType::Text, 60},
                 {"s_sys", ColumnType::Text, 10},  {"s_free", ColumnType::YesNo, 0},
                 {"s_upda", ColumnType::Text, 40}};
    static const char* const positions[] = {"E76.5",  "E87.5", "E100.5", "E105.5", "E110.5",
                                            "E115.5", "E122",  "E125",   "E134",   "E138"};
    static const char* const names[] = {"亚太7号", "中星12号", "亚洲5号", "亚洲7号", "中星10号",
                                        "中星6B",  "亚洲9号",  "中星6A",  "亚太6C",  "Telstar 18"};
    static const char* const polarisations[] = {"H", "V", "L", "R", "h"};
    static const char* const kinds[] = {"标清电视", "高清电视", "测试或临传", "广播", "数据"};
    static const char* const providers[] = {"中央电视台", "凤凰卫视", "TVB",
                                            "Star TV",    "NHK",      "中国教育电视台"};
    static const char* const stems[] = {"CCTV-", "凤凰卫视", "Discovery ", "广播", "Test ", "卫视"};
    std::uint32_t state = seed;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int i = 0; i < rowCount; ++i) {
        const std::uint32_t p = next() % 10;
        const bool ku = next() % 2 == 0;
        const std::int64_t freq = ku ? 10700 + next() % 2050 : 3400 + next() % 800;
        jetwriter::Row row;
        row.push_back(std::string(positions[p]));
        row.push_back(std::string(names[p]));
        row.push_back(freq);
        row.push_back(std::string(polarisations[next() % 5]));
        row.push_back(static_cast<std::int64_t>(1000 + next() % 43000));
        row.push_back(std::string(stems[next() % 6]) + std::to_string(next() % 500));
        row.push_back(std::string(kinds[next() % 5]));
        row.push_back(next() % 3 != 0);
        row.push_back(std::string(providers[next() % 6]));
        t.rows.push_back(std::move(row));
    }
    return t;
}

} // namespace zorvast::testing
