#include "common/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace zorvast::common {
namespace {

// "卫星天线 仰角45.2°" in GBK.
const std::string kDishGbk = "\xCE\xC0\xD0\xC7\xCC\xEC\xCF\xDF \xD1\xF6\xBD\xC7"
                             "45.2\xA1\xE3";
const std::string kDishUtf8 = "卫星天线 仰角45.2°";
const std::string kComma = "\xA3\xAC"; // "，"

std::vector<std::string> bytesOf(const std::vector<Gbk>& pieces) {
    std::vector<std::string> out;
    for (const Gbk& piece : pieces) {
        out.push_back(piece.bytes);
    }
    return out;
}

TEST(GbkConversion, RoundTripsMixedText) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {kDishUtf8, kDishGbk},
        {"", ""},
        {"ASCII only 123", "ASCII only 123"},
        {"中文", "\xD6\xD0\xCE\xC4"},
        {"亚洲，中文", "\xD1\xC7\xD6\xDE\xA3\xAC\xD6\xD0\xCE\xC4"},
        {"表", "\xB1\xED"},
        {"a\r\nb", "a\r\nb"},
    };
    for (const auto& [utf8, gbk] : cases) {
        EXPECT_EQ(toGbk(utf8).bytes, gbk) << utf8;
        EXPECT_EQ(fromGbk(Gbk{gbk}), utf8) << utf8;
    }
}

TEST(GbkConversion, UnmappableCharactersBecomeQuestionMarks) {
    // U+1F4E1 (satellite antenna emoji) and U+0E01 (Thai) have no GBK code.
    EXPECT_EQ(toGbk("天\xF0\x9F\x93\xA1线").bytes, "\xCC\xEC?\xCF\xDF");
    EXPECT_EQ(toGbk("\xF0\x9F\x93\xA1\xF0\x9F\x93\xA1").bytes, "??");
    EXPECT_EQ(toGbk("a\xE0\xB8\x81z").bytes, "a?z");
}

TEST(GbkConversion, InvalidUtf8BecomesQuestionMarks) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\xFFz", "a?z"},
        {"\xC3", "?"},                     // truncated two-byte sequence
        {"\xE4\xB8", "??"},                // truncated three-byte sequence
        {"\xC0\xAF", "??"},                // overlong '/'
        {"\xED\xA0\x80", "???"},           // UTF-16 surrogate
        {"\xF4\x90\x80\x80", "????"},      // beyond U+10FFFF
        {"中\x80文", "\xD6\xD0?\xCE\xC4"}, // stray continuation byte
    };
    for (const auto& [utf8, gbk] : cases) {
        EXPECT_EQ(toGbk(utf8).bytes, gbk);
    }
}

TEST(GbkConversion, InvalidGbkBecomesQuestionMarksAndKeepsTheRest) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ab\xA3", "ab?"},       // lead byte cut off at the end
        {"\xA2\xA0xyz", "?xyz"}, // well-shaped pair without a code
        {"\x81\x30"
         "9",
         "?09"},                                   // lead byte before a byte that cannot trail
        {"\xD6\xD0\r\n\xFF\xCE\xC4", "中\r\n?文"}, // 0xFF is never a character
        {"\xA1\x40"
         "a",
         "?a"},
    };
    for (const auto& [gbk, utf8] : cases) {
        EXPECT_EQ(fromGbk(Gbk{gbk}), utf8);
    }
}

