// What a server says about its releases, from hostile bytes: the package manifest and the signed
// release statement.
#include "FuzzSupport.h"

#include "update/check/ReleaseStatement.h"
#include "update/package/PackageManifest.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string_view>

using namespace zorvast;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    if (const auto manifest = update::parseManifest(input)) {
        fuzz::check(update::fitsVersionAnswer(manifest->kind, manifest->version),
                    "a manifest with a version that fits no answer was read");
        fuzz::check(update::formatManifest(*manifest) == input,
                    "a manifest read from a text other than its own");
    }

    // The built-in key is the test key here, so the seeds signed with it pass.
    if (const auto statement = update::verifyReleaseStatement(input, update::builtInPackageKey())) {
        fuzz::check(
            update::fitsVersionAnswer(update::PackageKind::Data, statement->dataVersion) &&
                update::fitsVersionAnswer(update::PackageKind::Software, statement->programVersion),
            "a statement with versions that fit no answer was read");
        fuzz::check(input.size() <= update::kReleaseStatementMaxBytes,
                    "an over-long statement was read");
        // Any clock: the age is a plain number, never a crash.
        (void)update::statementAgeDays(*statement, 0);
        (void)update::statementAgeDays(*statement, std::time_t{253402300799});
    }
    return 0;
}
