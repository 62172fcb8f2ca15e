// The files the build ships, read the way the program reads them: through the engine.
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/query/ChannelQuery.h"
#include "channels/query/QueryRun.h"
#include "channels/store/CityArchive.h"
#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/Text.h"
#include "common/Zip.h"
#include "support/TempFolder.h"
#include "update/package/DataApply.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace zorvast {
namespace {

using channels::jet::JetConnection;
using channels::jet::JetCursor;
using testing::TempFolder;

const std::string kDataDir = ZORVAST_BINARY_DIR "/data";

struct Row {
    std::map<std::string, std::string> text;
    std::map<std::string, std::int64_t> number;
};

std::vector<Row> readTable(const std::string& path, const std::string& table) {
    JetConnection connection;
    EXPECT_TRUE(connection.open(path)) << path << ": " << connection.lastError();
    JetCursor cursor;
    cursor.attach(connection);
    EXPECT_TRUE(cursor.openTable(table)) << table << ": " << cursor.lastError();
    std::vector<Row> rows;
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
        Row row;
        for (const auto& field : cursor.fields()) {
            row.text[field.name] = cursor.readText(field.name).value_or("");
            row.number[field.name] = cursor.readInteger(field.name).value_or(0);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// The city database as the program gets it: unpacked from the archive compiled into it.
class CityTable : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        const auto result =
            common::extractArchive(channels::store::cityArchiveBytes(), folder_->path().string());
        ASSERT_TRUE(result.ok) << result.error;
        ASSERT_EQ(result.entries, std::vector<std::string>{"city.dat"});
        rows_ = readTable(folder_->file("city.dat"), "city");
    }
    static void TearDownTestSuite() { delete folder_; }
    static inline TempFolder* folder_ = nullptr;
    static inline std::vector<Row> rows_;
};

struct Province {
    const char* code;
    int rows;
    const char* capital;
    int lo, la;
};

const Province kProvinces[32] = {
    {"徽", 79, "合肥", 11727, 3186},     {"京", 10, "北京", 11646, 3992},
    {"福", 68, "福州", 11930, 2608},     {"甘", 75, "兰州", 10373, 3603},
    {"台", 19, "香港", 11410, 2220},     {"粤", 94, "广州", 11323, 2316},
    {"桂", 86, "南宁", 10833, 2284},     {"贵", 81, "贵阳", 10671, 2657},
    {"海", 18, "海口", 11035, 2002},     {"冀", 147, "石家庄", 11448, 3803},
    {"豫", 121, "郑州", 11365, 3476},    {"黑", 80, "哈尔滨", 12663, 4575},
    {"鄂", 40, "武汉", 11431, 3052},     {"湘", 97, "长沙", 11300, 2821},
    {"吉", 42, "长春", 12535, 4388},     {"苏", 74, "南京", 11878, 3204},
    {"赣", 86, "南昌", 11589, 2868},     {"辽", 50, "沈阳", 12338, 4180},
    {"蒙", 87, "呼和浩特", 11165, 4082}, {"宁", 18, "银川", 10627, 3847},
    {"青", 39, "西宁", 10174, 3656},     {"鲁", 116, "济南", 11700, 3665},
    {"晋", 103, "太原", 11253, 3786},    {"陕", 96, "西安", 10895, 3427},
    {"沪", 10, "上海", 12148, 3122},     {"川", 173, "成都", 10406, 3067},
    {"津", 6, "天津", 11720, 3913},      {"藏", 72, "拉萨", 9111, 2997},
    {"疆", 82, "乌鲁木齐", 8768, 4377},  {"云", 127, "昆明", 10273, 2504},
    {"浙", 72, "杭州", 12019, 3026},     {"重", 12, "重庆", 10654, 2959},
};

TEST_F(CityTable, CountsAndCapitalsPerProvince) {
    ASSERT_EQ(rows_.size(), 2280u);
    for (const Province& p : kProvinces) {
        std::vector<const Row*> mine;
        for (const Row& row : rows_) {
            if (row.text.at("sta") == p.code) {
                mine.push_back(&row);
            }
        }
        ASSERT_EQ(static_cast<int>(mine.size()), p.rows) << p.code;
        EXPECT_EQ(mine[0]->text.at("name"), p.capital) << p.code;
        EXPECT_EQ(mine[0]->number.at("lo"), p.lo) << p.code;
        EXPECT_EQ(mine[0]->number.at("la"), p.la) << p.code;
    }
}

TEST_F(CityTable, BeijingInItsFixedOrder) {
    std::vector<std::string> names;
    for (const Row& row : rows_) {
        if (row.text.at("sta") == "京") {
            names.push_back(row.text.at("name"));
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"北京", "平谷", "密云", "顺义", "通县", "怀柔",
                                               "大兴", "房山", "昌平", "延庆"}));
}

