#include "update/check/UpdateState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace zorvast::update {
namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string text = "{";
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i ? ", \"" : "\"") + items[i] + "\"";
    }
    return text + "}";
}

// Sets an environment variable for one test and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DataServerList, FourConstantServersTheLastTwoAlike) {
    const ScopedVariable unset(kDataServersVariable, nullptr);
    const std::vector<std::string> servers = dataServerList();
    ASSERT_EQ(servers.size(), 4u) << joined(servers);
    EXPECT_EQ(servers[2], servers[3]);
    EXPECT_NE(servers[0], servers[1]);
    EXPECT_NE(servers[1], servers[2]);
    for (const std::string& server : servers) {
        EXPECT_EQ(server.rfind("http://", 0), 0u) << server;
        EXPECT_NE(server.back(), '/') << server;
    }
}

TEST(DataServerList, TheVariableReplacesTheWholeListInOrder) {
    struct Case {
        const char* value;
        std::vector<std::string> expected; // empty: the built-in list
    };
    const std::vector<Case> cases = {
        {"http://127.0.0.1:8080", {"http://127.0.0.1:8080"}},
        {"http://x,http://y,http://x", {"http://x", "http://y", "http://x"}},
        {",http://x,,http://y,", {"http://x", "http://y"}},
        {"", {}},
        {",,", {}},
    };
    for (const Case& c : cases) {
        const ScopedVariable set(kDataServersVariable, c.value);
        const std::vector<std::string> expected =
            c.expected.empty()
                ? std::vector<std::string>(std::begin(kDataServers), std::end(kDataServers))
                : c.expected;
        EXPECT_EQ(dataServerList(), expected) << "ZORVAST_DATA_SERVERS=\"" << c.value << "\"";
    }
}

TEST(VersionAnswers, DataAnswersUpToSevenBytesSoftwareUpToFive) {
    struct Case {
        std::string body;
        bool data;
        bool software;
    };
    const std::vector<Case> cases = {
        {"", false, false},         {"1", true, true},
        {"1.02", true, true},       {"1.021", true, true},
        {"1.0211", true, false},    {"2612091", true, false},
        {"26120912", false, false}, {"<html><body>404</body></html>", false, false},
        {"abc", true, true},        {" 1.03", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidDataVersionAnswer(c.body), c.data)
            << "body \"" << c.body << "\" (" << c.body.size() << " bytes)";
        EXPECT_EQ(isValidSoftwareVersionAnswer(c.body), c.software)
            << "body \"" << c.body << "\" (" << c.body.size() << " bytes)";
    }
}

TEST(VersionAnswers, NumbersAndTheNewerRule) {
    struct Case {
        std::string server;
        std::string local;
        bool newer;
    };
    const std::vector<Case> cases = {
        {"261210", "261209", true}, {"261209", "261209", false}, {"261208", "261209", false},
        {"1e-7", "", false},                            // larger by exactly 1e-7: current
        {"1.1e-7", "", true},                           // by more: newer
        {"2e-7", "0", true},        {"abc", "", false}, // no number reads as 0
        {"abc", "261209", false},   {" 1.03", "1.02", true},     {"1.02", "1.02", false},
        {"1.03x", "1.02", true},    {"-5", "", false},
    };
    for (const Case& c : cases) {
        const Version server(c.server);
        const Version local(c.local);
        EXPECT_EQ(server.newerThan(local), c.newer)
            << "server \"" << c.server << "\" local \"" << c.local << "\": " << server.number()
            << " - " << local.number();
    }
}

