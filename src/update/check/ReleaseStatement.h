// The publisher's signed word on what is current: "release.sig" beside "dv.htm" and "sv.htm"
// names the current data and program versions and the day it was issued, signed with the
// package key. A server that keeps answering with old versions can then be told from one that
// is up to date: the statement it serves grows old.
//
// The file is ASCII text, five lines, each ending in CR LF, in this order and nothing else:
//   format=1
//   data=261210                  (1 to 7 bytes, as the data version answer)
//   program=1.03                 (1 to 5 bytes, as the program version answer)
//   issued=2026-12-10            (UTC)
//   signature=<128 hex digits>   (lower case)
// The signature is Ed25519 over "Zorvast release statement" NUL followed by the first four lines
// as they stand. A package signature signs a 64-byte digest and this message is always longer
// than that, besides the prefix, so neither can pass for the other.
#pragma once

#include "update/package/PackageSignature.h"

#include <chrono>
#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::update {

inline constexpr const char* kReleaseStatementPath = "/release.sig";
// Anything longer is refused unread.
inline constexpr std::size_t kReleaseStatementMaxBytes = 4096;
// A statement older than this says the server no longer hears from the publisher.
inline constexpr int kStaleStatementDays = 45;

struct ReleaseStatement {
    std::string dataVersion;
    std::string programVersion;
    std::chrono::year_month_day issued{}; // UTC

    bool operator==(const ReleaseStatement&) const = default;
};

// The file's text, signed with `secretKey`; nullopt when a version does not fit its answer, the
// date is not a calendar date from 1970 to 9999, or libsodium cannot start.
std::optional<std::string> signReleaseStatement(const ReleaseStatement& statement,
                                                const SecretKey& secretKey);

// The statement of a text in exactly the form above, signed with the secret half of `publicKey`;
// nullopt when it is too long, malformed, names a date that does not exist or the signature
// fails.
std::optional<ReleaseStatement> verifyReleaseStatement(std::string_view text,
                                                       const PublicKey& publicKey);

// The date of an "issued=" value: exactly "YYYY-MM-DD" in digits; nullopt for anything else. The
// day need not exist (check it with ok()).
std::optional<std::chrono::year_month_day> parseIssueDate(std::string_view text);

// Whole days from the start of the issue date to `now` (UTC), negative for a date still to come.
int statementAgeDays(const ReleaseStatement& statement, std::time_t now);

} // namespace zorvast::update