TEST(GbkConversion, EachThreadConvertsIndependently) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                if (toGbk(kDishUtf8).bytes != kDishGbk || fromGbk(Gbk{kDishGbk}) != kDishUtf8) {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(GbkCharacters, LengthsFollowLeadBytes) {
    const std::string bytes = "a\xD6\xD0"
                              "b\xA3";
    EXPECT_EQ(gbkCharacterLength(bytes, 0), 1u);
    EXPECT_EQ(gbkCharacterLength(bytes, 1), 2u);
    EXPECT_EQ(gbkCharacterLength(bytes, 3), 1u);
    EXPECT_EQ(gbkCharacterLength(bytes, 4), 1u); // lone lead byte at the end
    EXPECT_EQ(gbkCharacterLength(bytes, 5), 0u);
    EXPECT_EQ(gbkCharacterLength(Gbk{"\x80"
                                     "a"},
                                 0),
              1u); // 0x80 is not a lead byte
    EXPECT_EQ(gbkCharacterLength(Gbk{"\xFF"
                                     "a"},
                                 0),
              1u);
    EXPECT_EQ(gbkCharacterLength(Gbk{"\x81"
                                     "a"},
                                 0),
              2u);
    EXPECT_EQ(gbkCharacterCount(Gbk{kDishGbk}), 12u);
    EXPECT_EQ(gbkCharacterCount(Gbk{""}), 0u);
}

TEST(GbkCharacters, ByteLengthOfUtf8Text) {
    EXPECT_EQ(gbkByteLength(kDishUtf8), kDishGbk.size());
    EXPECT_EQ(gbkByteLength("中文ab"), 6u);
    EXPECT_EQ(gbkByteLength(""), 0u);
    EXPECT_EQ(gbkByteLength("\xF0\x9F\x93\xA1"), 1u); // becomes "?"
}

TEST(GbkPrefix, NeverSplitsACharacter) {
    const Gbk text{"ab\xD6\xD0\xCE\xC4"
                   "c"}; // "ab中文c"
    const std::vector<std::pair<std::size_t, std::string>> cases = {
        {0, ""},
        {1, "a"},
        {2, "ab"},
        {3, "ab"}, // would cut 中
        {4, "ab\xD6\xD0"},
        {5, "ab\xD6\xD0"},
        {6, "ab\xD6\xD0\xCE\xC4"},
        {7, "ab\xD6\xD0\xCE\xC4"
            "c"},
        {100, "ab\xD6\xD0\xCE\xC4"
              "c"},
    };
    for (const auto& [limit, expected] : cases) {
        EXPECT_EQ(gbkPrefix(text, limit).bytes, expected) << "limit " << limit;
    }
}

TEST(GbkPrefix, OddByteCountsAndALoneLeadByte) {
    // "中" followed by a dangling lead byte: the dangling byte is a character of its own.
    const Gbk text{"\xD6\xD0\xA3"};
    EXPECT_EQ(gbkPrefix(text, 1).bytes, "");
    EXPECT_EQ(gbkPrefix(text, 2).bytes, "\xD6\xD0");
    EXPECT_EQ(gbkPrefix(text, 3).bytes, "\xD6\xD0\xA3");
    // An 80-byte cut of a title whose 40th character starts at byte 79.
    const Gbk title{"x" + std::string(78, 'y') +
                    "\xCE\xC0"
                    "tail"};
    EXPECT_EQ(gbkPrefix(title, 80).bytes.size(), 79u);
}

TEST(GbkStartsWithCharacter, ComparesTheWholeFirstCharacter) {
    const Gbk star{"\xA1\xEF"};  // "☆"
    const Gbk other{"\xA1\xEE"}; // "★"
    EXPECT_TRUE(gbkStartsWithCharacter(Gbk{"\xA1\xEF"
                                           "12"},
                                       star));
    EXPECT_FALSE(gbkStartsWithCharacter(Gbk{"\xA1\xEE"
                                            "12"},
                                        star));
    EXPECT_FALSE(gbkStartsWithCharacter(Gbk{"\xA1\xEF"}, other));
    EXPECT_FALSE(gbkStartsWithCharacter(Gbk{""}, star));
    EXPECT_FALSE(gbkStartsWithCharacter(Gbk{"\xA1"}, star)); // only half of it
    EXPECT_TRUE(gbkStartsWithCharacter(Gbk{"a\xA1\xEF"}, Gbk{"a"}));
    EXPECT_FALSE(gbkStartsWithCharacter(Gbk{"ab"}, Gbk{"ab"})); // "ab" is two characters
    EXPECT_FALSE(gbkStartsWithCharacter(Gbk{"\xA1\xEF"}, Gbk{"\xA1"}));
}

TEST(SplitGbkLines, SplitsAtCrLfAndKeepsTheLastPiece) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {""}},
        {"one", {"one"}},
        {"a\r\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b", ""}},
        {"\r\n", {"", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\nb\rc", {"a\nb\rc"}}, // lone LF or CR does not end a line
        {"\xD6\xD0\r\n\xCE\xC4", {"\xD6\xD0", "\xCE\xC4"}},
        // Walking characters: a lead byte takes the byte after it, here the CR.
        {"\xD6\r\nx", {"\xD6\r\nx"}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(bytesOf(splitGbkLines(Gbk{text})), expected) << "text " << text;
    }
}

TEST(SplitGbk, SplitsAtFullWidthCommaOnCharacterBoundaries) {
    const Gbk comma{kComma};
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"\xD6\xD0\xA3\xAC\xCE\xC4", {"\xD6\xD0", "\xCE\xC4"}},
        {"a\xA3\xAC\xA3\xAC"
         "b",
         {"a", "", "b"}},
        {"\xA3\xAC", {"", ""}},
        {"", {""}},
        {"abc", {"abc"}},
        // 0xA3 0xAC appears across the boundary of "\xB1\xA3" and "\xAC\xB1": not a comma.
        {"\xB1\xA3\xAC\xB1", {"\xB1\xA3\xAC\xB1"}},
        // After an odd ASCII prefix the same bytes do start on a boundary.
        {"x\xA3\xAC\xB1\xED", {"x", "\xB1\xED"}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(bytesOf(splitGbk(Gbk{text}, comma)), expected);
    }
}

