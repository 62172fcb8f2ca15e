#include "update/check/ReleaseStatement.h"

#include "UpdateFakes.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::update {
namespace {

using testing::testPublicKey;
using testing::testSecretKey;
using namespace std::chrono_literals;

const std::string kDomain("Zorvast release statement\0", 26);
const std::string kGoodLines = "format=1\r\ndata=261210\r\nprogram=1.03\r\nissued=2026-12-10\r\n";
const ReleaseStatement kGood{"261210", "1.03", 2026y / 12 / 10};

std::string signatureOf(const std::string& message, const SecretKey& key = testSecretKey()) {
    EXPECT_GE(sodium_init(), 0);
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         key.data());
    return toHex({reinterpret_cast<const char*>(signature.data()), signature.size()});
}

// `lines` with a signature line made here, independently of the signer under test, so that
// malformed texts reach the parser with a signature that holds.
std::string signedByHand(const std::string& lines, const SecretKey& key = testSecretKey()) {
    return lines + "signature=" + signatureOf(kDomain + lines, key) + "\r\n";
}

std::string describe(const ReleaseStatement& s) {
    return s.dataVersion + " " + s.programVersion + " " + std::to_string(int(s.issued.year())) +
           "-" + std::to_string(unsigned(s.issued.month())) + "-" +
           std::to_string(unsigned(s.issued.day()));
}

TEST(ReleaseStatement, SignedTextIsTheFiveLinesAndVerifies) {
    const std::optional<std::string> text = signReleaseStatement(kGood, testSecretKey());
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, signedByHand(kGoodLines)) << "the lines, then the signature in hex";
    const std::optional<ReleaseStatement> read = verifyReleaseStatement(*text, testPublicKey());
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, kGood) << describe(*read);
}

TEST(ReleaseStatement, RoundTripsAtTheEdgesOfItsFields) {
    const std::vector<ReleaseStatement> good = {
        {"1234567", "12345", 2024y / 2 / 29}, {"1", "1", 1970y / 1 / 1},
        {"261210", "1e-7", 2000y / 2 / 29},   {"!~", "~", 9999y / 12 / 31},
        {"0", "0", 2026y / 1 / 31},
    };
    for (const ReleaseStatement& statement : good) {
        const std::optional<std::string> text = signReleaseStatement(statement, testSecretKey());
        ASSERT_TRUE(text) << describe(statement);
        const std::optional<ReleaseStatement> read = verifyReleaseStatement(*text, testPublicKey());
        ASSERT_TRUE(read) << describe(statement);
        EXPECT_EQ(*read, statement) << describe(statement);
    }
}

TEST(ReleaseStatement, TheSignerRefusesWhatTheReaderWouldRefuse) {
    const std::vector<ReleaseStatement> bad = {
        {"", "1.03", 2026y / 12 / 10},       {"12345678", "1.03", 2026y / 12 / 10},
        {"261210", "", 2026y / 12 / 10},     {"261210", "1.0300", 2026y / 12 / 10},
        {"2612 0", "1.03", 2026y / 12 / 10}, {"261210", "1.03\r", 2026y / 12 / 10},
        {"261210", "1.03", 2026y / 2 / 29},  {"261210", "1.03", 2100y / 2 / 29},
        {"261210", "1.03", 2026y / 4 / 31},  {"261210", "1.03", 2026y / 13 / 1},
        {"261210", "1.03", 2026y / 0 / 1},   {"261210", "1.03", 2026y / 1 / 0},
        {"261210", "1.03", 1969y / 12 / 31}, {"261210", "1.03", 10000y / 1 / 1},
    };
    for (const ReleaseStatement& statement : bad) {
        EXPECT_FALSE(signReleaseStatement(statement, testSecretKey())) << describe(statement);
    }
}

