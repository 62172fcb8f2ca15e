// The lists of "组合条件：" as values: every item text reads back as its choice and only the
// item texts do.
#include "channels/query/Selection.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace zorvast::channels {
namespace {

// Every item of one list: its text gives its choice and the choice gives the text.
template <typename Choice> void expectEveryLabelRoundTrips(const char* list) {
    const auto& labels = ChoiceTable<Choice>::labels;
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const auto choice = static_cast<Choice>(i);
        EXPECT_EQ(labelOf(choice), labels[i]) << list << " item " << i;
        const std::optional<Choice> back = choiceOf<Choice>(labels[i]);
        ASSERT_TRUE(back.has_value()) << list << " item '" << labels[i] << "'";
        EXPECT_EQ(static_cast<std::size_t>(*back), i) << list << " item '" << labels[i] << "'";
        EXPECT_TRUE(seen.insert(labels[i]).second) << list << " repeats '" << labels[i] << "'";
        EXPECT_FALSE(labels[i].empty()) << list << " item " << i;
    }
}

TEST(Selection, EveryItemTextRoundTrips) {
    expectEveryLabelRoundTrips<Band>("band");
    expectEveryLabelRoundTrips<Polarisation>("polarisation");
    expectEveryLabelRoundTrips<Access>("access");
    expectEveryLabelRoundTrips<ProgrammeKind>("format");
}

struct Unknown {
    const char* list;
    std::string text;
};

bool known(const Unknown& u) {
    const std::string_view list = u.list;
    if (list == "band") {
        return choiceOf<Band>(u.text).has_value();
    }
    if (list == "polarisation") {
        return choiceOf<Polarisation>(u.text).has_value();
    }
    if (list == "access") {
        return choiceOf<Access>(u.text).has_value();
    }
    return choiceOf<ProgrammeKind>(u.text).has_value();
}

// Only the exact item texts: no other case, no blanks around them, no item of another list.
TEST(Selection, OtherTextsAreNoChoice) {
    const Unknown cases[] = {
        {"band", ""},
        {"band", "ku"},
        {"band", "KU"},
        {"band", " Ku"},
        {"band", "Ku "},
        {"band", "c"},
        {"band", "全部显示"},
        {"band", "X"},
        {"polarisation", "H"},
        {"polarisation", "水平"},
        {"polarisation", "水平(h)"},
        {"polarisation", "水平（H）"},
        {"polarisation", "左旋(L)"},
        {"access", "free"},
        {"access", "Ku"},
        {"access", "免 费"},
        {"format", "全部"},
        {"format", "电视"},
        {"format", "所有电视 "},
        {"format", "(高清)"},
        {"format", std::string("数据\0", 7)},
    };
    for (const Unknown& c : cases) {
        EXPECT_FALSE(known(c)) << c.list << " took '" << c.text << "'";
    }
}

// A selection left as it is made is what the start-up selects in the lists.
TEST(Selection, UntouchedSelectionIsWhatTheListsStartAt) {
    const CombinedSelection untouched;
    EXPECT_EQ(static_cast<int>(untouched.band), choiceItems<Band>().initial);
    EXPECT_EQ(static_cast<int>(untouched.polarisation), choiceItems<Polarisation>().initial);
    EXPECT_EQ(static_cast<int>(untouched.access), choiceItems<Access>().initial);
    EXPECT_EQ(static_cast<int>(untouched.kind), choiceItems<ProgrammeKind>().initial);
    EXPECT_EQ(choiceItems<ProgrammeKind>().labels.size(), 7u);
    EXPECT_EQ(labelOf(untouched.band), "全部");
    EXPECT_EQ(labelOf(untouched.kind), "所有电视");
}

TEST(Selection, ItemTextsJoinedInListOrder) {
    EXPECT_EQ(joinedLabels<Band>("|"), "全部|Ku|C");
    EXPECT_EQ(joinedLabels<Polarisation>(", "), "全部, 水平(H), 垂直(V)");
    EXPECT_EQ(joinedLabels<Access>(""), "全部免费加密");
    EXPECT_EQ(joinedLabels<ProgrammeKind>("|"),
              "全部显示|所有电视|标清电视|高清电视|测试或临传|广播|数据");
}

} // namespace
} // namespace zorvast::channels
