// `zorvast-cli point` driven through the built program: exit status, stdout and stderr.
#include "common/Zip.h"
#include "pointing/geometry/PointingGeometry.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

const std::string kCli = ZORVAST_CLI;
const std::string kPackage = ZORVAST_PACKAGE;

// ---------------------------------------------------------------------------------------------
// Running the program.

struct Outcome {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

struct RunSetting {
    std::string program = kCli;
    std::string tmpdir;    // TMPDIR for the program; empty keeps the test's own
    std::string directory; // current folder for the program; empty keeps the test's own
};

std::string joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) {
        text += (text.empty() ? "" : " ") + a;
    }
    return text;
}

Outcome runProgram(const std::vector<std::string>& args, const RunSetting& setting = {}) {
    TempFolder io;
    const std::string outPath = io.file("stdout");
    const std::string errPath = io.file("stderr");

    std::vector<std::string> words{setting.program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);

    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (setting.tmpdir.empty() || std::strncmp(*e, "TMPDIR=", 7) != 0) {
            environment.emplace_back(*e);
        }
    }
    if (!setting.tmpdir.empty()) {
        environment.push_back("TMPDIR=" + setting.tmpdir);
    }
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (!setting.directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, setting.directory.c_str());
    }
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, setting.program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome run;
    if (spawned != 0) {
        run.err = "posix_spawn failed: " + std::string(std::strerror(spawned));
        return run;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    }
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    return run;
}

// `point` with the built data package unless the arguments name one. The package comes first
// so that the case's own last word stays last.
Outcome runPoint(const std::vector<std::string>& args, const RunSetting& setting = {}) {
    std::vector<std::string> words{"point"};
    bool hasPackage = false;
    for (const std::string& a : args) {
        hasPackage = hasPackage || a == "--package";
    }
    if (!hasPackage) {
        words.push_back("--package");
        words.push_back(kPackage);
    }
    words.insert(words.end(), args.begin(), args.end());
    return runProgram(words, setting);
}

std::string described(const Outcome& run) {
    return "exit " + std::to_string(run.status) + "\n--- stdout:\n" + run.out + "\n--- stderr:\n" +
           run.err;
}

// ---------------------------------------------------------------------------------------------
// A small strict JSON reader: enough to check that the output is one well-formed object and to
// read its members. Nested objects and arrays are checked but not kept.

struct JsonValue {
    enum class Kind { String, Number, Literal, Nested } kind = Kind::Literal;
    std::string text; // the decoded string, or the number's token
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    // The members of the object that is the whole text (blanks and one line end around it
    // allowed); nothing, with error() set, when the text is anything else.
    std::optional<std::map<std::string, JsonValue>> topObject() {
        std::map<std::string, JsonValue> members;
        blanks();
        if (!object(&members)) {
            return std::nullopt;
        }
        blanks();
        if (pos_ != text_.size()) {
            return failed("text after the object");
        }
        return members;
    }