TEST(ReleaseStatement, TheSignatureIsDomainSeparated) {
    const std::string text = signReleaseStatement(kGood, testSecretKey()).value();
    const std::string hex = text.substr(kGoodLines.size() + 10, 128);
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    for (std::size_t i = 0; i < signature.size(); ++i) {
        signature[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
    const auto verifies = [&](const std::string& message) {
        return crypto_sign_verify_detached(signature.data(),
                                           reinterpret_cast<const unsigned char*>(message.data()),
                                           message.size(), testPublicKey().data()) == 0;
    };
    EXPECT_TRUE(verifies(kDomain + kGoodLines));
    EXPECT_FALSE(verifies(kGoodLines)) << "the bare lines";
    // The lines signed without the prefix do not make a statement.
    EXPECT_FALSE(verifyReleaseStatement(
        kGoodLines + "signature=" + signatureOf(kGoodLines) + "\r\n", testPublicKey()));
}

TEST(ReleaseStatement, MalformedTextsAreRefusedEvenWhenSigned) {
    struct Case {
        const char* what;
        std::string lines; // signed by hand
    };
    const std::string data = "data=261210\r\n";
    const std::string program = "program=1.03\r\n";
    const std::string issued = "issued=2026-12-10\r\n";
    const auto withDate = [&](const std::string& date) {
        return "format=1\r\n" + data + program + "issued=" + date + "\r\n";
    };
    const std::vector<Case> cases = {
        {"another format", "format=2\r\n" + data + program + issued},
        {"no format line", data + program + issued},
        {"format line with a blank", "format=1 \r\n" + data + program + issued},
        {"data and program swapped", "format=1\r\n" + program + data + issued},
        {"data twice", "format=1\r\n" + data + data + program + issued},
        {"program missing", "format=1\r\n" + data + issued},
        {"issued missing", "format=1\r\n" + data + program},
        {"an unknown line", "format=1\r\n" + data + program + issued + "mirror=x\r\n"},
        {"an empty line", "format=1\r\n" + data + program + "\r\n" + issued},
        {"LF line ends", "format=1\ndata=261210\nprogram=1.03\nissued=2026-12-10\n"},
        {"data version of 8 bytes", "format=1\r\ndata=26121011\r\n" + program + issued},
        {"empty data version", "format=1\r\ndata=\r\n" + program + issued},
        {"program version of 6 bytes", "format=1\r\n" + data + "program=1.0300\r\n" + issued},
        {"space in a version", "format=1\r\n" + data + "program=1 03\r\n" + issued},
        {"GBK bytes in a version", "format=1\r\ndata=\xb0\xe6\r\n" + program + issued},
        {"a CR inside a version", "format=1\r\ndata=26\r1210\r\n" + program + issued},
        {"29 February of a common year", withDate("2026-02-29")},
        {"29 February 2100", withDate("2100-02-29")},
        {"31 April", withDate("2026-04-31")},
        {"month 13", withDate("2026-13-01")},
        {"month 0", withDate("2026-00-10")},
        {"day 0", withDate("2026-12-00")},
        {"day 32", withDate("2026-12-32")},
        {"before 1970", withDate("1969-12-31")},
        {"one-digit month", withDate("2026-1-10")},
        {"slashes", withDate("2026/12/10")},
        {"two-digit year", withDate("26-12-10")},
        {"a sign in the year", withDate("+026-12-10")},
        {"a blank before the date", withDate(" 2026-12-10")},
        {"a blank after the date", withDate("2026-12-10 ")},
        {"a time after the date", withDate("2026-12-10T00:00")},
        {"no date", withDate("")},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(verifyReleaseStatement(signedByHand(c.lines), testPublicKey())) << c.what;
    }
}

TEST(ReleaseStatement, AlteredTruncatedOrForeignTextsAreRefused) {
    const std::string good = signReleaseStatement(kGood, testSecretKey()).value();
    ASSERT_TRUE(verifyReleaseStatement(good, testPublicKey()));

    for (std::size_t at = 0; at < good.size(); ++at) {
        std::string altered = good;
        // A digit stays a digit and a letter a letter, so most changes still parse.
        altered[at] = altered[at] == '9'   ? '8'
                      : altered[at] == 'f' ? 'e'
                                           : static_cast<char>(altered[at] + 1);
        EXPECT_FALSE(verifyReleaseStatement(altered, testPublicKey())) << "byte " << at;
        EXPECT_FALSE(verifyReleaseStatement(good.substr(0, at), testPublicKey()))
            << "cut to " << at << " bytes";
    }

    const auto other = generateKeyPair();
    ASSERT_TRUE(other);
    EXPECT_FALSE(verifyReleaseStatement(good, other->publicKey)) << "another key's public half";
    EXPECT_FALSE(verifyReleaseStatement(signReleaseStatement(kGood, other->secretKey).value(),
                                        testPublicKey()))
        << "signed with another key";

    const std::string signatureLine = good.substr(kGoodLines.size());
    std::string upper = signatureLine;
    for (char& c : upper) {
        c = c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"signature in capitals", kGoodLines + upper},
        {"no signature line", kGoodLines},
        {"signature line without its end", good.substr(0, good.size() - 2)},
        {"signature line ending in LF", good.substr(0, good.size() - 2) + "\n"},
        {"a line after the signature", good + "mirror=x\r\n"},
        {"an empty line after the signature", good + "\r\n"},
        {"a NUL after the signature", good + std::string(1, '\0')},
        {"signature one digit short",
         kGoodLines + signatureLine.substr(0, signatureLine.size() - 3) + "\r\n"},
        {"signature one digit long",
         kGoodLines + signatureLine.substr(0, signatureLine.size() - 2) + "0\r\n"},
        {"signature all zeros", kGoodLines + "signature=" + std::string(128, '0') + "\r\n"},
        {"signature twice", kGoodLines + signatureLine + signatureLine},
        {"blank before the signature", kGoodLines + " " + signatureLine},
        {"over 4 KiB", good + std::string(kReleaseStatementMaxBytes, ' ')},
        {"10 MB", good + std::string(10'000'000, 'x')},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(verifyReleaseStatement(c.text, testPublicKey())) << c.what;
    }
}

std::time_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return timegm(&parts);
}

