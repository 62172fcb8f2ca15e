// ZIP extraction of hostile bytes: whatever the archive holds, nothing may land outside the
// target folder, a refused archive writes nothing, and what extraction reports as written must
// be there.
#include "FuzzSupport.h"

#include "common/Zip.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <system_error>

namespace fs = std::filesystem;
using namespace zorvast;

namespace {

// Smaller than the program's bounds so that a bomb costs milliseconds, not seconds; the
// bound checks run all the same.
common::ExtractLimits fuzzLimits() {
    common::ExtractLimits limits;
    limits.maxTotalBytes = 8u * 1024 * 1024;
    limits.maxEntryBytes = 4u * 1024 * 1024;
    limits.maxEntries = 2000;
    return limits;
}

// Extracted trees may hold read-only folders; open them up so the next run starts clean.
void removeRun(const fs::path& folder) {
    std::error_code error;
    if (fs::remove_all(folder, error) != static_cast<std::uintmax_t>(-1) && !error) {
        return;
    }
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(folder, error);
    fuzz::check(!fs::exists(folder), "cannot remove the extracted files");
}

bool onlyChild(const fs::path& folder, const fs::path& name) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().filename() != name) {
            return false;
        }
    }
    return !error;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path scratch = fuzz::scratchFolder();
    const fs::path run = scratch / "run";
    const fs::path inner = run / "inner";
    removeRun(run);
    fuzz::check(fs::create_directory(run), "cannot make the run folder");

    const std::span<const unsigned char> bytes(data, size);
    // The archive is checked whole before anything is written: one that does not unpack in
    // memory must leave the target folder empty.
    const common::UnpackResult unpacked = common::unpackArchive(bytes, fuzzLimits());
    const common::ExtractResult result =
        common::extractArchive(bytes, inner.string(), fuzzLimits());

    fuzz::check(onlyChild(scratch, "run"), "extraction wrote beside the run folder");
    fuzz::check(onlyChild(run, "inner"), "extraction wrote beside the target folder");
    std::error_code error;
    if (fs::exists(inner, error)) {
        for (auto it = fs::recursive_directory_iterator(inner, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            fuzz::check(!it->is_symlink(), "extraction made a symbolic link");
            fuzz::check(it->is_directory() || it->is_regular_file(),
                        "extraction made something that is neither file nor folder");
        }
    }

    if (!unpacked.ok) {
        fuzz::check(!unpacked.error.empty(), "an archive refused without a reason");
        fuzz::check(!result.ok, "extracted an archive that does not unpack");
        fuzz::check(!fs::exists(inner) || fs::is_empty(inner), "a refused archive wrote files");
    }
    if (result.ok) {
        fuzz::check(result.error.empty(), "success with an error text");
        fuzz::check(result.entries.size() == unpacked.entries.size(),
                    "extraction and unpacking disagree on the entries");
        for (std::size_t i = 0; i < unpacked.entries.size(); ++i) {
            const common::UnpackedEntry& entry = unpacked.entries[i];
            fuzz::check(result.entries[i] == entry.relative + (entry.folder ? "/" : ""),
                        "extraction reported another path than unpacking");
        }
        for (const std::string& entry : result.entries) {
            // A reported path is already resolved: resolving it again changes nothing.
            const std::optional<std::string> resolved = common::entryTargetPath(entry);
            fuzz::check(resolved.has_value(), "a reported path would leave the folder");
            fuzz::check(*resolved == entry, "a reported path is not in resolved form");
            const fs::path written = inner / fs::path(entry);
            if (entry.back() == '/') {
                fuzz::check(fs::is_directory(written), "a reported folder is missing");
            } else {
                fuzz::check(fs::is_regular_file(written), "a reported file is missing");
            }
        }
    } else {
        fuzz::check(!result.error.empty(), "failure without a reason");
    }

    removeRun(run);
    return 0;
}