    const std::string& error() const { return error_; }

private:
    std::nullopt_t failed(const std::string& why) {
        if (error_.empty()) {
            error_ = why + " at byte " + std::to_string(pos_);
        }
        return std::nullopt;
    }
    bool fail(const std::string& why) {
        failed(why);
        return false;
    }
    void blanks() {
        while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]) != nullptr) {
            ++pos_;
        }
    }
    bool take(char c) {
        blanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool object(std::map<std::string, JsonValue>* members) {
        if (!take('{')) {
            return fail("expected {");
        }
        if (take('}')) {
            return true;
        }
        do {
            blanks();
            std::string key;
            if (!string(&key)) {
                return false;
            }
            if (!take(':')) {
                return fail("expected :");
            }
            JsonValue v;
            if (!value(&v)) {
                return false;
            }
            if (members && !members->emplace(key, v).second) {
                return fail("duplicate key " + key);
            }
        } while (take(','));
        return take('}') || fail("expected , or }");
    }

    bool value(JsonValue* v) {
        blanks();
        if (pos_ >= text_.size()) {
            return fail("value expected");
        }
        const char c = text_[pos_];
        if (c == '"') {
            v->kind = JsonValue::Kind::String;
            return string(&v->text);
        }
        if (c == '{') {
            v->kind = JsonValue::Kind::Nested;
            return object(nullptr);
        }
        if (c == '[') {
            v->kind = JsonValue::Kind::Nested;
            ++pos_;
            if (take(']')) {
                return true;
            }
            do {
                JsonValue item;
                if (!value(&item)) {
                    return false;
                }
            } while (take(','));
            return take(']') || fail("expected , or ]");
        }
        for (std::string_view literal : {"true", "false", "null"}) {
            if (text_.substr(pos_, literal.size()) == literal) {
                pos_ += literal.size();
                v->kind = JsonValue::Kind::Literal;
                v->text = literal;
                return true;
            }
        }
        v->kind = JsonValue::Kind::Number;
        return number(&v->text);
    }

    bool digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            ++pos_;
        }
        return pos_ > start;
    }

    bool number(std::string* token) {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return fail("bad number");
        }
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (!digits()) {
                return fail("bad fraction");
            }
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
                ++pos_;
            }
            if (!digits()) {
                return fail("bad exponent");
            }
        }
        *token = std::string(text_.substr(start, pos_ - start));
        return true;
    }

    bool hex4(unsigned* code) {
        if (pos_ + 4 > text_.size()) {
            return fail("short \\u escape");
        }
        *code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            *code <<= 4;
            if (h >= '0' && h <= '9') {
                *code |= static_cast<unsigned>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
                *code |= static_cast<unsigned>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
                *code |= static_cast<unsigned>(h - 'A' + 10);
            } else {
                return fail("bad \\u escape");
            }
        }
        return true;
    }

    static void appendUtf8(std::string* out, unsigned code) {
        if (code < 0x80) {
            *out += static_cast<char>(code);
        } else if (code < 0x800) {
            *out += static_cast<char>(0xC0 | (code >> 6));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out += static_cast<char>(0xE0 | (code >> 12));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | (code >> 18));
            *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool string(std::string* out) {
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            return fail("expected a string");
        }
        ++pos_;
        while (pos_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[pos_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return fail("raw control character in a string");
            }
            if (c != '\\') {
                *out += static_cast<char>(c);
                continue;
            }
            if (pos_ >= text_.size()) {
                break;
            }
            const char e = text_[pos_++];
            const char* simple = std::strchr("\"\\/bfnrt", e);
            if (simple != nullptr && e != '\0') {
                *out += "\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
                continue;
            }
            if (e != 'u') {
                return fail("bad escape");
            }
            unsigned code = 0;
            if (!hex4(&code)) {
                return false;
            }
            if (code >= 0xD800 && code <= 0xDBFF) {
                unsigned low = 0;
                if (text_.substr(pos_, 2) != "\\u" || (pos_ += 2, !hex4(&low)) || low < 0xDC00 ||
                    low > 0xDFFF) {
                    return fail("lone surrogate");
                }
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                return fail("lone surrogate");
            }
            appendUtf8(out, code);
        }
        return fail("unterminated string");
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

using JsonMembers = std::map<std::string, JsonValue>;

// The members of a run's JSON output; a test failure when the output is not one object + "\n".
std::optional<JsonMembers> jsonOf(const Outcome& run) {
    if (run.out.empty() || run.out.back() != '\n' || run.out.find('\n') != run.out.size() - 1) {
        ADD_FAILURE() << "JSON output is not exactly one line\n" << described(run);
        return std::nullopt;
    }
    JsonReader reader(run.out);
    std::optional<JsonMembers> members = reader.topObject();
    if (!members) {
        ADD_FAILURE() << "output is not a JSON object: " << reader.error() << "\n"
                      << described(run);
    }
    return members;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

std::string withoutCr(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            out += text[i];
        }
    }
    return out;
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
    EXPECT_EQ(run.status, 2) << call;
    EXPECT_EQ(run.out, "") << call;
    EXPECT_NE(run.err.find(c.stderrPart), std::string::npos)
        << call << "\nexpected stderr to contain: " << c.stderrPart;
    if (c.oneLine) {
        EXPECT_EQ(linesOf(run.err).size(), 1u) << call;
        EXPECT_TRUE(!run.err.empty() && run.err.back() == '\n') << call;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliPointError, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Data packages and temporary files.

TEST(CliPointPackage, DamagedPackagesAreRefused) {
    TempFolder temp;
    const std::string notZip = temp.write("junk.sta", std::string(4096, 'x'));
    const std::string noDatabase = temp.file("empty.sta");
    std::string error;
    ASSERT_TRUE(zorvast::common::createArchive(noDatabase, {{"home.htm", "<html></html>"}}, &error))
        << error;
    const struct {
        std::string package;
        std::string reason;
    } cases[] = {{notZip, "cannot unpack data package"},
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