TEST_F(CityTable, EveryRowIsAUsablePlace) {
    std::set<std::pair<std::string, std::string>> seen;
    // Administrative suffixes that a short name drops (a one-character stem keeps its own).
    const std::regex suffix("(自治州|自治县|自治旗|特别行政区|地区|新区)$");
    for (const Row& row : rows_) {
        const std::string& name = row.text.at("name");
        EXPECT_FALSE(name.empty());
        EXPECT_LE(common::gbkCharacterCount(common::toGbk(name)), 11u) << name;
        EXPECT_EQ(common::fromGbk(common::toGbk(name)), name) << "not GBK: " << name;
        EXPECT_FALSE(std::regex_search(name, suffix)) << name;
        EXPECT_GE(row.number.at("lo"), 7000) << name;
        EXPECT_LE(row.number.at("lo"), 15000) << name;
        EXPECT_GE(row.number.at("la"), 100) << name;
        EXPECT_LE(row.number.at("la"), 6000) << name;
        EXPECT_TRUE(seen.insert({row.text.at("sta"), name}).second) << "twice: " << name;
    }
}

TEST_F(CityTable, ProvincesAreStoredTogetherCapitalFirst) {
    // The program lists a province's rows in stored order; one block per province keeps the
    // capital the first row and the order readable.
    std::vector<std::string> blocks;
    for (const Row& row : rows_) {
        if (blocks.empty() || blocks.back() != row.text.at("sta")) {
            blocks.push_back(row.text.at("sta"));
        }
    }
    ASSERT_EQ(blocks.size(), 32u);
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(blocks[i], kProvinces[i].code);
    }
}

// The channel database as start-up gets it: the data package verified with the program's key,
// its stored file turned back into a working copy.
class ChannelDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        const auto package =
            update::readVerifiedDataPackage(kDataDir + "/satdata.sta", update::builtInPackageKey());
        ASSERT_TRUE(package) << "the shipped package does not pass the program's check";
        ASSERT_TRUE(update::writePackageFiles(*package, folder_->path()));
        const auto stored = common::readFileBytes(folder_->file("satdata.str"));
        ASSERT_TRUE(stored);
        const auto copy = channels::store::workingCopyFromStored(common::asBytes(*stored));
        ASSERT_FALSE(copy.empty());
        ASSERT_TRUE(
            common::writeFileBytes(folder_->file("satdata.tmp"),
                                   {reinterpret_cast<const char*>(copy.data()), copy.size()}));
        path_ = folder_->file("satdata.tmp");
        satlist_ = readTable(path_, "satlist");
        sat_ = readTable(path_, "sat");
    }
    static void TearDownTestSuite() { delete folder_; }
    static inline TempFolder* folder_ = nullptr;
    static inline std::string path_;
    static inline std::vector<Row> satlist_;
    static inline std::vector<Row> sat_;
};

TEST_F(ChannelDatabase, PackageHoldsWhatStartUpNeeds) {
    const char* names[] = {"satdata.str", "nch.str",   "sng.str",   "home.htm", "news.htm",
                           "tyro.htm",    "datum.htm", "trade.htm", "bbs.htm"};
    for (const char* name : names) {
        const auto size = common::fileSize(folder_->file(name));
        ASSERT_TRUE(size) << name;
        EXPECT_GT(*size, 1u) << name;
    }
    EXPECT_GT(*common::fileSize(folder_->file("satdata.str")), 1000000u);
    const auto stored = common::readFileBytes(folder_->file("satdata.str"));
    EXPECT_EQ(channels::store::classifyStoredBytes(common::asBytes(*stored)),
              channels::store::StoredKind::Stored);
}

