// `zorvast-cli point` driven through the built program: exit status, stdout and stderr.
#include "cli/CliRunner.h"
#include "common/Zip.h"
#include "pointing/geometry/PointingGeometry.h"
#include "support/TempFolder.h"
#include "update/package/PackageSignature.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorvast::testing::cli;
using zorvast::testing::TempFolder;

// `point` with the built data package unless the arguments name one.
Outcome runPoint(const std::vector<std::string>& args, const RunSetting& setting = {}) {
    return runWithPackage("point", args, setting);
}

// ---------------------------------------------------------------------------------------------
// JSON results.

enum class Check { Equals, NonEmpty, Contains };

struct FieldCheck {
    const char* key;
    const char* expected; // the decoded string, or a number's token
    Check check = Check::Equals;
};

struct JsonCase {
    const char* name;
    std::vector<std::string> args; // --json is added
    std::vector<FieldCheck> fields;
};

void PrintTo(const JsonCase& c, std::ostream* os) {
    *os << c.name << ": point " << joined(c.args);
}

const JsonCase kJsonCases[] = {
    {"BeijingFromCityDatabase",
     {"--city", "北京市/北京", "--sat", "E115.5"},
     {{"azimuth", "181.5"},
      {"elevation", "43.8"},
      {"polarisation", "-1.1"},
      {"compassBearing", "181.5"},
      {"signedOffset", "0"},
      {"southSide", "南偏西"},
      {"southOffset", "1.5"},
      {"clock", "12:06"},
      {"watchHour", "12点整"},
      {"compassText", "181.5"},
      {"droopAngle", ""},
      {"cStrength", "38"},
      {"kuStrength", "0"},
      {"strengthBox", "38"},
      {"threshold", "135"},
      {"recommended", "150"},
      {"report", "地点：北京市，北京\r\n卫星：E115.5(中星6B)\r\n天线：中卫[150cm]，正馈\r\n",
       Check::Contains}}},
    {"TypedCoordinatesReadTheirLeadingNumber",
     {"--lon", "116.4abc", "--lat", "39.9", "--sat", "E115.5"},
     {{"azimuth", "181.4"},
      {"elevation", "43.8"},
      {"polarisation", "-1.1"},
      {"report", "地点：，\r\n", Check::Contains}}},
    {"OffsetFeedDefaultModel",
     {"--city", "北京市/北京", "--sat", "E115.5", "--feed", "offset"},
     {{"signedOffset", "2275"},
      {"droopAngle", "", Check::NonEmpty},
      {"cStrength", "38"},
      {"kuStrength", "0"},
      {"strengthBox", "0"},
      {"report", "天线：中卫[60cm]，偏馈\r\n", Check::Contains}}},
    {"OffsetFeedInvertedTurnsTheOffset",
     {"--city", "北京市/北京", "--sat", "E115.5", "--feed", "offset", "--mount", "inverted"},
     {{"signedOffset", "-2275"},
      {"droopAngle", "", Check::NonEmpty},
      {"report", "天线：中卫[60cm]，偏馈（倒装）\r\n", Check::Contains}}},
    {"ChosenOffsetModel",
     {"--city", "北京市/北京", "--sat", "E115.5", "--feed", "offset", "--model", "中卫[35cm]"},
     {{"signedOffset", "2462"}, {"report", "天线：中卫[35cm]，偏馈\r\n", Check::Contains}}},
    {"ChosenPrimeModel",
     {"--city", "北京市/北京", "--sat", "E115.5", "--model", "其它[90cm]"},
     {{"signedOffset", "0"}, {"report", "天线：其它[90cm]，正馈\r\n", Check::Contains}}},
    {"DeclinationCorrectsTheCompass",
     {"--city", "北京市/北京", "--sat", "E115.5", "--declination"},
     {{"azimuth", "181.5"},
      {"compassBearing", "187.9"},
      {"compassText", "187.9"},
      {"report", "经磁偏修正的指北针指向：187.9度", Check::Contains}}},
    {"OutsideEveryCoverageBoxKeepsTheStrengthBox",
     {"--lon", "140", "--lat", "35", "--sat", "E115.5", "--strength", "45"},
     {{"cStrength", "-1"},
      {"kuStrength", "-1"},
      {"strengthBox", "45"},
      {"threshold", "75"},
      {"recommended", "90"}}},
    {"OutsideCoverageWithEmptyStrengthBoxReadsZero",
     {"--lon", "140", "--lat", "35", "--sat", "E115.5"},
     {{"cStrength", "-1"}, {"strengthBox", ""}, {"threshold", "---"}, {"recommended", "---"}}},
    {"NegativeStrengthSkipsTheDishSizes",
     {"--lon", "140", "--lat", "35", "--sat", "E115.5", "--strength", "-3"},
     {{"strengthBox", "-3"}, {"threshold", ""}, {"recommended", ""}}},
    {"SatelliteBelowTheHorizon",
     {"--lon", "75", "--lat", "40", "--sat", "E160"},
     {{"azimuth", "93.2"},
      {"elevation", "- -"},
      {"polarisation", "49.9"},
      {"report", "注意：所在地区无信号覆盖！", Check::Contains}}},
    {"SatelliteFarWestOfSouthInView",
     {"--lon", "140", "--lat", "5", "--sat", "E100.5"},
     {{"azimuth", "264"},
      {"elevation", "44"},
      {"polarisation", "-82.2"},
      {"compassBearing", "264"},
      {"southSide", "南偏西"},
      {"southOffset", "84"},
      {"clock", "02:48"},
      {"watchHour", "3点整"},
      {"compassText", "264"},
      {"report", "\r\n方位角：264度（即 南偏西84度），手表时针指向：3点整\r\n仰角：44度\r\n",
       Check::Contains}}},
    {"SatelliteFarWestOfSouthWithDeclination",
     {"--lon", "140", "--lat", "5", "--sat", "E100.5", "--declination"},
     {{"azimuth", "264"},
      {"compassBearing", "261.7"},
      {"southSide", "南偏西"},
      {"southOffset", "81.7"},
      {"clock", "02:42"},
      {"watchHour", "2点半"},
      {"compassText", "261.7"},
      {"report",
       "\r\n方位角：264度，经磁偏修正的指北针指向：261.7度（即 南偏西81.7度），手表时针指向：2点半"
       "\r\n",
       Check::Contains}}},
    {"StrengthTextIsEscaped",
     {"--lon", "140", "--lat", "35", "--sat", "E115.5", "--strength", "4\"5\\\t\x01 强"},
     {{"strengthBox", "4\"5\\\t\x01 强"}}},
    {"InvalidUtf8BecomesReplacementCharacter",
     {"--lon", "140", "--lat", "35", "--sat", "E115.5", "--strength", "4\xff"},
     {{"strengthBox", "4\xEF\xBF\xBD"}}},
};