TEST(MirrorList, SplitsAtFullWidthCommasOnCharacterBoundaries) {
    struct Case {
        const char* what;
        std::string gbkBody;
        std::vector<std::string> expected;
    };
    const std::string comma = common::toGbk("，").bytes;
    const std::string space = common::toGbk("　").bytes;
    const std::vector<Case> cases = {
        {"empty body", "", {}},
        {"one URL", "http://m1/p.zip", {"http://m1/p.zip"}},
        {"two URLs",
         "http://m1/p.zip" + comma + "ftp://m2/p.zip",
         {"http://m1/p.zip", "ftp://m2/p.zip"}},
        {"double comma", "http://a" + comma + comma + "http://b", {"http://a", "", "http://b"}},
        {"trailing comma", "http://a" + comma + "http://b" + comma, {"http://a", "http://b"}},
        {"trailing double comma", "http://a" + comma + comma, {"http://a", ""}},
        {"only a comma", comma, {""}},
        {"ASCII comma", "http://a,http://b", {"http://a,http://b"}},
        {"half- and full-width spaces",
         "  http://a " + space + comma + space + " http://b  ",
         {"http://a", "http://b"}},
        {"spaces inside kept", "http://a/x y.zip", {"http://a/x y.zip"}},
        {"line break inside kept",
         "http://a/\r\np.zip" + comma + "http://b",
         {"http://a/\r\np.zip", "http://b"}},
        {"tab not trimmed", "\thttp://a\t", {"\thttp://a\t"}},
        {"only spaces", "  " + space, {""}},
        // "埃" (B0 A3) then "珸" (AC 40): the bytes A3 AC straddle two characters.
        {"comma bytes across characters", "\xB0\xA3\xAC\x40", {"埃珸"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitMirrorList(common::Gbk{c.gbkBody}), c.expected)
            << c.what << ": got " << joined(splitMirrorList(common::Gbk{c.gbkBody}))
            << ", expected " << joined(c.expected);
    }
}

TEST(MirrorList, TrimmingWalksCharacters) {
    // "啊" (B0 A1) then a lone A1 at the end: the last two bytes look like a full-width
    // space but belong to two characters.
    const common::Gbk tricky{"\xB0\xA1\xA1"};
    EXPECT_EQ(trimSpaces(tricky), tricky);
    const std::string space = common::toGbk("　").bytes;
    EXPECT_EQ(trimSpaces(common::Gbk{space + "x" + space}).bytes, "x");
    EXPECT_EQ(trimSpaces(common::Gbk{" " + space + " "}).bytes, "");
}

TEST(MirrorShuffle, DrawsUntilEveryPositionHasComeUp) {
    // Repeated and out-of-range draws are skipped; first appearances make the order.
    std::vector<int> draws = {2, 2, 0, 4, 3, 2, 1};
    std::size_t next = 0;
    const RandomDraw scripted = [&](int count) {
        EXPECT_EQ(count, 3);
        return draws.at(next++);
    };
    EXPECT_EQ(shuffleMirrors({"a", "b", "c"}, scripted), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(next, draws.size());
}

TEST(MirrorShuffle, IsAPermutationAndEveryOrderComesUp) {
    std::mt19937 generator(20240101);
    const RandomDraw draw = [&](int count) {
        return std::uniform_int_distribution<int>(1, count)(generator);
    };
    const std::vector<std::string> list = {"a", "b", "c"};
    std::map<std::vector<std::string>, int> seen;
    constexpr int kRounds = 6000;
    for (int i = 0; i < kRounds; ++i) {
        std::vector<std::string> shuffled = shuffleMirrors(list, draw);
        std::vector<std::string> sorted = shuffled;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, list) << "not a permutation: " << joined(shuffled);
        ++seen[shuffled];
    }
    ASSERT_EQ(seen.size(), 6u);
    for (const auto& [order, count] : seen) {
        // 1000 expected each; a fixed seed makes this a smoke test, not a gamble.
        EXPECT_GT(count, 850) << joined(order);
        EXPECT_LT(count, 1150) << joined(order);
    }
    EXPECT_TRUE(shuffleMirrors({}, draw).empty());
    EXPECT_EQ(shuffleMirrors({"x"}, draw), std::vector<std::string>{"x"});
}

TEST(MirrorShuffle, TheSystemDrawStaysInRange) {
    const RandomDraw draw = systemRandomDraw();
    for (int i = 0; i < 200; ++i) {
        const int value = draw(5);
        ASSERT_GE(value, 1);
        ASSERT_LE(value, 5);
    }
}

TEST(ReadMirrorList, FetchesFromTheServerBaseAndStartsAtTheFirstEntry) {
    UpdateState state;
    state.setServerBase("http://b.test");
    state.mirrorIndex = 3;
    std::vector<std::string> fetched;
    const auto fetch = [&](const std::string& url) {
        fetched.push_back(url);
        return common::toGbk(" http://m1/p.zip ，http://m2/p.zip").bytes;
    };
    std::vector<int> draws = {2, 1};
    std::size_t next = 0;
    const std::vector<std::string> list =
        readMirrorList(state, fetch, "/du.htm", [&](int) { return draws.at(next++); });
    EXPECT_EQ(fetched, std::vector<std::string>{"http://b.test/du.htm"});
    EXPECT_EQ(list, (std::vector<std::string>{"http://m2/p.zip", "http://m1/p.zip"}));
    EXPECT_EQ(state.mirrorList(), list);
    EXPECT_EQ(state.mirrorIndex.load(), 1);
    EXPECT_EQ(state.mirrorCount(), 2);
    EXPECT_EQ(state.mirrorAt(1), "http://m2/p.zip");
    EXPECT_EQ(state.mirrorAt(3), "");
    EXPECT_EQ(state.mirrorAt(0), "");
}

TEST(UpdateStateRecord, StartsZeroedOnTheFirstServer) {
    UpdateState state;
    state.serverReached = true;
    state.totalBytes = 12.5;
    state.setServerRoot("http://x/");
    state.setMirrorList({"a"});
    state.setAnnouncedDataVersion(Version("261210"));
    state.setAnnouncedProgramVersion(Version("1.03"));
    state.reset({"http://first", "http://second"});
    EXPECT_FALSE(state.serverReached);
    EXPECT_FALSE(state.transferRunning);
    EXPECT_FALSE(state.dataDownloadActive);
    EXPECT_FALSE(state.softwareDownloadActive);
    EXPECT_FALSE(state.listsPending);
    EXPECT_EQ(state.totalBytes.load(), 0.0);
    EXPECT_EQ(state.serverBase(), "http://first");
    EXPECT_EQ(state.serverRoot(), "");
    EXPECT_TRUE(state.mirrorList().empty());
    EXPECT_EQ(state.announcedDataVersion().text(), "");
    EXPECT_EQ(state.announcedProgramVersion().text(), "");
    EXPECT_FALSE(state.statement());
}

} // namespace
} // namespace zorvast::update