TEST_F(ChannelDatabase, PackageIsSignedWithTheBuiltInKey) {
    update::PackageFault fault = update::PackageFault::Damaged;
    const auto package = update::readVerifiedDataPackage(
        kDataDir + "/satdata.sta", update::builtInPackageKey(), update::kPackageSizeLimit, &fault);
    ASSERT_TRUE(package);
    EXPECT_EQ(fault, update::PackageFault::None);
    ASSERT_NE(package->entry(update::kSignatureEntry), nullptr);
    EXPECT_EQ(package->entry(update::kSignatureEntry)->size(), update::kSignatureBytes);
    // Only that key: another one refuses the very same bytes.
    const auto other = update::generateKeyPair();
    ASSERT_TRUE(other);
    EXPECT_FALSE(update::verifyPackageBytes(package->archiveBytes, other->publicKey,
                                            update::kPackageSizeLimit));
}

TEST_F(ChannelDatabase, StoredFormRoundTrip) {
    // Storing the working copy again gives back the stored file byte for byte, and the
    // working copy is the database the build wrote (plus unused pages at the end).
    const auto stored = common::readFileBytes(folder_->file("satdata.str"));
    const auto copy = common::readFileBytes(path_);
    const auto again = channels::store::storedFromDatabase(common::asBytes(*copy));
    EXPECT_EQ(std::string(again.begin(), again.end()), *stored);
    const auto built = common::readFileBytes(kDataDir + "/satdata.mdb");
    ASSERT_TRUE(built);
    ASSERT_GE(copy->size(), built->size());
    EXPECT_EQ(copy->substr(0, built->size()), *built);
    EXPECT_EQ(copy->find_first_not_of('\0', built->size()), std::string::npos);
    EXPECT_EQ(copy->size() % 4096, 0u);
}

TEST_F(ChannelDatabase, SatelliteListKeepsTheStartUpDefaults) {
    ASSERT_GT(satlist_.size(), 31u);
    ASSERT_LE(satlist_.size(), 70u);
    int firstMain = -1;
    int firstOffset = -1;
    for (std::size_t i = 0; i < satlist_.size(); ++i) {
        const std::string& code = satlist_[i].text.at("s_loca");
        if (firstMain < 0 && code.rfind("E115.5", 0) == 0) {
            firstMain = static_cast<int>(i);
        }
        if (firstOffset < 0 && i >= 31 && code == "E125") {
            firstOffset = static_cast<int>(i);
        }
    }
    EXPECT_GE(firstMain, 25);
    EXPECT_GE(firstOffset, 31);
}

TEST_F(ChannelDatabase, SatelliteRowsAreWellFormed) {
    const std::regex code("E[0-9]{2,3}(\\.[0-9])?");
    const std::regex strengths("[0-9]{12}");
    const std::regex packed("( [0-9]{2}dB){2}");
    std::set<std::string> codes;
    for (const Row& row : satlist_) {
        const std::string& loca = row.text.at("s_loca");
        EXPECT_TRUE(std::regex_match(loca, code)) << loca;
        EXPECT_TRUE(codes.insert(loca + row.text.at("s_name")).second) << loca;
        EXPECT_FALSE(row.text.at("s_name").empty()) << loca;
        EXPECT_TRUE(std::regex_match(row.text.at("s_c"), strengths)) << loca;
        EXPECT_TRUE(std::regex_match(row.text.at("s_ku"), strengths)) << loca;
        EXPECT_TRUE(std::regex_match(row.text.at("s_min"), packed)) << loca;
        EXPECT_TRUE(std::regex_match(row.text.at("s_max"), packed)) << loca;
        EXPECT_FALSE(row.text.at("s_rema").empty()) << loca;
    }
}

