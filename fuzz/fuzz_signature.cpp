// The package signature check on hostile entries, and the key parser on hostile text.
#include "FuzzSupport.h"

#include "update/package/PackageSignature.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace zorvast;

namespace {

bool holdsSignatureEntry(const std::vector<update::PackageEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const update::PackageEntry& e) {
        return e.name == update::kSignatureEntry && e.content.size() == update::kSignatureBytes;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<update::PackageEntry> entries = fuzz::decodeEntries(input);

    // The built-in key is the test key here, so the seeds signed with it pass.
    const update::PublicKey builtIn = update::builtInPackageKey();
    const bool verified = update::verifyPackageEntries(entries, builtIn);
    if (verified) {
        fuzz::check(holdsSignatureEntry(entries), "verified without a signature entry");
    }

    // The digest does not depend on the order the entries come in.
    const auto digest = update::packageDigest(entries);
    std::reverse(entries.begin(), entries.end());
    const auto reversedDigest = update::packageDigest(entries);
    fuzz::check(digest == reversedDigest, "the digest depends on the entry order");
    fuzz::check(update::verifyPackageEntries(entries, builtIn) == verified,
                "verification depends on the entry order");

    // The same bytes as key text.
    if (const auto key = update::parsePublicKey(input)) {
        fuzz::check(update::parsePublicKey(update::toHex(std::string_view(
                        reinterpret_cast<const char*>(key->data()), key->size()))) == key,
                    "a public key does not survive hex and back");
        (void)update::verifyPackageEntries(entries, *key);
    }
    if (const auto key = update::parseSecretKey(input)) {
        fuzz::check(update::parseSecretKey(update::toHex(std::string_view(
                        reinterpret_cast<const char*>(key->data()), key->size()))) == key,
                    "a secret key does not survive hex and back");
    }
    return 0;
}