TEST(SplitGbk, SeparatorMustEndOnABoundary) {
    // A separator that is a lone lead byte cannot match the first half of a character.
    EXPECT_EQ(bytesOf(splitGbk(Gbk{"\xA3\xAC"
                                   "a"},
                               Gbk{"\xA3"})),
              (std::vector<std::string>{"\xA3\xAC"
                                        "a"}));
    EXPECT_EQ(bytesOf(splitGbk(Gbk{"a,b,,c"}, Gbk{","})),
              (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(bytesOf(splitGbk(Gbk{"a,b"}, Gbk{""})), (std::vector<std::string>{"a,b"}));
}

TEST(WithCrLf, TurnsLoneLineFeedsIntoCrLf) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},         {"a\nb", "a\r\nb"},     {"a\r\nb", "a\r\nb"}, {"\n\n", "\r\n\r\n"},
        {"a\rb", "a\rb"}, {"卫星\n", "卫星\r\n"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(withCrLf(in), out);
    }
    EXPECT_EQ(toGbkWithCrLf("中\n文").bytes, "\xD6\xD0\r\n\xCE\xC4");
}

TEST(GbkType, ComparesBytes) {
    EXPECT_EQ(Gbk{"ab"}, Gbk{"ab"});
    EXPECT_NE(Gbk{"ab"}, Gbk{"aB"});
    EXPECT_TRUE(Gbk{}.empty());
    EXPECT_EQ(Gbk{kDishGbk}.size(), kDishGbk.size());
}

TEST(ValidUtf8, Table) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},
        {"plain ASCII", true},
        {"卫星 \xF0\x9F\x93\xA1", true}, // three- and four-byte forms
        {"\xC0\xAF", false},             // overlong '/'
        {"\xE0\x80\xAF", false},         // overlong, three bytes
        {"\xED\xA0\x80", false},         // a surrogate
        {"\xF4\x90\x80\x80", false},     // above U+10FFFF
        {"\xE5\x8D", false},             // cut short
        {"\xCE\xC0\xD0\xC7", false},     // GBK bytes
        {"\x80", false},                 // a lone trail byte
    };
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(isValidUtf8(text), valid) << text.size() << " bytes";
    }
}

} // namespace
} // namespace zorvast::common