TEST_F(ChannelDatabase, ChannelRowsAreWellFormed) {
    std::set<std::string> positions;
    for (const Row& row : satlist_) {
        positions.insert(row.text.at("s_loca"));
    }
    const std::set<std::string> kinds = {"标清电视", "高清电视", "测试或临传", "广播", "数据"};
    const std::set<std::string> polarisations = {"H", "V", "L", "R"};
    ASSERT_GT(sat_.size(), 1000u);
    for (const Row& row : sat_) {
        const std::string where = row.text.at("s_loca") + " " + row.text.at("s_freq");
        const std::int64_t freq = row.number.at("s_freq");
        EXPECT_TRUE(positions.count(row.text.at("s_loca"))) << where;
        EXPECT_TRUE((freq >= 2500 && freq < 10000) || (freq > 10000 && freq <= 13000)) << where;
        EXPECT_TRUE(polarisations.count(row.text.at("s_pola"))) << where;
        EXPECT_GE(row.number.at("s_sr"), 100) << where;
        EXPECT_LE(row.number.at("s_sr"), 72000) << where;
        EXPECT_FALSE(row.text.at("s_ch").empty()) << where; // no filler rows
        EXPECT_TRUE(kinds.count(row.text.at("s_sys"))) << where;
        EXPECT_FALSE(row.text.at("s_upda").empty()) << where;
    }
}

TEST_F(ChannelDatabase, ProvidersAndVersion) {
    std::set<std::string> used;
    for (const Row& row : sat_) {
        used.insert(row.text.at("s_upda"));
    }
    std::set<std::string> listed;
    for (const Row& row : readTable(path_, "sup")) {
        EXPECT_TRUE(listed.insert(row.text.at("s_upda")).second) << row.text.at("s_upda");
    }
    EXPECT_EQ(listed, used);
    EXPECT_GE(listed.size(), 3u);
    const auto sys = readTable(path_, "sys");
    ASSERT_EQ(sys.size(), 1u);
    const std::string version = sys[0].text.at("s_ver");
    EXPECT_TRUE(std::regex_match(version, std::regex("[0-9]{1,7}"))) << version;
}

// Rows of a hand-kept input file of the channel generator, header row first.
std::vector<std::vector<std::string>> readInputTsv(const std::string& name) {
    std::ifstream in(std::string(ZORVAST_SOURCE_DIR) + "/data/channels/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            cells.push_back(line.substr(start, tab - start));
        }
        cells.push_back(line.substr(start));
        rows.push_back(std::move(cells));
    }
    return rows;
}

TEST_F(ChannelDatabase, MappedEnglishLabelsAreGone) {
    const auto names = readInputTsv("input/names-zh.tsv");
    ASSERT_GT(names.size(), 20u);
    ASSERT_EQ(names[0], (std::vector<std::string>{"label", "name", "basis", "source"}));
    std::set<std::string> mapped;
    std::set<std::string> chinese;
    for (std::size_t i = 1; i < names.size(); ++i) {
        ASSERT_EQ(names[i].size(), 4u) << i;
        EXPECT_FALSE(names[i][2].empty()) << names[i][0] << " has no basis";
        EXPECT_FALSE(names[i][3].empty()) << names[i][0] << " has no source";
        mapped.insert(names[i][0]);
        chinese.insert(names[i][1]);
    }
    std::set<std::string> seen;
    for (const Row& row : sat_) {
        const std::string where = row.text.at("s_loca") + " " + row.text.at("s_freq");
        EXPECT_FALSE(mapped.count(row.text.at("s_ch"))) << where << " " << row.text.at("s_ch");
        EXPECT_FALSE(mapped.count(row.text.at("s_upda"))) << where << " " << row.text.at("s_upda");
        if (chinese.count(row.text.at("s_ch")) || chinese.count(row.text.at("s_upda"))) {
            seen.insert(chinese.count(row.text.at("s_ch")) ? row.text.at("s_ch")
                                                           : row.text.at("s_upda"));
        }
    }
    // Every mapping is in use: a name the data never shows would be dead weight.
    EXPECT_EQ(seen, chinese);
}