TEST(ReleaseStatement, AgeInWholeDaysUtc) {
    struct Case {
        const char* what;
        ReleaseStatement issued;
        std::time_t now;
        int days;
    };
    const auto on = [](int year, int month, int day) {
        return ReleaseStatement{"261210", "1.03", std::chrono::year{year} / month / day};
    };
    const std::vector<Case> cases = {
        {"the start of the issue day", on(2026, 12, 10), utc(2026, 12, 10), 0},
        {"the end of the issue day", on(2026, 12, 10), utc(2026, 12, 10, 23, 59, 59), 0},
        {"the next midnight", on(2026, 12, 10), utc(2026, 12, 11), 1},
        {"the last second before the issue day", on(2026, 12, 10), utc(2026, 12, 9, 23, 59, 59),
         -1},
        {"into the next month", on(2026, 1, 31), utc(2026, 2, 1, 12), 1},
        {"over February of a common year", on(2026, 2, 28), utc(2026, 3, 1), 1},
        {"over February of a leap year", on(2024, 2, 28), utc(2024, 3, 1), 2},
        {"over February 2100", on(2100, 2, 28), utc(2100, 3, 1), 1},
        {"into the next year", on(2025, 12, 31), utc(2026, 1, 1, 0, 0, 1), 1},
        {"45 days over the year's end", on(2025, 12, 10), utc(2026, 1, 24, 8), 45},
        {"a leap year", on(2024, 1, 1), utc(2025, 1, 1), 366},
        {"a common year", on(2025, 1, 1), utc(2026, 1, 1), 365},
        // Fixed numbers, not derived from timegm.
        {"the epoch", on(1970, 1, 1), 0, 0},
        {"the day after the epoch", on(1970, 1, 2), 0, -1},
        {"20000 days after the epoch", on(1970, 1, 1), 20000LL * 86400 + 86399, 20000},
        {"1 January 2000", on(2000, 1, 1), 946684800, 0},
        {"a day before 1 January 2000", on(2000, 1, 1), 946684799, -1},
    };
    // Local time plays no part: a zone far from UTC changes nothing.
    const char* savedZone = std::getenv("TZ");
    const std::string saved = savedZone ? savedZone : "";
    for (const char* zone : {"UTC0", "CST-8", "HST10"}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        for (const Case& c : cases) {
            EXPECT_EQ(statementAgeDays(c.issued, c.now), c.days) << c.what << " in TZ " << zone;
        }
    }
    if (savedZone) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

} // namespace
} // namespace zorvast::update
