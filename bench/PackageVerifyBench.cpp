// What checking the shipped data package costs at start-up: the package read once, unpacked and
// verified in memory and written into a working folder, against the plain extraction it
// replaced. Prints the median of many runs of each, in milliseconds.
#include "common/Files.h"
#include "common/Zip.h"
#include "update/package/DataApply.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zorvast;

namespace {

constexpr int kRuns = 60;

double milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Timing {
    double median = 0;
    double fastest = 0;
};

// `kRuns` runs of `step` (after one warm-up run); `before` runs untimed each time.
Timing timed(const std::function<void()>& before, const std::function<bool()>& step) {
    std::vector<double> times;
    for (int i = 0; i <= kRuns; ++i) {
        before();
        const auto start = std::chrono::steady_clock::now();
        if (!step()) {
            std::fprintf(stderr, "step failed\n");
            std::exit(1);
        }
        const double ms = milliseconds(std::chrono::steady_clock::now() - start);
        if (i > 0) {
            times.push_back(ms);
        }
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

void print(const char* what, const Timing& t) {
    std::printf("%-46s %7.2f ms  (fastest %6.2f)\n", what, t.median, t.fastest);
}

} // namespace

int main() {
    const fs::path package = ZORVAST_BINARY_DIR "/data/satdata.sta";
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder =
        fs::path(tmp && *tmp ? tmp : "/tmp") / "zorvast-bench-package-verify" / "satdata_temp";
    const update::PublicKey key = update::builtInPackageKey();
    const auto fresh = [&] {
        common::removeTree(folder);
        fs::create_directories(folder);
    };

    const Timing plain =
        timed(fresh, [&] { return common::extractArchive(package.string(), folder.string()).ok; });
    const Timing verified = timed(fresh, [&] {
        const auto read = update::readVerifiedDataPackage(package, key);
        return read && update::writePackageFiles(*read, folder);
    });

    // The verified path in its parts.
    std::optional<std::string> bytes;
    const Timing readTime =
        timed([] {},
              [&] {
                  bytes = common::readArchiveFile(package.string(), update::kPackageSizeLimit);
                  return bytes.has_value();
              });
    common::UnpackResult unpacked;
    const Timing unpackTime = timed([] {},
                                    [&] {
                                        unpacked = common::unpackArchive(common::asBytes(*bytes));
                                        return unpacked.ok;
                                    });
    std::vector<update::PackageEntry> entries;
    std::uint64_t unpackedBytes = 0;
    for (const common::UnpackedEntry& e : unpacked.entries) {
        entries.push_back({e.relative, e.data});
        unpackedBytes += e.data.size();
    }
    const Timing signatureTime =
        timed([] {}, [&] { return update::verifyPackageEntries(entries, key); });
    std::optional<update::VerifiedPackage> checked;
    const Timing checkTime =
        timed([] {},
              [&] {
                  checked = update::verifyPackageBytes(*bytes, key, update::kPackageSizeLimit,
                                                       update::dataPackageContentUsable);
                  return checked.has_value();
              });
    const Timing writeTime =
        timed(fresh, [&] { return update::writePackageFiles(*checked, folder); });

    std::printf("package %s: %llu bytes, %zu entries, %llu bytes unpacked; %d runs each\n",
                package.string().c_str(), static_cast<unsigned long long>(fs::file_size(package)),
                entries.size(), static_cast<unsigned long long>(unpackedBytes), kRuns);
    print("plain extraction (read, unpack, write):", plain);
    print("verified (read, unpack + verify, write):", verified);
    print("  read the file:", readTime);
    print("  unpack in memory:", unpackTime);
    print("  check the signature:", signatureTime);
    print("  unpack + signature + sizes together:", checkTime);
    print("  write the files:", writeTime);
    std::printf("added by verification: %.2f ms (median), %.2f ms (fastest); target under 5\n",
                verified.median - plain.median, verified.fastest - plain.fastest);
    common::removeTree(folder.parent_path());
    return 0;
}