// The channel-name search, as the parameter tab runs it, finds the provincial channels.
TEST_F(ChannelDatabase, SearchForSatelliteChannelsFindsTheProvinces) {
    ASSERT_EQ(channels::checkSearchText("卫视"), channels::SearchTextError::None);
    const auto rows = channels::readChannelRows(path_, channels::channelFilterOf("卫视"));
    ASSERT_TRUE(rows);
    std::set<std::string> found;
    for (const auto& record : *rows) {
        EXPECT_NE(record.ch.find("卫视"), std::string::npos) << record.ch;
        found.insert(record.loca + " " + record.ch);
    }
    for (const char* expected :
         {"E115.5 浙江卫视", "E115.5 山东卫视", "E115.5 四川卫视", "E115.5 黑龙江卫视",
          "E115.5 东南卫视", "E115.5 河北卫视", "E125 江苏卫视", "E125 三沙卫视", "E125 重庆卫视",
          "E125 黑龙江卫视高清同播频道"}) {
        EXPECT_TRUE(found.count(expected)) << expected;
    }
    EXPECT_GE(found.size(), 25u);
}

// Dated notices with tuning values name the transponders they match; nothing else states
// access, so every row without such a statement stays "not known to be free".
TEST_F(ChannelDatabase, NoticesNameMatchingTransponders) {
    const auto notices = readInputTsv("input/notices-cn.tsv");
    ASSERT_GT(notices.size(), 50u);
    std::map<std::string, const Row*> byChannel;
    for (const Row& row : sat_) {
        byChannel[row.text.at("s_loca") + " " + row.text.at("s_freq") + " " + row.text.at("s_ch")] =
            &row;
    }
    const auto hd = byChannel.find("E125 3951 黑龙江卫视高清同播频道");
    ASSERT_NE(hd, byChannel.end());
    EXPECT_EQ(hd->second->text.at("s_sys"), "高清电视");
    EXPECT_EQ(hd->second->text.at("s_pola"), "H");
    EXPECT_EQ(hd->second->number.at("s_sr"), 13400);
    // 3884 MHz in the notice, 3885 in the scan tables: within a megahertz.
    EXPECT_TRUE(byChannel.count("E125 3885 广西卫星广播电视节目"));
    // Undated rows name nothing: the 2012 interview gives no symbol rate, the hobby column of
    // 2005 matches no transponder, and the notice of 2015 has no frequencies.
    // Satellites refreshed from an import carry the scan's own access.
    std::set<std::string> imported;
    for (const auto& origin : readInputTsv("origins.tsv")) {
        if (origin.size() == 4 && origin[2].rfind("import ", 0) == 0) {
            imported.insert(origin[0]);
        }
    }
    for (const Row& row : sat_) {
        if (!imported.count(row.text.at("s_loca"))) {
            EXPECT_FALSE(row.number.at("s_free")) << row.text.at("s_ch");
        }
    }
}

TEST_F(ChannelDatabase, ListsAndPagesAreGbkWithCrLf) {
    for (const char* name : {"nch.str", "sng.str"}) {
        const auto bytes = common::readFileBytes(folder_->file(name));
        ASSERT_TRUE(bytes) << name;
        const auto lines = common::splitGbkLines(common::Gbk{*bytes});
        EXPECT_GE(lines.size(), std::string(name) == "nch.str" ? 10u : 5u) << name;
        EXPECT_EQ(bytes->find("\r\n") == std::string::npos, false) << name;
        EXPECT_EQ(common::withCrLf(common::fromGbk(common::Gbk{*bytes})),
                  common::fromGbk(common::Gbk{*bytes}))
            << name << " has a bare LF";
    }
    for (const char* name :
         {"home.htm", "news.htm", "tyro.htm", "datum.htm", "trade.htm", "bbs.htm"}) {
        const auto bytes = common::readFileBytes(folder_->file(name));
        ASSERT_TRUE(bytes) << name;
        const std::string text = common::fromGbk(common::Gbk{*bytes});
        EXPECT_NE(text.find("<meta charset=\"gbk\">"), std::string::npos) << name;
        EXPECT_EQ(text.find("@DATA_VERSION@"), std::string::npos) << name;
        EXPECT_EQ(common::withCrLf(text), text) << name << " has a bare LF";
    }
    const std::string trade = *common::readFileBytes(folder_->file("trade.htm"));
    EXPECT_EQ(common::fromGbk(common::Gbk{trade}).find("<title>Zorvast-交易</title>"),
              std::string::npos)
        << "the local trade page must not look like the online one";
}

} // namespace
} // namespace zorvast