class CliPointJson : public ::testing::TestWithParam<JsonCase> {};

TEST_P(CliPointJson, Fields) {
    const JsonCase& c = GetParam();
    std::vector<std::string> args = c.args;
    args.push_back("--json");
    const Outcome run = runPoint(args);
    ASSERT_EQ(run.status, 0) << "point " << joined(args) << "\n" << described(run);
    EXPECT_EQ(run.err, "") << "point " << joined(args);
    const std::optional<JsonMembers> json = jsonOf(run);
    ASSERT_TRUE(json);
    for (const FieldCheck& f : c.fields) {
        const auto found = json->find(f.key);
        ASSERT_NE(found, json->end()) << "key " << f.key << " missing\n" << run.out;
        const std::string& actual = found->second.text;
        switch (f.check) {
        case Check::Equals:
            EXPECT_EQ(actual, f.expected) << "point " << joined(args) << ": key " << f.key;
            break;
        case Check::NonEmpty:
            EXPECT_NE(actual, "") << "point " << joined(args) << ": key " << f.key;
            break;
        case Check::Contains:
            EXPECT_NE(actual.find(f.expected), std::string::npos)
                << "point " << joined(args) << ": key " << f.key << " is\n"
                << actual << "\nexpected to contain\n"
                << f.expected;
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliPointJson, ::testing::ValuesIn(kJsonCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliPointJsonShape, EveryKeyWithItsType) {
    const Outcome run = runPoint({"--city", "北京市/北京", "--sat", "E115.5", "--json"});
    ASSERT_EQ(run.status, 0) << described(run);
    const std::optional<JsonMembers> json = jsonOf(run);
    ASSERT_TRUE(json);
    const std::vector<std::string> numbers = {"compassBearing", "signedOffset", "cStrength",
                                              "kuStrength"};
    const std::vector<std::string> texts = {
        "azimuth",     "elevation",   "polarisation", "southSide",    "southOffset",
        "watchHour",   "clock",       "droopAngle",   "lnbDirection", "lnbReferencePart",
        "compassText", "strengthBox", "threshold",    "recommended",  "report"};
    for (const auto& [keys, kind] :
         {std::pair{numbers, JsonValue::Kind::Number}, std::pair{texts, JsonValue::Kind::String}}) {
        for (const std::string& key : keys) {
            const auto found = json->find(key);
            ASSERT_NE(found, json->end()) << "key " << key << " missing\n" << run.out;
            EXPECT_EQ(found->second.kind, kind) << "key " << key << "\n" << run.out;
        }
    }
    EXPECT_EQ(json->size(), numbers.size() + texts.size()) << run.out;
}

// ---------------------------------------------------------------------------------------------
// Report text.

struct TextCase {
    const char* name;
    std::vector<std::string> args;
    std::size_t lineCount;
    const char* firstLine;
    const char* lastLine;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name << ": point " << joined(c.args);
}

const TextCase kTextCases[] = {
    {"SatelliteInSight",
     {"--city", "北京市/北京", "--sat", "E115.5"},
     8,
     "------☆Zorvast寻星计算☆------",
     "高频头极化角：-1.1度，电路盒方向：左上45°"},
    {"SatelliteOutOfSight",
     {"--lon", "75", "--lat", "40", "--sat", "E160"},
     6,
     "------☆Zorvast寻星计算☆------",
     "注意：所在地区无信号覆盖！"},
};

class CliPointText : public ::testing::TestWithParam<TextCase> {};

TEST_P(CliPointText, OneLinePerReportLine) {
    const TextCase& c = GetParam();
    const Outcome run = runPoint(c.args);
    ASSERT_EQ(run.status, 0) << "point " << joined(c.args) << "\n" << described(run);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << run.out;
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n') << run.out;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), c.lineCount) << run.out;
    EXPECT_EQ(lines.front(), c.firstLine);
    EXPECT_EQ(lines.back(), c.lastLine);

    // The same report as the JSON form carries, line ends aside.
    std::vector<std::string> jsonArgs = c.args;
    jsonArgs.push_back("--json");
    const Outcome jsonRun = runPoint(jsonArgs);
    const std::optional<JsonMembers> json = jsonOf(jsonRun);
    ASSERT_TRUE(json);
    std::string report = withoutCr(json->at("report").text);
    if (report.empty() || report.back() != '\n') {
        report += '\n';
    }
    EXPECT_EQ(run.out, report);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliPointText, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Refusals: exit 2, nothing on stdout, the reason on stderr.

struct ErrorCase {
    const char* name;
    std::vector<std::string> args;
    std::string stderrPart; // expected inside stderr
    bool oneLine = true;    // the site messages keep their own line break
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name << ": point " << joined(c.args);
}

using zorvast::pointing::SiteError;
using zorvast::pointing::siteErrorText;

const ErrorCase kErrorCases[] = {
    {"LongitudeOutOfRange",
     {"--lon", "200", "--lat", "40", "--sat", "E115.5"},
     std::string(siteErrorText(SiteError::Longitude)) + "\n",
     false},
    {"LatitudeOutOfRange",
     {"--lon", "116", "--lat", "0.5", "--sat", "E115.5"},
     std::string(siteErrorText(SiteError::Latitude)) + "\n",
     false},
    {"LongitudeCheckedFirst",
     {"--lon", "200", "--lat", "0.5", "--sat", "E115.5"},
     std::string(siteErrorText(SiteError::Longitude)) + "\n",
     false},
    {"UnknownCity", {"--city", "北京市/不存在", "--sat", "E115.5"}, "unknown city"},
    {"UnknownProvince", {"--city", "火星省/北京", "--sat", "E115.5"}, "unknown province"},
    {"CityWithoutProvince", {"--city", "北京", "--sat", "E115.5"}, "PROVINCE/CITY"},
    {"UnknownSatellite", {"--city", "北京市/北京", "--sat", "E999"}, "unknown satellite"},
    {"UnknownModel",
     {"--city", "北京市/北京", "--sat", "E115.5", "--model", "无名[1cm]"},
     "unknown antenna model"},
    {"OffsetModelWithPrimeFeed",
     {"--city", "北京市/北京", "--sat", "E115.5", "--model", "中卫[60cm]"},
     "unknown antenna model"},
    {"MissingPackage",
     {"--city", "北京市/北京", "--sat", "E115.5", "--package", "/nonexistent/satdata.sta"},
     "data package not found"},
    {"BadFeed", {"--city", "北京市/北京", "--sat", "E115.5", "--feed", "side"}, "--feed"},
    {"BadMount", {"--city", "北京市/北京", "--sat", "E115.5", "--mount", "flat"}, "--mount"},
    {"UnknownOption", {"--city", "北京市/北京", "--sat", "E115.5", "--colour"}, "unknown option"},
    {"OptionWithoutValue", {"--city", "北京市/北京", "--sat"}, "needs a value"},
    {"OptionTwice", {"--sat", "E115.5", "--city", "北京市/北京", "--sat", "E110.5"}, "twice"},
    {"NoSatellite", {"--city", "北京市/北京"}, "no satellite"},
    {"NoPlace", {"--sat", "E115.5"}, "no place"},
    {"CityAndCoordinates",
     {"--city", "北京市/北京", "--lon", "116", "--sat", "E115.5"},
     "either --city"},
    {"LongitudeWithoutLatitude", {"--lon", "116", "--sat", "E115.5"}, "--lon and --lat"},
};

class CliPointError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CliPointError, ExitsTwoWithReason) {
    const ErrorCase& c = GetParam();
    const Outcome run = runPoint(c.args);
    const std::string call = "point " + joined(c.args) + "\n" + described(run);
    expectRefused(call, run, c.stderrPart, c.oneLine);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliPointError, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Data packages and temporary files.

TEST(CliPointPackage, DamagedPackagesAreRefused) {
    TempFolder temp;
    const std::string notZip = temp.write("junk.sta", std::string(4096, 'x'));
    const std::string unsignedPage = temp.file("unsigned.sta");
    std::string error;
    ASSERT_TRUE(
        zorvast::common::createArchive(unsignedPage, {{"home.htm", "<html></html>"}}, &error))
        << error;
    // Signed and large enough, but no channel database inside.
    const std::string noDatabase = temp.file("empty.sta");
    std::vector<zorvast::update::PackageEntry> plain = {
        {"satdata.str", std::string(1000001, 'x')}, {"nch.str", "ab"}, {"sng.str", "cd"}};
    const auto key =
        zorvast::update::readSecretKeyFile(ZORVAST_SOURCE_DIR "/keys/test-package.sec");
    ASSERT_TRUE(key);
    std::vector<zorvast::common::ArchiveEntry> entries;
    for (const auto& e : plain) {
        entries.push_back({e.name, e.content});
    }
    entries.push_back({zorvast::update::kSignatureEntry,
                       zorvast::update::signPackageEntries(plain, *key).value()});
    ASSERT_TRUE(zorvast::common::createArchive(noDatabase, entries, &error)) << error;
    const struct {
        std::string package;
        std::string reason;
    } cases[] = {{notZip, "data package damaged or not signed: " + notZip},
                 {unsignedPage, "data package damaged or not signed: " + unsignedPage},
                 {noDatabase, "holds no usable channel database"},
                 {temp.path().string(), "data package not found"}};
    for (const auto& c : cases) {
        const Outcome run =
            runPoint({"--city", "北京市/北京", "--sat", "E115.5", "--package", c.package});
        const std::string call = "--package " + c.package + "\n" + described(run);
        EXPECT_EQ(run.status, 2) << call;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << call << "\nexpected: " << c.reason;
        EXPECT_EQ(linesOf(run.err).size(), 1u) << call;
    }
}

TEST(CliPointPackage, FoundInTheCurrentFolder) {
    TempFolder emptyFolder;
    const bool besideProgram = fs::exists(fs::path(kCli).parent_path() / "satdata.sta");
    if (!besideProgram) {
        const Outcome none = runProgram({"point", "--city", "北京市/北京", "--sat", "E115.5"},
                                        {kCli, "", emptyFolder.path().string()});
        EXPECT_EQ(none.status, 2) << described(none);
        EXPECT_NE(none.err.find("no data package"), std::string::npos) << described(none);
    }
    const Outcome run = runProgram({"point", "--city", "北京市/北京", "--sat", "E115.5"},
                                   {kCli, "", fs::path(kPackage).parent_path().string()});
    EXPECT_EQ(run.status, 0) << described(run);
    EXPECT_EQ(linesOf(run.out).size(), 8u) << described(run);
}

TEST(CliPointPackage, FoundBesideTheProgram) {
    TempFolder programFolder;
    TempFolder elsewhere;
    const fs::path program = programFolder.path() / "zorvast-cli";
    fs::copy_file(kCli, program);
    fs::copy_file(kPackage, programFolder.path() / "satdata.sta");
    const Outcome run = runProgram({"point", "--city", "北京市/北京", "--sat", "E115.5"},
                                   {program.string(), "", elsewhere.path().string()});
    EXPECT_EQ(run.status, 0) << described(run);
    EXPECT_EQ(linesOf(run.out).size(), 8u) << described(run);
}

TEST(CliPointTemporaryFiles, NothingIsLeftBehind) {
    const std::vector<std::vector<std::string>> calls = {
        {"--city", "北京市/北京", "--sat", "E115.5"},
        {"--city", "北京市/北京", "--sat", "E115.5", "--json"},
        {"--lon", "200", "--lat", "40", "--sat", "E115.5"},
        {"--city", "北京市/不存在", "--sat", "E115.5"},
        {"--city", "北京市/北京", "--sat", "E999"},
        {"--city", "北京市/北京", "--sat", "E115.5", "--package", "/nonexistent/satdata.sta"},
    };
    for (const std::vector<std::string>& args : calls) {
        TempFolder tmpdir;
        const Outcome run = runPoint(args, {kCli, tmpdir.path().string(), ""});
        EXPECT_NE(run.status, -1) << described(run);
        std::vector<std::string> left;
        for (const fs::directory_entry& entry : fs::directory_iterator(tmpdir.path())) {
            left.push_back(entry.path().filename().string());
        }
        EXPECT_TRUE(left.empty()) << "point " << joined(args) << " left " << joined(left);
    }
}

// ---------------------------------------------------------------------------------------------
// The other commands still answer.

TEST(CliCommands, TablesAndUsage) {
    const Outcome tables =
        runProgram({"tables", std::string(ZORVAST_BINARY_DIR) + "/data/satdata.mdb"});
    EXPECT_EQ(tables.status, 0) << described(tables);
    EXPECT_NE(("\n" + tables.out).find("\nsatlist\n"), std::string::npos) << described(tables);

    const Outcome usage = runProgram({});
    EXPECT_EQ(usage.status, 2) << described(usage);
    EXPECT_NE(usage.err.find("zorvast-cli point"), std::string::npos) << described(usage);
    EXPECT_NE(usage.err.find("zorvast-cli rows"), std::string::npos) << described(usage);
}

} // namespace
