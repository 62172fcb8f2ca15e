#include "update/check/ReleaseStatement.h"

#include "update/package/PackageManifest.h"

#include "common/Text.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <limits>

namespace zorvast::update {

namespace {

namespace chrono = std::chrono;

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFormatLine = "format=1";
constexpr std::string_view kDataKey = "data=";
constexpr std::string_view kProgramKey = "program=";
constexpr std::string_view kIssuedKey = "issued=";
constexpr std::string_view kSignatureKey = "signature=";
// The message signed is this (its NUL included) followed by the lines above the signature.
constexpr std::string_view kDomain{"Zorvast release statement\0", 26};

static_assert(kDomain.size() + kFormatLine.size() + 4 * kLineEnd.size() + kDataKey.size() + 1 +
                      kProgramKey.size() + 1 + kIssuedKey.size() + 10 >
                  kDigestBytes,
              "the shortest statement message must be longer than a package digest");

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

bool validDate(chrono::year_month_day date) {
    return date.ok() && date.year() >= chrono::year{1970} && date.year() <= chrono::year{9999};
}

bool validStatement(const ReleaseStatement& statement) {
    return fitsVersionAnswer(PackageKind::Data, statement.dataVersion) &&
           fitsVersionAnswer(PackageKind::Software, statement.programVersion) &&
           validDate(statement.issued);
}

// The lines the signature covers.
std::string signedLines(const ReleaseStatement& statement) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02u-%02u", int(statement.issued.year()),
                  unsigned(statement.issued.month()), unsigned(statement.issued.day()));
    std::string text;
    text.append(kFormatLine).append(kLineEnd);
    text.append(kDataKey).append(statement.dataVersion).append(kLineEnd);
    text.append(kProgramKey).append(statement.programVersion).append(kLineEnd);
    text.append(kIssuedKey).append(date).append(kLineEnd);
    return text;
}

std::string messageOf(std::string_view lines) {
    std::string message(kDomain);
    message.append(lines);
    return message;
}

std::optional<int> digitsValue(std::string_view digits) {
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<chrono::year_month_day> parseIssueDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const std::optional<int> year = digitsValue(text.substr(0, 4));
    const std::optional<int> month = digitsValue(text.substr(5, 2));
    const std::optional<int> day = digitsValue(text.substr(8, 2));
    if (!year || !month || !day) {
        return std::nullopt;
    }
    return chrono::year{*year} / chrono::month{static_cast<unsigned>(*month)} /
           chrono::day{static_cast<unsigned>(*day)};
}

namespace {

// Lower-case hex only: the signer writes nothing else.
std::optional<std::array<unsigned char, kSignatureBytes>> parseSignature(std::string_view hex) {
    if (hex.size() != 2 * kSignatureBytes) {
        return std::nullopt;
    }
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::array<unsigned char, kSignatureBytes> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int high = digit(hex[2 * i]);
        const int low = digit(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return out;
}

} // namespace

std::optional<std::string> signReleaseStatement(const ReleaseStatement& statement,
                                                const SecretKey& secretKey) {
    if (!validStatement(statement) || !sodiumReady()) {
        return std::nullopt;
    }
    std::string text = signedLines(statement);
    const std::string message = messageOf(text);
    std::array<unsigned char, kSignatureBytes> signature{};
    crypto_sign_detached(signature.data(), nullptr, bytesOf(message), message.size(),
                         secretKey.data());
    text.append(kSignatureKey)
        .append(toHex({reinterpret_cast<const char*>(signature.data()), signature.size()}))
        .append(kLineEnd);
    return text;
}

std::optional<ReleaseStatement> verifyReleaseStatement(std::string_view text,
                                                       const PublicKey& publicKey) {
    if (text.size() > kReleaseStatementMaxBytes || !sodiumReady()) {
        return std::nullopt;
    }
    std::string_view rest = text;
    const std::optional<std::string_view> format = common::takeKeyedLine(rest, kFormatLine);
    const std::optional<std::string_view> data =
        format ? common::takeKeyedLine(rest, kDataKey) : std::nullopt;
    const std::optional<std::string_view> program =
        data ? common::takeKeyedLine(rest, kProgramKey) : std::nullopt;
    const std::optional<std::string_view> issued =
        program ? common::takeKeyedLine(rest, kIssuedKey) : std::nullopt;
    const std::size_t signedLength = text.size() - rest.size();
    const std::optional<std::string_view> signatureHex =
        issued ? common::takeKeyedLine(rest, kSignatureKey) : std::nullopt;
    if (!signatureHex || !rest.empty() || !format->empty()) {
        return std::nullopt;
    }
    ReleaseStatement statement;
    const std::optional<chrono::year_month_day> date = parseIssueDate(*issued);
    // The allowed version bytes leave no room for a stray CR or LF inside a value.
    if (!fitsVersionAnswer(PackageKind::Data, *data) ||
        !fitsVersionAnswer(PackageKind::Software, *program) || !date || !validDate(*date)) {
        return std::nullopt;
    }
    statement.issued = *date;
    const auto signature = parseSignature(*signatureHex);
    if (!signature) {
        return std::nullopt;
    }
    const std::string message = messageOf(text.substr(0, signedLength));
    if (crypto_sign_verify_detached(signature->data(), bytesOf(message), message.size(),
                                    publicKey.data()) != 0) {
        return std::nullopt;
    }
    statement.dataVersion = std::string(*data);
    statement.programVersion = std::string(*program);
    return statement;
}

int statementAgeDays(const ReleaseStatement& statement, std::time_t now) {
    const chrono::sys_days issued{statement.issued};
    // In seconds, not the system clock's ticks, so that no time_t overflows on the way.
    const auto today = chrono::floor<chrono::days>(chrono::sys_seconds{chrono::seconds{now}});
    const long long days = (today - issued).count();
    return static_cast<int>(std::clamp<long long>(days, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

} // namespace zorvast::update
